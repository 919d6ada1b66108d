#include <gtest/gtest.h>

#include "fake_platform.h"
#include "foundation/path_helpers.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(PathForms, RecogniseLongPathUncAndAbsolute) {
    EXPECT_TRUE(hasLongPathPrefix(u"\\\\?\\D:\\x"));
    EXPECT_FALSE(hasLongPathPrefix(u"\\\\server\\x"));
    EXPECT_TRUE(isUncPath(u"\\\\server\\share"));
    EXPECT_FALSE(isUncPath(u"\\\\?\\D:\\x"));
    EXPECT_FALSE(isUncPath(u"\\\\"));
    EXPECT_TRUE(isAbsolutePath(OsStyle::Windows, u"D:"));
    EXPECT_TRUE(isAbsolutePath(OsStyle::Windows, u"\\\\server"));
    EXPECT_FALSE(isAbsolutePath(OsStyle::Windows, u"\\App"));
    EXPECT_FALSE(isAbsolutePath(OsStyle::Windows, u"/tmp"));
    EXPECT_TRUE(isAbsolutePath(OsStyle::Posix, u"/tmp"));
    EXPECT_FALSE(isAbsolutePath(OsStyle::Posix, u"\\lib\\x.jar"));
    EXPECT_FALSE(isAbsolutePath(OsStyle::Posix, u"tmp/x"));
}

TEST(SplitPath, GivesRootThenComponents) {
    const struct {
        OsStyle style;
        WideString path;
        WideStringList components;
    } cases[] = {
        {OsStyle::Windows, u"D:\\App\\logs\\out.txt", {u"D:", u"App", u"logs", u"out.txt"}},
        {OsStyle::Windows, u"\\\\server\\share\\logs\\out.txt", {u"\\\\server", u"share", u"logs", u"out.txt"}},
        {OsStyle::Windows, u"\\\\?\\D:\\App\\out.txt", {u"\\\\?\\D:", u"App", u"out.txt"}},
        {OsStyle::Windows, u"logs\\out.txt", {u"logs", u"out.txt"}},
        {OsStyle::Windows, u"\\App\\out.txt", {u"App", u"out.txt"}},
        {OsStyle::Windows, u"D:/App/out.txt", {u"D:/App/out.txt"}},
        {OsStyle::Posix, u"/var/log/out.txt", {u"", u"var", u"log", u"out.txt"}},
        {OsStyle::Posix, u"/var\\log/out.txt", {u"", u"var", u"log", u"out.txt"}},
    };
    for (const auto& c : cases) {
        WideStringList components{u"stale"};
        splitPath(c.style, c.path, components);
        EXPECT_EQ(components, c.components) << testing::utf8(c.path);
    }
}

TEST(EnsureParentDirectories, CreatesOnlyMissingLevelsBelowTheRoot) {
    FakePlatform platform;
    platform.addDirectory(u"D:\\App");
    EXPECT_EQ(ensureParentDirectories(platform, u"D:\\App\\logs\\2024\\out.txt"), 0);
    EXPECT_TRUE(platform.directories.count(u"d:\\app\\logs"));
    EXPECT_TRUE(platform.directories.count(u"d:\\app\\logs\\2024"));
    EXPECT_FALSE(platform.directories.count(u"d:\\app\\logs\\2024\\out.txt"));

    // All levels there: every creation reports "exists", the result is 0.
    EXPECT_EQ(ensureParentDirectories(platform, u"D:\\App\\logs\\2024\\other.txt"), 0);

    // A relative path never creates its first component.
    EXPECT_NE(ensureParentDirectories(platform, u"logs\\sub\\out.txt"), 0);
    EXPECT_FALSE(platform.directories.count(u"logs"));
    EXPECT_EQ(ensureParentDirectories(platform, u""), 0);
}

TEST(EnsureParentDirectories, RemovesTheLevelItCreatedWhenTheNextFails) {
    FakePlatform platform;
    platform.addDirectory(u"D:\\App");
    platform.failingDirectories.insert(u"d:\\app\\new\\denied");
    EXPECT_EQ(ensureParentDirectories(platform, u"D:\\App\\new\\denied\\out.txt"), 5);
    EXPECT_FALSE(platform.directories.count(u"d:\\app\\new"));
    ASSERT_EQ(platform.removedDirectories.size(), 1u);

    // A level that existed before the call is never removed.
    platform.addDirectory(u"D:\\App\\old");
    platform.failingDirectories.insert(u"d:\\app\\old\\denied");
    EXPECT_EQ(ensureParentDirectories(platform, u"D:\\App\\old\\denied\\out.txt"), 5);
    EXPECT_TRUE(platform.directories.count(u"d:\\app\\old"));
}

TEST(EnsureParentDirectories, UncServerAndShareFailuresAreSkipped) {
    FakePlatform platform;
    // The share exists but, like every server and share part, cannot be created.
    platform.addDirectory(u"\\\\server\\share");
    platform.failingDirectories.insert(u"\\\\server\\share");
    EXPECT_EQ(ensureParentDirectories(platform, u"\\\\server\\share\\logs\\out.txt"), 0);
    EXPECT_TRUE(platform.directories.count(u"\\\\server\\share\\logs"));
}

TEST(EnsureParentDirectories, PosixPathsStartAtTheRoot) {
    FakePlatform platform(OsStyle::Posix);
    platform.addDirectory(u"/var");
    EXPECT_EQ(ensureParentDirectories(platform, u"/var/app/logs/out.txt"), 0);
    EXPECT_TRUE(platform.directories.count(u"/var/app/logs"));
}

}  // namespace
}  // namespace kite
