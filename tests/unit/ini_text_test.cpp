#include <gtest/gtest.h>

#include "fake_platform.h"
#include "platform/common/ini_text.h"
#include "platform/common/percent_expansion.h"

namespace kite {
namespace {

TEST(IniText, ReadsTheSyntaxUsersWrite) {
    const ini::Document document = ini::parse(
        "; comment\r\nkey=before any section\r\n[ Application ]\r\n  Main Class  =  a.B  \r\n"
        "quoted=\"  spaced  \"\r\nhalf=\"open\r\nno equals sign\r\n=no name\r\n[Other\r\nx=1\r\n"
        "[application]\r\nlater=2\r\n");
    EXPECT_EQ(ini::value(document, u"application", u"main class"), u"a.B");
    EXPECT_EQ(ini::value(document, u"Application", u"quoted"), u"  spaced  ");
    EXPECT_EQ(ini::value(document, u"Application", u"half"), u"\"open");
    EXPECT_EQ(ini::value(document, u"Application", u"key"), u"");
    // A second section of the same name is not read.
    EXPECT_EQ(ini::value(document, u"Application", u"later"), u"");
    // "[Other" has no closing bracket and still starts a section, as on Windows.
    EXPECT_EQ(ini::value(document, u"Application", u"x"), u"");
    EXPECT_EQ(ini::value(document, u"Other", u"x"), u"1");
    EXPECT_EQ(ini::sectionNames(document), (WideStringList{u"Application", u"Other", u"application"}));
}

TEST(IniText, HeadersEndAtTheFirstBracketOnEveryBuild) {
    const auto latin1 = [](std::string_view bytes) { return WideString(bytes.begin(), bytes.end()); };
    const std::string text = "[Java Runtime Environment] ; see [docs]\r\nMain Class=a.B\r\n[a]b]\r\nk=1\r\n";
    for (const ini::Document& document : {ini::parse(text), ini::parseWindows(text, latin1)}) {
        EXPECT_EQ(ini::value(document, u"Java Runtime Environment", u"Main Class"), u"a.B");
        EXPECT_EQ(ini::value(document, u"a", u"k"), u"1");
        EXPECT_EQ(ini::value(document, u"a]b", u"k"), u"");
    }
}

TEST(IniText, ManyLinesCostNoStringEach) {
    // Blank lines keep no entry, so a file of line feeds costs its text only.
    const ini::Document blank = ini::parse(std::string(1 << 20, '\n') + "[S]\nk=v\n");
    EXPECT_EQ(blank.lines.size(), 2u);
    EXPECT_EQ(ini::value(blank, u"S", u"k"), u"v");
}

TEST(IniText, DecodesUtf16AndUtf8WithBom) {
    const std::u16string text = u"[S]\r\nk=\u00e4\u00f6\u00fc\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : text) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    EXPECT_EQ(ini::value(ini::parse(utf16), u"S", u"k"), u"\u00e4\u00f6\u00fc");
    EXPECT_EQ(ini::value(ini::parse("\xEF\xBB\xBF[S]\nk=\xC3\xA4"), u"S", u"k"), u"\u00e4");
    // Odd trailing byte of a UTF-16 file and invalid UTF-8 do not spoil the rest.
    EXPECT_EQ(ini::value(ini::parse(utf16 + "x"), u"S", u"k"), u"\u00e4\u00f6\u00fc");
    EXPECT_EQ(ini::value(ini::parse("[S]\nbad=\xFF\xFE\nk=v"), u"S", u"k"), u"v");
}

// The Windows build's reading: what GetPrivateProfileStringW returns for the
// same bytes (checked under Wine by the settings-file suite).
TEST(IniText, WindowsRulesAnswerAsTheProfileFunctions) {
    const auto latin1 = [](std::string_view bytes) {
        WideString text;
        for (char c : bytes) text.push_back(static_cast<unsigned char>(c));
        return text;
    };
    const ini::Document document = ini::parseWindows(
        "[a]b]\r\nk=first bracket\r\n[S]\r\nsq='single'\r\ndq=\"double\"\r\none='\r\n;c=key\r\n"
        "cz=\x1Ay\x1A\r\nansi=Gr\xFC\xDF\r\n",
        latin1);
    EXPECT_EQ(ini::value(document, u"a", u"k"), u"first bracket");
    EXPECT_EQ(ini::value(document, u"S", u"sq"), u"single");
    EXPECT_EQ(ini::value(document, u"S", u"dq"), u"double");
    EXPECT_EQ(ini::value(document, u"S", u"one"), u"'");
    EXPECT_EQ(ini::value(document, u"S", u";c"), u"key");
    EXPECT_EQ(ini::value(document, u"S", u"cz"), u"y");
    EXPECT_EQ(ini::value(document, u"S", u"ansi"), u"Gr\u00fc\u00df");
    // Without any line feed, carriage returns end the lines.
    const ini::Document crOnly = ini::parseWindows("[R]\ra=1\rb=2", latin1);
    EXPECT_EQ(ini::value(crOnly, u"R", u"b"), u"2");
    // Byte-order marks decide over the ANSI code page.
    EXPECT_EQ(ini::value(ini::parseWindows("\xEF\xBB\xBF[S]\nk=\xC3\xA4", latin1), u"S", u"k"), u"\u00e4");
    EXPECT_EQ(ini::value(ini::parseWindows(std::string("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0v", 16), latin1), u"S", u"k"),
              u"v");
}

TEST(IniText, WritingKeepsEveryOtherLineAndTheEncoding) {
    ini::Document document = ini::parse("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    ini::setValue(document, u"a", u"X", u"10");
    ini::setValue(document, u"A", u"z", u"3");
    ini::setValue(document, u"C", u"w", u"4");
    EXPECT_EQ(ini::serialize(document), "[A]\r\nX=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=4\r\n");

    ini::Document wide = ini::parse(std::string("\xFF\xFE[\0A\0]\0\n\0", 10));
    ini::setValue(wide, u"A", u"k", u"\u00fc");
    EXPECT_EQ(ini::value(ini::parse(ini::serialize(wide)), u"A", u"k"), u"\u00fc");
    EXPECT_EQ(ini::serialize(wide).substr(0, 2), "\xFF\xFE");
}

TEST(PercentExpansion, FollowsTheWindowsRule) {
    auto lookup = [](const WideString& name, WideString& value) {
        if (name == u"HOME") value = u"C:\\Users\\x";
        else if (name == u"EMPTY") value = u"";
        else return false;
        return true;
    };
    const struct {
        WideString text, expanded;
    } cases[] = {
        {u"%HOME%\\lib", u"C:\\Users\\x\\lib"}, {u"no refs", u"no refs"},
        {u"%UNDEF%", u"%UNDEF%"},               {u"%UNDEF%HOME% x", u"%UNDEF%HOME% x"},
        {u"a%EMPTY%b", u"ab"},                  {u"50%", u"50%"},
        {u"%%", u"%%"},                         {u"%HOME", u"%HOME"},
    };
    for (const auto& c : cases) EXPECT_EQ(expandPercentReferences(c.text, lookup), c.expanded) << testing::utf8(c.text);
}

}  // namespace
}  // namespace kite
