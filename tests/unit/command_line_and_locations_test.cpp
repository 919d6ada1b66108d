#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/command_line.h"
#include "launcher/file_locations.h"
#include "launcher/launcher.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(SplitCommandLine, FollowsTheQuoteAndSpaceRules) {
    const struct {
        WideString text;
        WideStringList pieces;
    } cases[] = {
        {u"a b", {u"a", u"b"}},
        {u"\"a b\" c", {u"a b", u"c"}},
        {u"\"\" x", {u"", u"x"}},
        {u"a\"b c\"", {u"a\"b", u"c\""}},
        {u"\"a\"b", {u"a", u"b"}},
        {u"\"open end", {u"open end"}},
        {u"a    b", {u"a", u"b"}},
        {u"a\tb", {u"a\tb"}},
        {u" a", {u"", u"a"}},
        {u"", {}},
    };
    for (const auto& c : cases) {
        WideStringList pieces{u"kept"};
        splitCommandLine(c.text, pieces);
        WideStringList expected{u"kept"};
        for (const auto& p : c.pieces) expected.append(p);
        EXPECT_EQ(pieces, expected) << testing::utf8(c.text);
    }
}

TEST(ParseCommandLine, DropsTheProgramNameAndTrailingWhiteSpace) {
    const struct {
        WideString line;
        WideStringList arguments;
    } cases[] = {
        {u"\"C:\\Program Files\\app.exe\" a \"b c\"  \t\r\n", {u"a", u"b c"}},
        {u"C:\\Program Files\\app.exe a", {u"Files\\app.exe", u"a"}},
        {u"  app.exe", {}},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.commandLineText = c.line;
        WideStringList arguments;
        parseCommandLine(platform, arguments);
        EXPECT_EQ(arguments, c.arguments) << testing::utf8(c.line);
    }
    FakePlatform posix(OsStyle::Posix);
    posix.hasArgumentVector = true;
    posix.argumentVectorItems = {u" spaced ", u"", u"\"q\""};
    WideStringList arguments;
    parseCommandLine(posix, arguments);
    EXPECT_EQ(arguments, (WideStringList{u" spaced ", u"", u"\"q\""}));
}

TEST(SplitCommandLine, HandlesVeryLongText) {
    WideString text;
    for (int i = 0; i < 20000; ++i) text += u"abcd ";
    WideStringList pieces;
    splitCommandLine(text, pieces);
    EXPECT_EQ(pieces.size(), 20000u);
}

TEST(FileLocations, SettingsFileNames) {
    const struct {
        OsStyle style;
        WideString executable;
        bool ok;
        WideString settings;
    } cases[] = {
        {OsStyle::Windows, u"C:\\App\\app.exe", true, u"C:\\App\\app.ini"},
        {OsStyle::Windows, u"C:\\App\\app.beta.exe", true, u"C:\\App\\app.beta.ini"},
        {OsStyle::Windows, u"C:\\x.y\\app", true, u"C:\\x.ini"},
        {OsStyle::Windows, u"C:\\App\\app", false, u""},
        {OsStyle::Posix, u"/opt/x.y/kite", true, u"/opt/x.y/kite.ini"},
        {OsStyle::Posix, u"/opt/app/app.bin", true, u"/opt/app/app.ini"},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        platform.executablePath = c.executable;
        WideString settings;
        EXPECT_EQ(settingsFilePath(platform, settings), c.ok) << testing::utf8(c.executable);
        if (c.ok) {
            EXPECT_EQ(settings, c.settings);
        }
    }
    FakePlatform failing;
    failing.modulePathFails = true;
    failing.lastErrorCode = 2;
    WideString settings;
    EXPECT_FALSE(settingsFilePath(failing, settings));
    EXPECT_EQ(failing.stdoutText,
              "Error: Windows Fehler: konnte den Modulpfad nicht finden (Fehlernummer = 2).\n \n");
}

TEST(FileLocations, UserSettingsPathAndFolders) {
    FakePlatform platform;
    Launcher launcher(platform);
    launcher.productName = u"A/B: Z*?";
    launcher.productCode = u"K1";
    WideString path;
    launcher.userSettingsPath(u"C:\\App\\app.beta.exe", false, path);
    EXPECT_EQ(path, u"\\AB Z\\K1\\app.beta.ini");  // no APPDATA: the root of the current drive
    platform.environment[u"APPDATA"] = u"C:\\Roaming";
    platform.addDirectory(u"C:\\Roaming");
    launcher.userSettingsPath(u"app", true, path);
    EXPECT_EQ(path, u"C:\\Roaming\\AB Z\\K1\\app.ini");
    EXPECT_TRUE(platform.directories.count(u"c:\\roaming\\ab z\\k1"));
    launcher.userSettingsPath(u"", true, path);
    EXPECT_EQ(path, u"");
}

TEST(FileLocations, RecordJrePathWritesWhereTheNextStartReads) {
    for (bool service : {false, true}) {
        FakePlatform platform;
        platform.environment[u"APPDATA"] = u"C:\\Roaming";
        platform.addDirectory(u"C:\\App");
        platform.addDirectory(u"C:\\Roaming");
        Launcher launcher(platform);
        launcher.serviceMode = service;
        launcher.productName = u"P";
        launcher.productCode = u"C";
        launcher.pairProduct = u"C:\\App\\app64.exe";
        launcher.recordJrePath(u"D:\\Java\\");
        const bool beside = platform.profileString(u"C:\\App\\app.ini", u"Java Runtime Environment",
                                                   u"JRE Path") == u"D:\\Java\\";
        const bool paired = platform.profileString(u"C:\\App\\app64.ini", u"Java Runtime Environment",
                                                   u"JRE Path") == u"D:\\Java\\";
        const bool user = platform.profileString(u"C:\\Roaming\\P\\C\\app.ini", u"Java Runtime Environment",
                                                 u"JRE Path") == u"D:\\Java\\";
        const bool pairedUser = platform.profileString(u"C:\\Roaming\\P\\C\\app64.ini",
                                                       u"Java Runtime Environment", u"JRE Path") == u"D:\\Java\\";
        EXPECT_EQ(beside, service);
        EXPECT_EQ(paired, service);
        EXPECT_EQ(user, !service);
        EXPECT_EQ(pairedUser, !service);
    }
}

TEST(FileLocations, WorkingDirectoryIsTheExecutablesFolder) {
    const struct {
        WideString executable, directory;
    } cases[] = {{u"C:\\App\\app.exe", u"C:\\App"}, {u"D:\\app.exe", u"D:"}, {u"\\app.exe", u""}, {u"app.exe", u""}};
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.executablePath = c.executable;
        Launcher launcher(platform);
        launcher.applyWorkingDirectory();
        EXPECT_EQ(platform.currentDirectory, c.directory) << testing::utf8(c.executable);
    }
}

}  // namespace
}  // namespace kite
