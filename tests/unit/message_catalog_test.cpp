#include <gtest/gtest.h>

#include "fake_platform.h"
#include "fake_service_control.h"
#include "foundation/message_catalog.h"
#include "launcher/launcher.h"
#include "platform/message_sink.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(MessageCatalog, EveryIdInUseHasATextAndGapsAreEmpty) {
    for (int id = 200; id <= 233; ++id) {
        const bool inUse = id == 202 || id == 203 || (id >= 206 && id <= 233 && id != 223 && id != 224);
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
    void deliverError(const WideString& text, const WideString& productName) override {
        delivered.push_back(productName + u"|" + text);
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

}  // namespace
}  // namespace kite
