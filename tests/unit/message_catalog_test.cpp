#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fake_platform.h"
#include "fake_service_control.h"
#include "foundation/message_catalog.h"
#include "foundation/utf.h"
#include "launcher/launcher.h"
#include "platform/message_sink.h"
#include "settings/message_settings.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(MessageCatalog, EveryIdInUseHasATextAndGapsAreEmpty) {
    for (int id = 200; id <= 239; ++id) {
        const bool inUse = id == 202 || id == 203 || (id >= 206 && id <= 237 && id != 223 && id != 224);
        EXPECT_EQ(!MessageCatalog::text(static_cast<MessageId>(id)).empty(), inUse) << id;
    }
}

TEST(PrintError, WritesTheFrameWithTheTextsOwnLineBreaks) {
    const struct {
        MessageId id;
        std::initializer_list<MessageArgument> arguments;
        std::string expected;
    } cases[] = {
        {MessageId::ClassPathMissing, {}, "Error: Java-Klassenpfad wurde in der INI-Datei nicht angegeben. \n"},
        {MessageId::MainMethodNotFound, {}, "Error: Keine Main class in der angegebenen Klasse gefunden.\n \n"},
        {MessageId::JniErrorWithReason,
         {MessageCatalog::text(MessageId::CreateJavaVmFailed), jniReasonText(-4)},
         "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: nicht gen\xc3\xbcgend Arbeitsspeicher.\n \n"},
        {MessageId::JniErrorWithReason,
         {MessageCatalog::text(MessageId::CreateJavaVmFailed), jniReasonText(7)},
         "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: .\n \n"},
        {MessageId::WindowsError,
         {MessageCatalog::text(MessageId::ModulePathNotFound), std::int32_t{2}},
         "Error: Windows Fehler: konnte den Modulpfad nicht finden (Fehlernummer = 2).\n \n"},
        {MessageId::JvmLibraryLoadFailed,
         {WideString(u"C:\\J\\bin\\server\\jvm.dll"), std::int32_t{-5}},
         "Error: Konnte Java VM Bibliothek: C:\\J\\bin\\server\\jvm.dll (Fehlernummer= -5) nicht laden.\n \n"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        printMessage(platform, c.id, c.arguments);
        EXPECT_EQ(platform.stdoutText, c.expected);
        EXPECT_TRUE(platform.stderrText.empty());
    }
}

// What a windowed build's message box would show.
struct RecordingSink : MessageSink {
    void deliverError(const WideString& text, const WideString& productName, const WideString& details) override {
        delivered.push_back(productName + u"|" + text + (details.empty() ? u"" : u"|" + details));
    }
    std::vector<WideString> delivered;
};

// The sink chosen for the launch gets the bare text and the product name;
// a service keeps the console line, as it never shows a window.
TEST(PrintError, TheLaunchsSinkGetsTheTextOutsideServiceMode) {
    for (const char* type : {"console", "service"}) {
        FakePlatform platform;
        platform.addFile(u"C:\\App\\app.ini", std::string("[Product Information]\r\nProduct Name=Kite Fenster\r\n"
                                                           "[Application]\r\nApplication Type=") + type + "\r\n");
        testing::FakeServiceControl control;
        RecordingSink sink;
        EXPECT_EQ(launcherMain(platform, control, &sink), -1);
        if (type == std::string("service")) {
            EXPECT_TRUE(sink.delivered.empty());
            EXPECT_EQ(platform.stdoutText, "Error: Main class in der INI-Datei nicht spezifiziert. \n");
        } else {
            EXPECT_EQ(sink.delivered,
                      std::vector<WideString>{u"Kite Fenster|" + MessageCatalog::text(MessageId::MainClassMissing)});
            EXPECT_EQ(platform.stdoutText, "");
        }
    }
    // The launch leaves no sink behind.
    FakePlatform platform;
    printError(platform, u"x");
    EXPECT_EQ(platform.stdoutText, "Error: x \n");
}

TEST(JniReasonText, MapsTheSixJniErrorCodes) {
    EXPECT_EQ(jniReasonText(-1), u"unbekannt");
    EXPECT_EQ(jniReasonText(-2), u"Thread von der VM getrennt");
    EXPECT_EQ(jniReasonText(-3), u"JNI Versionsfehler");
    EXPECT_EQ(jniReasonText(-5), u"VM bereits erzeugt");
    EXPECT_EQ(jniReasonText(-6), u"ung\u00fcltige Argumente");
    EXPECT_EQ(jniReasonText(0), u"");
    EXPECT_EQ(jniReasonText(-7), u"");
}

TEST(FormatText, FillsPlaceholdersInOrderAndLeavesOthers) {
    EXPECT_EQ(formatText(u"Version zwischen %s und %s", {WideString(u"1.6"), WideString(u"1.8")}),
              u"Version zwischen 1.6 und 1.8");
    EXPECT_EQ(formatText(u"100%% %x %s", {WideString(u"a")}), u"100% %x a");
    EXPECT_EQ(formatText(u"%s %s", {WideString(u"only")}), u"only ");
    EXPECT_EQ(formatText(u"end %", {}), u"end %");
}

// Puts the German catalog back for the tests that follow.
struct GermanAfterwards {
    ~GermanAfterwards() { MessageCatalog::reset(MessageLanguage::German); }
};

// The table of every text in both languages, which the end-to-end suites
// hold the two builds against.
TEST(MessageCatalog, BothLanguagesMatchTheSharedTable) {
    std::ifstream file(std::filesystem::path(KITE_SOURCE_DIR) / "tests" / "e2e" / "message_cases.tsv");
    ASSERT_TRUE(file) << "message_cases.tsv";
    const auto unescaped = [](std::string text) {
        for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
            text.replace(at, 2, "\n");
        return fromUtf8(text);
    };
    std::vector<MessageId> listed;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        const auto id = static_cast<MessageId>(std::stoi(line.substr(0, tab1)));
        listed.push_back(id);
        EXPECT_EQ(MessageCatalog::builtInText(id, MessageLanguage::German),
                  unescaped(line.substr(tab1 + 1, tab2 - tab1 - 1))) << line;
        EXPECT_EQ(MessageCatalog::builtInText(id, MessageLanguage::English), unescaped(line.substr(tab2 + 1)))
            << line;
    }
    EXPECT_EQ(listed, std::vector<MessageId>(MessageCatalog::ids().begin(), MessageCatalog::ids().end()));
}

// A translation that lost or swapped a placeholder would print the wrong
// argument; both catalogs must agree text by text.
TEST(MessageCatalog, EnglishTextsKeepTheGermanPlaceholders) {
    for (const MessageId id : MessageCatalog::ids()) {
        EXPECT_EQ(checkReplacement(MessageCatalog::builtInText(id, MessageLanguage::German),
                                   MessageCatalog::builtInText(id, MessageLanguage::English)),
                  ReplacementCheck::Accepted)
            << static_cast<int>(id);
    }
}

TEST(CheckReplacement, AcceptsOnlyTheSamePlaceholdersInOrder) {
    const struct {
        const char16_t* original;
        const char16_t* replacement;
        ReplacementCheck expected;
    } cases[] = {
        {u"Version zwischen %s und %s", u"between %s and %s", ReplacementCheck::Accepted},
        {u"Fehler: %s (Nummer = %d).", u"%s failed with %d", ReplacementCheck::Accepted},
        {u"Fehler: %s (Nummer = %d).", u"%d: %s", ReplacementCheck::PlaceholdersDiffer},
        {u"Fehler: %s (Nummer = %d).", u"%s", ReplacementCheck::PlaceholdersDiffer},
        {u"Fehler: %s", u"%s %s", ReplacementCheck::PlaceholdersDiffer},
        {u"kein Platzhalter", u"%s", ReplacementCheck::PlaceholdersDiffer},
        {u"kein Platzhalter", u"100%% sure", ReplacementCheck::Accepted},
        {u"%s", u"%s wrote %n", ReplacementCheck::UnknownPlaceholder},
        {u"%s", u"%x %s", ReplacementCheck::UnknownPlaceholder},
        {u"%s", u"%S", ReplacementCheck::UnknownPlaceholder},
        {u"%d", u"%5d", ReplacementCheck::UnknownPlaceholder},
        {u"%s", u"%s at 50%", ReplacementCheck::UnknownPlaceholder},
        {u"%s", u"%%s", ReplacementCheck::PlaceholdersDiffer},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkReplacement(c.original, c.replacement), c.expected)
            << toUtf8(c.original) << " <- " << toUtf8(c.replacement);
    }
}

TEST(MessageCatalog, ReplacementsStandUntilTheNextReset) {
    GermanAfterwards german;
    MessageCatalog::reset(MessageLanguage::English);
    EXPECT_EQ(jniReasonText(-6), u"invalid arguments");
    EXPECT_EQ(MessageCatalog::replace(MessageId::VersionRange, u"from %s to %s"), ReplacementCheck::Accepted);
    EXPECT_EQ(MessageCatalog::replace(MessageId::MainClassNotFound, u"no %d"), ReplacementCheck::PlaceholdersDiffer);
    EXPECT_EQ(MessageCatalog::replace(static_cast<MessageId>(223), u"x"), ReplacementCheck::UnknownId);
    EXPECT_EQ(MessageCatalog::format(MessageId::VersionRange, {WideString(u"11"), WideString(u"17")}), u"from 11 to 17");
    EXPECT_EQ(MessageCatalog::text(MessageId::MainClassNotFound), u"Could not find the main class %s.\n");
    EXPECT_EQ(MessageCatalog::text(static_cast<MessageId>(223)), u"");
    MessageCatalog::reset(MessageLanguage::German);
    EXPECT_EQ(MessageCatalog::text(MessageId::VersionRange), u"Version zwischen %s und %s");
}

TEST(MessageSettings, LanguageValuesAndLineBreaks) {
    const struct {
        const char16_t* value;
        MessageLanguage language;
        bool known;
    } cases[] = {
        {u"", MessageLanguage::German, true},     {u"de", MessageLanguage::German, true},
        {u"en", MessageLanguage::English, true},  {u"EN", MessageLanguage::English, true},
        {u"fr", MessageLanguage::German, false},  {u"english", MessageLanguage::German, false},
        {u"en ", MessageLanguage::German, false},
    };
    for (const auto& c : cases) {
        bool known = !c.known;
        EXPECT_EQ(messageLanguage(c.value, known), c.language) << toUtf8(c.value);
        EXPECT_EQ(known, c.known) << toUtf8(c.value);
    }
    EXPECT_EQ(replacementText(u"a\\nb\\"), u"a\nb\\");
}

// A start reads the language and the replacements before its first message;
// what it refuses keeps the built-in text and says why in the trace.
TEST(MessageSettings, AStartSpeaksTheLanguageAndReplacementsOfItsSettings) {
    GermanAfterwards german;
    const struct {
        const char* settings;
        const char* expectedLine;
        const char* expectedTrace;  // part of a trace line; empty: none about messages
    } cases[] = {
        {"[Application]\r\nMessage Language=en\r\n",
         "Error: The main class is not specified in the INI file. \n", ""},
        {"[Application]\r\nMessage Language=fr\r\n", "Error: Main class in der INI-Datei nicht spezifiziert. \n",
         "Message Language \"fr\" is not one of de, en"},
        {"[Application]\r\nMessage Language=en\r\n[Messages]\r\n210=Reinstall the application.\\nCode 210\r\n",
         "Error: Reinstall the application.\nCode 210 \n", "message 210 replaced"},
        {"[Messages]\r\n210=Broken %s\r\n", "Error: Main class in der INI-Datei nicht spezifiziert. \n",
         "message 210 from [Messages] refused, the built-in text stays: its %s and %d differ"},
        {"[Messages]\r\n210=Broken %n%x\r\n", "Error: Main class in der INI-Datei nicht spezifiziert. \n",
         "message 210 from [Messages] refused, the built-in text stays: it holds a '%'"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.environment[u"KITE_TRACE"] = u"1";
        platform.addFile(u"C:\\App\\app.ini", c.settings);
        testing::FakeServiceControl control;
        EXPECT_EQ(launcherMain(platform, control, nullptr), -1);
        EXPECT_EQ(platform.stdoutText, c.expectedLine) << c.settings;
        const bool traced = platform.stderrText.find(c.expectedTrace) != std::string::npos;
        EXPECT_TRUE(traced) << c.settings << "\n" << platform.stderrText;
    }
    // The next start without the keys is German again.
    FakePlatform platform;
    platform.addFile(u"C:\\App\\app.ini", "[Application]\r\n");
    testing::FakeServiceControl control;
    launcherMain(platform, control, nullptr);
    EXPECT_EQ(platform.stdoutText, "Error: Main class in der INI-Datei nicht spezifiziert. \n");
}

}  // namespace
}  // namespace kite
