#include <gtest/gtest.h>

#include "fake_platform.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/launch_settings.h"

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
        {u"app.exe", {}},
        {u" \t\r\n", {}},
        {u"app.exe a\tb   c", {u"a\tb", u"c"}},
        {u"app.exe \"\" x", {u"", u"x"}},
        {u"\"C:\\My Apps\\app.exe\"x y", {u"x", u"y"}},
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

    const WideString quoted = u"\"" + WideString(99998, u'q') + u"\"";
    pieces.clear();
    splitCommandLine(quoted, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].size(), 99998u);

    pieces.clear();
    splitCommandLine(WideString(100000, u' '), pieces);
    EXPECT_EQ(pieces, (WideStringList{u""}));
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
    failing.modulePathError = 2;
    WideString settings;
    EXPECT_FALSE(settingsFilePath(failing, settings));
    EXPECT_EQ(failing.stdoutText,
              "Error: Windows Fehler: konnte den Modulpfad nicht finden (Fehlernummer = 2).\n \n");
}

TEST(FileLocations, UserSettingsPathAndFolders) {
    FakePlatform platform;
    LaunchSettings settings;
    settings.product.name = u"A/B: Z*?";
    settings.product.code = u"K1";
    WideString path;
    userSettingsPath(platform, settings.product, u"C:\\App\\app.beta.exe", false, path);
    EXPECT_EQ(path, u"");  // no APPDATA: no per-user file, never one at the root of the current drive
    platform.environment[u"APPDATA"] = u"Roaming";
    userSettingsPath(platform, settings.product, u"C:\\App\\app.beta.exe", false, path);
    EXPECT_EQ(path, u"");  // nor one relative to the current folder
    platform.environment[u"APPDATA"] = u"C:\\Roaming";
    platform.addDirectory(u"C:\\Roaming");
    userSettingsPath(platform, settings.product, u"app", true, path);
    EXPECT_EQ(path, u"C:\\Roaming\\AB Z\\K1\\app.ini");
    EXPECT_TRUE(platform.directories.count(u"c:\\roaming\\ab z\\k1"));
    userSettingsPath(platform, settings.product, u"", true, path);
    EXPECT_EQ(path, u"");
    // Neither value leads out of the per-user folder: separators and drives
    // are dropped, and a name of dots alone names no folder.
    const struct {
        WideString name, code, path;
    } escapes[] = {
        {u"..", u"..\\..\\Windows", u"C:\\Roaming\\\\....Windows\\app.ini"},
        {u"Acme", u"D:\\x", u"C:\\Roaming\\Acme\\Dx\\app.ini"},
        {u". .", u"../../etc", u"C:\\Roaming\\\\....etc\\app.ini"},
        {u"v1.2", u"..", u"C:\\Roaming\\v1.2\\\\app.ini"},
    };
    for (const auto& c : escapes) {
        settings.product.name = c.name;
        settings.product.code = c.code;
        userSettingsPath(platform, settings.product, u"app", false, path);
        EXPECT_EQ(path, c.path) << testing::utf8(c.code);
    }
}

TEST(FileLocations, UserSettingsPathOnLinuxAndOverlongAppData) {
    FakePlatform posix(OsStyle::Posix);
    LaunchSettings linux;
    linux.product.name = u"My:App";
    linux.product.code = u"1";
    posix.environment[u"HOME"] = u"/home/u";
    WideString path;
    userSettingsPath(posix, linux.product, u"/opt/app/app.bin", false, path);
    EXPECT_EQ(path, u"/home/u/.config/MyApp/1/app.ini");
    posix.environment[u"XDG_CONFIG_HOME"] = u"xdg";  // relative: ignored
    userSettingsPath(posix, linux.product, u"/opt/app/app.bin", false, path);
    EXPECT_EQ(path, u"/home/u/.config/MyApp/1/app.ini");
    posix.environment[u"XDG_CONFIG_HOME"] = u"/xdg";
    userSettingsPath(posix, linux.product, u"/opt/x.y/kite", true, path);
    EXPECT_EQ(path, u"/xdg/MyApp/1/kite.ini");
    // A fresh home may lack the base folder: it is created along with the two below it.
    EXPECT_TRUE(posix.directories.count(u"/xdg/MyApp/1"));
    // Neither variable: no per-user file at all.
    FakePlatform homeless(OsStyle::Posix);
    LaunchSettings nowhere;
    userSettingsPath(homeless, nowhere.product, u"/opt/app/app", true, path);
    EXPECT_EQ(path, u"");
    EXPECT_TRUE(homeless.directories.empty());

    FakePlatform windows;
    LaunchSettings settings;
    settings.product.name = u"P";
    settings.product.code = u"C";
    windows.environment[u"APPDATA"] = WideString(260, u'a');
    userSettingsPath(windows, settings.product, u"C:\\App\\app.exe", false, path);
    EXPECT_EQ(path, u"");  // too long a value counts as not set
    windows.environment[u"APPDATA"] = u"C:\\" + WideString(256, u'a');
    userSettingsPath(windows, settings.product, u"C:\\App\\app.exe", false, path);
    EXPECT_EQ(path, u"C:\\" + WideString(256, u'a') + u"\\P\\C\\app.ini");
}

TEST(FileLocations, PairedSettingsPath) {
    const struct {
        WideString pairProduct;
        bool ok;
        WideString settings;
    } cases[] = {
        {u"", false, u""},
        {u"C:\\App\\app64.exe", true, u"C:\\App\\app64.ini"},
        {u"C:\\x.y\\app64", true, u"C:\\x.ini"},
        {u"app64", false, u""},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        LaunchSettings launch;
        launch.pair.product = c.pairProduct;
        WideString settings;
        EXPECT_EQ(settingsPathFor(platform, launch.pair.product, settings), c.ok) << testing::utf8(c.pairProduct);
        if (c.ok) {
            EXPECT_EQ(settings, c.settings);
        }
    }
}

TEST(FileLocations, RecordJrePathWritesNothingWithoutASettingsFile) {
    FakePlatform platform;
    platform.executablePath = u"C:\\App\\app";  // no dot: no settings file name
    platform.environment[u"APPDATA"] = u"C:\\Roaming";
    platform.addDirectory(u"C:\\Roaming");
    LaunchSettings settings;
    settings.product.name = u"P";
    settings.product.code = u"C";
    recordJrePath(platform, settings, u"D:\\Java\\");
    EXPECT_TRUE(platform.files.empty());
    EXPECT_EQ(platform.directories.count(u"c:\\roaming\\p"), 0u);

    // Folders that cannot be created make the write fail silently.
    FakePlatform denied;
    denied.environment[u"APPDATA"] = u"C:\\Roaming";
    denied.addDirectory(u"C:\\Roaming");
    denied.failingDirectories.insert(u"c:\\roaming\\p");
    LaunchSettings deniedSettings;
    deniedSettings.product.name = u"P";
    deniedSettings.product.code = u"C";
    recordJrePath(denied, deniedSettings, u"D:\\Java\\");
    EXPECT_TRUE(denied.files.empty());
    EXPECT_TRUE(denied.stdoutText.empty());
}

TEST(FileLocations, RecordJrePathWritesWhereTheNextStartReads) {
    for (bool service : {false, true}) {
        FakePlatform platform;
        platform.environment[u"APPDATA"] = u"C:\\Roaming";
        platform.addDirectory(u"C:\\App");
        platform.addDirectory(u"C:\\Roaming");
        LaunchSettings settings;
        settings.service.serviceMode = service;
        settings.product.name = u"P";
        settings.product.code = u"C";
        settings.pair.product = u"C:\\App\\app64.exe";
        recordJrePath(platform, settings, u"D:\\Java\\");
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
        LaunchSettings settings;
        applyWorkingDirectory(platform);
        EXPECT_EQ(platform.currentDirectory, c.directory) << testing::utf8(c.executable);
    }
}

}  // namespace
}  // namespace kite
