#include <gtest/gtest.h>

#include "fake_platform.h"
#include "jvm/archive_creation.h"
#include "jvm/class_data_archive.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(ArchiveMechanism, ByFeatureReleaseAndBaseArchive) {
    const struct {
        std::int32_t feature;
        bool base;
        ArchiveMechanism expected;
    } cases[] = {
        {12, true, ArchiveMechanism::None},           {12, false, ArchiveMechanism::None},
        {13, true, ArchiveMechanism::DynamicAtExit},  {18, true, ArchiveMechanism::DynamicAtExit},
        {19, true, ArchiveMechanism::AutoCreate},     {23, true, ArchiveMechanism::AutoCreate},
        {13, false, ArchiveMechanism::StaticFromList}, {23, false, ArchiveMechanism::StaticFromList},
        {24, true, ArchiveMechanism::AotCache},       {25, false, ArchiveMechanism::AotCache},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(archiveMechanism(c.feature, c.base), c.expected) << c.feature << " base " << c.base;
    }
}

// The JVM's output through the hook: only the line announcing the recording
// goes, whether its end comes in the same piece or the next.
TEST(RecordingLineFilter, DropsOnlyTheRecordingLine) {
    const struct {
        std::vector<std::string> pieces;
        std::string passed;
    } cases[] = {
        {{" AOTConfiguration recorded: /c/a.rec.tmp\n"}, ""},
        {{"AOTConfiguration recorded: a", "\n", "\n"}, "\n"},
        {{"hello\n", " AOTConfiguration recorded: x", "\n", "Error occurred\n"}, "hello\nError occurred\n"},
        {{"Note: AOTConfiguration recorded: x\n"}, "Note: AOTConfiguration recorded: x\n"},
        {{"AOTConfiguration recorded: x\n", "\n"}, "\n"},
        {{"AOTConfiguration recorded", "\n"}, "AOTConfiguration recorded\n"},
    };
    for (const auto& c : cases) {
        RecordingLineFilter filter;
        std::string passed;
        for (const std::string& piece : c.pieces) {
            if (filter.pass(piece)) passed += piece;
        }
        EXPECT_EQ(passed, c.passed) << c.pieces[0];
    }
}

// The recording's name reaches the JVM narrowed and the java command wide:
// a user folder with letters beyond ASCII names the same file in both.
TEST(TwoStepOptions, TheRecordingKeepsItsNameInBothSteps) {
    FakePlatform platform;
    platform.narrowLimit = 0xFF;
    const WideString recording = u"C:\\Users\\J\u00fcrgen\\app-1.rec.tmp";
    for (ArchiveMechanism mechanism : {ArchiveMechanism::AotCache, ArchiveMechanism::StaticFromList}) {
        const TwoStepOptions steps = twoStepOptions(platform, mechanism, recording, u"C:\\c\\t.tmp", u"C:\\c\\a");
        const std::string& recorded = steps.record.back();
        EXPECT_EQ(platform.widenText(recorded.substr(recorded.find('=') + 1)), recording);
        ASSERT_EQ(steps.create.size(), 3u);
        const WideString& created = steps.create[1];
        EXPECT_EQ(created.substr(created.find(u'=') + 1), recording);
    }
}

TEST(FilledFolderOnClassPath, AnyFolderWithAnEntryWherever) {
    FakePlatform platform(OsStyle::Posix);
    platform.addFile(u"/app/a.jar", "jar");
    platform.addDirectory(u"/app/empty");
    platform.addFile(u"/app/classes/.keep");
    EXPECT_EQ(filledFolderOnClassPath(platform, OsStyle::Posix, WideStringList{u"/app/a.jar", u"/app/empty"}), u"");
    EXPECT_EQ(filledFolderOnClassPath(platform, OsStyle::Posix, WideStringList{u"/app/classes"}), u"/app/classes");
    EXPECT_EQ(filledFolderOnClassPath(platform, OsStyle::Posix, WideStringList{u"/app/a.jar", u"/app/classes/"}),
              u"/app/classes/");
    EXPECT_EQ(filledFolderOnClassPath(platform, OsStyle::Posix, WideStringList{u"/app/missing"}), u"");
}

// The helper as this executable runs it again: the creation, the rename into
// place with the size in the name, and the recording and reservation gone
// whatever happened.
TEST(ArchiveHelper, RenamesOnlyAWholeCreationAndAlwaysCleansUp) {
    const struct {
        const char* name;
        std::int32_t javaExit;
        std::string written;  // by the creation; empty: nothing
        bool published;
    } cases[] = {
        {"made", 0, "12345", true},
        {"creation failed", 1, "123", false},
        {"nothing written", 0, "", false},
    };
    for (const auto& c : cases) {
        FakePlatform platform(OsStyle::Posix);
        platform.environment[u"KITE_ARCHIVE_HELPER"] = u"1";
        platform.addFile(u"/c/app-1.0.rec.tmp", "recording");
        platform.addFile(u"/c/app-1.0.tmp");
        const ArchiveHelperJob job{u"/jre/bin/java", u"/c/app-1.0.aot.tmp", u"/c/app-1-", u".aot",
                                   WideStringList{u"/c/app-1.0.rec.tmp", u"/c/app-1.0.tmp"},
                                   WideStringList{u"-cp", u"/app/a b.jar", u"-XX:AOTMode=create"}};
        const WideStringList arguments = archiveHelperArguments(job);
        ASSERT_TRUE(isArchiveHelperStart(platform, arguments));
        platform.runQuietStart = [&](const testing::FakeProcesses::QuietStart& start) {
            EXPECT_EQ(start.program, u"/jre/bin/java");
            EXPECT_EQ(start.arguments, job.javaArguments);
            if (!c.written.empty()) platform.addFile(job.temporary, c.written);
            return c.javaExit;
        };
        EXPECT_EQ(runArchiveHelper(platform, arguments), c.published ? 0 : 1) << c.name;
        EXPECT_EQ(platform.files.count(u"/c/app-1-5.aot"), c.published ? 1u : 0u) << c.name;
        for (const char16_t* gone : {u"/c/app-1.0.aot.tmp", u"/c/app-1.0.rec.tmp", u"/c/app-1.0.tmp"}) {
            EXPECT_EQ(platform.files.count(gone), 0u) << c.name << " " << testing::utf8(gone);
        }
    }
    // Without the marker variable the word is an ordinary argument of the application.
    FakePlatform platform(OsStyle::Posix);
    EXPECT_FALSE(isArchiveHelperStart(platform, archiveHelperArguments({})));
}

}  // namespace
}  // namespace kite
