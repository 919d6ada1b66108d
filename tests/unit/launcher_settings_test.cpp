#include <gtest/gtest.h>

#include "fake_platform.h"
#include "settings/launch_settings.h"

namespace kite {
namespace {

using testing::FakePlatform;

// The settings of C:\App\app.exe whose settings file holds the given text.
struct Fixture {
    explicit Fixture(const std::string& ini, OsStyle style = OsStyle::Windows) : platform(style) {
        if (!ini.empty()) platform.addFile(settingsPath(), ini);
        platform.environment[u"APPDATA"] = u"C:\\Users\\u\\AppData\\Roaming";
        platform.environment[u"HOME"] = u"/home/u";
    }
    WideString settingsPath() const {
        return platform.osStyle == OsStyle::Windows ? u"C:\\App\\app.ini" : u"/opt/app/app.ini";
    }
    bool read() { return readLaunchSettings(platform, settings); }
    FakePlatform platform;
    LaunchSettings settings;
};

std::string runtime(const std::string& keys) {
    return "[Java Runtime Environment]\nMain Class=com.example.App\n" + keys + "\n";
}

TEST(LauncherSettings, MissingMainClassPrintsItsLineAndStopsReading) {
    const std::string later =
        "[Application]\nOverride WorkingDir=yes\nPair Product=C:\\App\\app64.exe\nPair Return Code=yes\n"
        "[Java Runtime Environment]\nSystem Path=C:\\bin\nLibrary Path=C:\\lib\nMain Class=\nJVM Type=server\n";
    for (const std::string& ini : {std::string(), later}) {
        Fixture f(ini);
        EXPECT_FALSE(f.read());
        EXPECT_EQ(f.platform.stdoutText, "Error: Main class in der INI-Datei nicht spezifiziert. \n");
        EXPECT_FALSE(f.settings.overrideWorkingDir);
        EXPECT_FALSE(f.settings.pair.returnCode);
        EXPECT_EQ(f.settings.pair.product, u"");
        EXPECT_EQ(f.settings.systemPath, u"");
        EXPECT_EQ(f.settings.libraryPath, u"");
        EXPECT_EQ(f.settings.mainClass, u"");
    }
    {  // Keys before "Main Class" are read all the same.
        Fixture f(later);
        f.read();
        EXPECT_EQ(f.settings.requirements.jvmType, JvmType::Server);
    }
    {  // No settings file name can be formed: false without a message.
        Fixture f(runtime(""));
        f.platform.executablePath = u"C:\\App\\app";
        EXPECT_FALSE(f.read());
        EXPECT_TRUE(f.platform.stdoutText.empty());
    }
    Fixture ok(runtime(""));
    EXPECT_TRUE(ok.read());
    EXPECT_EQ(ok.settings.mainClass, u"com/example/App");
    EXPECT_TRUE(ok.platform.stdoutText.empty());
}

TEST(LauncherSettings, VersionBounds) {
    const struct {
        std::string keys;
        JavaVersion min, max;
    } cases[] = {
        {"", {0, 0, 0, 0}, {65535, 65535, 65535, 65535}},  // no maximum: no upper bound
        {"Minimum Version=any\nMaximum Version=any", {0, 0, 0, 0}, {65535, 65535, 65535, 65535}},
        {"Minimum Version=1.6\nMaximum Version=1.8", {1, 6, 0, 0}, {1, 8, 65535, 65535}},
        {"Minimum Version=Any\nMaximum Version=unreadable", {0, 0, 0, 0}, {65535, 65535, 65535, 65535}},
        {"Maximum Version=1.8.0_151", {0, 0, 0, 0}, {1, 8, 0, 151}},
    };
    for (const auto& c : cases) {
        Fixture f(runtime(c.keys));
        ASSERT_TRUE(f.read());
        EXPECT_TRUE(f.settings.requirements.minVersion.equals(c.min)) << c.keys;
        EXPECT_TRUE(f.settings.requirements.maxVersion.equals(c.max)) << c.keys;
    }
    // Group counts: "any" and the open maximum are four given parts, "Any" is an unreadable version.
    const struct {
        std::string keys;
        std::int32_t minCount, maxCount;
    } counts[] = {
        {"Minimum Version=any\nMaximum Version=any", 4, 4},
        {"Minimum Version=Any\nMaximum Version=", 0, 4},
        {"Minimum Version=1.6\nMaximum Version=1.8", 2, 2},
    };
    for (const auto& c : counts) {
        Fixture f(runtime(c.keys));
        ASSERT_TRUE(f.read());
        EXPECT_EQ(f.settings.requirements.minVersion.count, c.minCount) << c.keys;
        EXPECT_EQ(f.settings.requirements.maxVersion.count, c.maxCount) << c.keys;
    }
}

TEST(LauncherSettings, JvmSourceAndTypeChoicesAreExact) {
    const struct {
        std::string value;
        bool jdk, jre, both;
    } sources[] = {
        {"", true, true, true},          {"favor_JRE", false, true, true}, {"favor_JDK", true, false, true},
        {"only_JRE", false, true, false}, {"only_JDK", true, false, false}, {"Only_JDK", false, false, false},
    };
    for (const auto& c : sources) {
        Fixture f(runtime("JVM Source=" + c.value));
        f.read();
        EXPECT_EQ(f.settings.requirements.jdkWanted, c.jdk) << c.value;
        EXPECT_EQ(f.settings.requirements.jreWanted, c.jre) << c.value;
        EXPECT_EQ(f.settings.requirements.bothSources, c.both) << c.value;
    }
    for (const auto& [value, type] : {std::pair{"server", JvmType::Server}, {"favor_server", JvmType::FavorServer},
                                      {"Server", JvmType::Default}, {"", JvmType::Default}}) {
        Fixture f(runtime(std::string("JVM Type=") + value));
        f.read();
        EXPECT_EQ(f.settings.requirements.jvmType, type) << value;
    }
}

TEST(LauncherSettings, VmProviderRowsIgnoreCase) {
    const struct {
        std::string value;
        bool flags[6];  // jrockitAllowed, jrockitFavoured, sunAllowed, sunFavoured, ibmAllowed, ibmFavoured
    } cases[] = {
        {"", {0, 0, 1, 1, 0, 0}},         {"sun", {0, 0, 1, 1, 0, 0}},          {"JRockit", {1, 1, 0, 0, 0, 0}},
        {"IBM", {0, 0, 0, 0, 1, 1}},      {"favor_sun", {1, 0, 1, 1, 1, 0}},    {"favor_jrockit", {1, 1, 1, 0, 1, 0}},
        {"favor_ibm", {1, 0, 1, 0, 1, 1}}, {"ANY", {1, 0, 1, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        Fixture f(runtime("VM Provider=" + c.value));
        f.read();
        const LaunchSettings& l = f.settings;
        const bool actual[6] = {l.requirements.vendors.jrockitAllowed, l.requirements.vendors.jrockitFavoured, l.requirements.vendors.sunAllowed,
                                l.requirements.vendors.sunFavoured,    l.requirements.vendors.ibmAllowed,      l.requirements.vendors.ibmFavoured};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(actual[i], c.flags[i]) << c.value << " flag " << i;
    }
}

TEST(LauncherSettings, YesNoKeysUseTheirOwnTests) {
    Fixture f(runtime("System Path=C:\\bin\nLibrary Path=C:\\native\nPreferred versions=1.7;;1.8") +
              "[Application]\nApplication Type=service\nOmit Service Name=No\nOverride WorkingDir=YES\n"
              "Pair Product=C:\\App\\app64.exe\nPair Return Code=yEs\n");
    ASSERT_TRUE(f.read());
    EXPECT_TRUE(f.settings.service.serviceMode);
    EXPECT_TRUE(f.settings.service.omitServiceName);  // any non-empty value, even "No"
    EXPECT_TRUE(f.settings.overrideWorkingDir);
    EXPECT_TRUE(f.settings.pair.returnCode);
    EXPECT_EQ(f.settings.pair.product, u"C:\\App\\app64.exe");
    EXPECT_EQ(f.settings.systemPath, u"C:\\bin");
    EXPECT_EQ(f.settings.libraryPath, u"C:\\native");
    EXPECT_EQ(f.settings.requirements.preferredVersions, (WideStringList{u"1.7", u"", u"1.8"}));

    Fixture notService(runtime("") + "[Application]\nApplication Type=Service\nOmit Service Name=x\n");
    notService.read();
    EXPECT_FALSE(notService.settings.service.serviceMode);
    EXPECT_FALSE(notService.settings.service.omitServiceName);

    // isYes ignores case but wants the whole word.
    const struct {
        std::string value;
        bool yes;
    } words[] = {{"yes", true}, {"Yes", true}, {"YES", true}, {"y", false}, {"1", false}, {"", false}};
    for (const auto& w : words) {
        Fixture f(runtime("") + "[Application]\nOverride WorkingDir=" + w.value + "\nPair Return Code=" + w.value + "\n");
        ASSERT_TRUE(f.read());
        EXPECT_EQ(f.settings.overrideWorkingDir, w.yes) << w.value;
        EXPECT_EQ(f.settings.pair.returnCode, w.yes) << w.value;
    }
}

TEST(LauncherSettings, ProductKeysAndServiceJrePathFromThePlusSection) {
    Fixture f("[Product Information]\nProduct Name=Kite Demo\nProduct Code=KD-1\n"
              "[Application]\nApplication Type=service\n"
              "[Java Runtime Environment]\nMain Class=App\n"
              "[Java Runtime Environment+]\nJRE Path=C:\\Java\\\nPreferred versions=1.8;11\n");
    ASSERT_TRUE(f.read());
    EXPECT_EQ(f.settings.product.name, u"Kite Demo");
    EXPECT_EQ(f.settings.product.code, u"KD-1");
    EXPECT_EQ(f.settings.requirements.jrePath, u" C:\\Java\\");
    EXPECT_EQ(f.settings.requirements.preferredVersions, (WideStringList{u" 1.8", u"11"}));
    EXPECT_EQ(f.settings.mainClass, u"App");
    EXPECT_FALSE(f.settings.service.omitServiceName);
}

TEST(LauncherSettings, PlusSectionsExtendButProductKeysArePlain) {
    Fixture f("[Java Runtime Environment+]\nMain Class=a.B\nLibrary Path=C:\\lib\n"
              "[Product Information+]\nProduct Name=Nope\n[Product Information]\nProduct Code=K1\n");
    ASSERT_TRUE(f.read());
    EXPECT_EQ(f.settings.mainClass, u" a/B");
    EXPECT_EQ(f.settings.libraryPath, u" C:\\lib");
    EXPECT_EQ(f.settings.product.name, u"");
    EXPECT_EQ(f.settings.product.code, u"K1");
}

TEST(LauncherSettings, PerUserFileAloneDecidesJrePathOutsideServiceMode) {
    const std::string product = "[Product Information]\nProduct Name=A/B: Z\nProduct Code=K1\n";
    const WideString userFile = u"C:\\Users\\u\\AppData\\Roaming\\AB Z\\K1\\app.ini";
    {
        Fixture f(product + runtime("JRE Path=C:\\Beside\\"));
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"C:\\Beside\\");
    }
    {
        Fixture f(product + runtime("JRE Path=C:\\Beside\\"));
        f.platform.addFile(userFile, "[Java Runtime Environment]\nJRE Path=C:\\User\\\n");
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"C:\\User\\");
    }
    {  // A per-user file without the key still hides the settings file's value.
        Fixture f(product + runtime("JRE Path=C:\\Beside\\"));
        f.platform.addFile(userFile, "[Other]\n");
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"");
    }
    {  // Without APPDATA a file at the root of the current drive is not read.
        Fixture f(product + runtime("JRE Path=C:\\Beside\\"));
        f.platform.environment.erase(u"APPDATA");
        f.platform.addFile(u"\\AB Z\\K1\\app.ini", "[Java Runtime Environment]\nJRE Path=C:\\Planted\\\n");
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"C:\\Beside\\");
    }
    {  // Service mode never reads the per-user file.
        Fixture f(product + runtime("JRE Path=C:\\Beside\\") + "[Application]\nApplication Type=service\n");
        f.platform.addFile(userFile, "[Java Runtime Environment]\nJRE Path=C:\\User\\\n");
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"C:\\Beside\\");
    }
    {  // Linux: below XDG_CONFIG_HOME (or ~/.config).
        Fixture f(product + runtime("JRE Path=/beside/"), OsStyle::Posix);
        f.platform.addFile(u"/home/u/.config/AB Z/K1/app.ini", "[Java Runtime Environment]\nJRE Path=/user/\n");
        f.read();
        EXPECT_EQ(f.settings.requirements.jrePath, u"/user/");
    }
}

}  // namespace
}  // namespace kite
