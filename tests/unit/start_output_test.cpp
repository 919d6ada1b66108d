#include <gtest/gtest.h>

#include "fake_output_capture.h"
#include "fake_platform.h"
#include "jvm/start_output.h"
#include "platform/message_sink.h"

namespace kite {
namespace {

using testing::FakeOutputCapture;
using testing::FakePlatform;
using testing::utf8;

TEST(ShortenForBox, KeepsTheWantedLinesAndMarksWhatIsCut) {
    const struct {
        WideString text;
        KeptLines kept;
        std::size_t maxLength;
        WideString expected;
    } cases[] = {
        {u"Unrecognized option: -Xfoo\r\n", KeptLines::Last, 80, u"Unrecognized option: -Xfoo"},
        {u"\r\n\r\na\r\nb\n\n  \n", KeptLines::First, 80, u"a\nb"},
        {u"1\n2\n3\n4\n", KeptLines::First, 80, u"1\n2\n3\n\u2026"},
        {u"1\n2\n3\n4\n", KeptLines::Last, 80, u"\u2026\n2\n3\n4"},
        {u"123456789\nshort", KeptLines::First, 5, u"12345\u2026\nshort"},
        {u"\n \n", KeptLines::Last, 80, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortenForBox(c.text, c.kept, 3, c.maxLength), c.expected) << utf8(c.text);
    }
}

TEST(StartLogPath, ProductFolderElseExecutableName) {
    const struct {
        const char16_t* localAppData;
        WideString product;
        WideString expected;
    } cases[] = {
        {u"C:\\Users\\u\\AppData\\Local", u"Example Editor", u"C:\\Users\\u\\AppData\\Local\\Example Editor\\app.log"},
        {u"C:\\Local\\", u"", u"C:\\Local\\app\\app.log"},
        {u"C:\\Local", u"A/B:C", u"C:\\Local\\ABC\\app.log"},
        {nullptr, u"Example Editor", u""},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        if (c.localAppData != nullptr) platform.environment[u"LOCALAPPDATA"] = c.localAppData;
        EXPECT_EQ(startLogPath(platform, c.product), c.expected) << utf8(c.product);
    }
}

TEST(TrimmedLog, KeepsTheNewestLinesWithinTheLimit) {
    FakePlatform platform;
    const WideString path = u"C:\\Local\\App\\app.log";
    platform.files[platform.key(path)] = "old 1\nold 2\n";  // 12 bytes from an earlier start
    TrimmedLog log(platform, path, 40);
    log.append("line 3\n");
    EXPECT_EQ(platform.files[platform.key(path)], "old 1\nold 2\nline 3\n");
    // 19 + 28 > 40: the newest 30 bytes, from a line start, stay.
    log.append("line 4\nline 5\nline 6\nline 7\n");
    EXPECT_EQ(platform.files[platform.key(path)], "line 4\nline 5\nline 6\nline 7\n");
    log.append("line 8\nline 9\n");
    const std::string& kept = platform.files[platform.key(path)];
    EXPECT_LE(kept.size(), 40u);
    EXPECT_EQ(kept, "line 6\nline 7\nline 8\nline 9\n");
    EXPECT_FALSE(platform.files.count(platform.key(path + u".tmp")));
}

struct BoxSink : MessageSink {
    void deliverError(const WideString& text, const WideString&, const WideString& details) override {
        boxes.push_back(text + u"|" + details);
    }
    std::vector<WideString> boxes;
};

struct Windowed : ::testing::Test {
    Windowed() {
        platform.environment[u"LOCALAPPDATA"] = u"C:\\Local";
        setMessageSink(&sink);
    }
    ~Windowed() override { setMessageSink(nullptr); }
    std::string log() { return platform.files[platform.key(u"C:\\Local\\Editor\\app.log")]; }

    FakePlatform platform;
    FakeOutputCapture capture;
    BoxSink sink;
    StartOutput output{platform, &capture};
};

TEST_F(Windowed, AFailedStartShowsTheJvmsLastLinesBelowTheMessage) {
    ASSERT_TRUE(output.begin({}, u"Editor"));
    EXPECT_TRUE(capture.capturedOutput && capture.capturedError);
    capture.write("Unrecognized option: -Xfoo\r\nError: Could not create the Java Virtual Machine.\r\n");
    printMessage(platform, MessageId::MainClassMissing, {});
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], MessageCatalog::text(MessageId::MainClassMissing) +
                                 u"|Unrecognized option: -Xfoo\nError: Could not create the Java Virtual Machine.");
    EXPECT_EQ(log(), "");
}

TEST_F(Windowed, SystemExitBeforeMainShowsItsCodeOnceMainHasNotStarted) {
    ASSERT_TRUE(output.begin({}, u"Editor"));
    capture.write("Error: Could not find or load main class x.Y\n");
    output.onVmExit(0);
    EXPECT_TRUE(sink.boxes.empty());
    output.onVmExit(1);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], MessageCatalog::format(MessageId::VmEndedStart, {1}) +
                                 u"|Error: Could not find or load main class x.Y");
    output.mainStarting();
    output.onVmExit(3);
    EXPECT_EQ(sink.boxes.size(), 1u);
}

TEST_F(Windowed, RedirectedStreamsStillGetTheBoxesWithoutTheJvmsLines) {
    capture.accepts = false;
    EXPECT_FALSE(output.begin({}, u"Editor"));
    output.onVmExit(1);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], MessageCatalog::format(MessageId::VmEndedStart, {1}) + u"|");
    output.mainStarting();
    output.onVmExit(1);
    output.reportUncaught();
    ASSERT_EQ(sink.boxes.size(), 2u);
    EXPECT_EQ(sink.boxes[1], MessageCatalog::text(MessageId::MainThrewUncaught) + u"|");
    EXPECT_EQ(log(), "");
}

TEST_F(Windowed, AfterMainStartedTheOutputGoesToTheLogAndAnExceptionToItsBox) {
    ASSERT_TRUE(output.begin({}, u"Editor"));
    capture.write("before main\n");
    output.mainStarting();
    capture.write("in main\n");
    output.mainReturned(true);
    capture.write("Exception in thread \"main\" java.lang.IllegalStateException: kaputt\n\tat A.main\n");
    output.reportUncaught();
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], MessageCatalog::text(MessageId::MainThrewUncaught) +
                                 u"|Exception in thread \"main\" java.lang.IllegalStateException: kaputt\n\tat A.main");
    EXPECT_TRUE(platform.directories.count(platform.key(u"C:\\Local\\Editor")));
    EXPECT_EQ(log(), "before main\nin main\nException in thread \"main\" java.lang.IllegalStateException: kaputt\n"
                     "\tat A.main\n");
    // A message while main runs has no JVM text below it.
    StartOutput running(platform, &capture);
    ASSERT_TRUE(running.begin({}, u"Editor"));
    running.mainStarting();
    capture.write("later\n");
    printMessage(platform, MessageId::MainClassMissing, {});
    EXPECT_EQ(sink.boxes.back(), MessageCatalog::text(MessageId::MainClassMissing) + u"|");
}

TEST_F(Windowed, StreamsWithTheirOwnFileAreNotCaptured) {
    const struct {
        OutputFiles files;
        bool output;
        bool error;
        bool active;
    } cases[] = {
        {{u"out.txt", u"", false, false}, false, true, true},
        {{u"", u"err.txt", false, false}, true, false, true},
        {{u"out.txt", u"err.txt", false, false}, false, false, false},
    };
    for (const auto& c : cases) {
        FakeOutputCapture own;
        StartOutput start(platform, &own);
        EXPECT_EQ(start.begin(c.files, u"Editor"), c.active);
        EXPECT_EQ(own.capturedOutput, c.output);
        EXPECT_EQ(own.capturedError, c.error);
    }
}

TEST(StartOutput, AConsoleBuildChangesNothing) {
    FakePlatform platform;
    StartOutput output(platform, nullptr);
    EXPECT_FALSE(output.begin({}, u"Editor"));
    output.mainReturned(true);
    output.reportUncaught();
    output.onVmExit(1);
    EXPECT_EQ(platform.stdoutText, "");
    EXPECT_TRUE(platform.files.empty());
}

}  // namespace
}  // namespace kite
