#include <gtest/gtest.h>

#include "discovery/image_header.h"
#include "discovery/registry_key.h"
#include "discovery/runtime_candidates.h"
#include "fake_platform.h"
#include "fake_service_control.h"
#include "launcher/launcher.h"
#include "discovery_under_test.h"

namespace kite {
namespace {

using testing::FakePlatform;

const WideString kJdk = u"Software\\JavaSoft\\Java Development Kit\\";
const WideString kJre = u"Software\\JavaSoft\\Java Runtime Environment\\";

// A Windows machine with runtimes registered under vendor keys.
struct Machine {
    Machine() : discovery(platform) {
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        discovery.requirements.jdkWanted = discovery.requirements.jreWanted = true;
    }
    // Registers key\version with JavaHome = home and creates the given JVM layouts under runtimeHome.
    void add(const WideString& key, const WideString& version, const WideString& home, const WideString& runtimeHome,
             std::initializer_list<const char16_t*> layouts, bool otherView = false) {
        platform.addRegistryString(key + version, u"JavaHome", home, otherView);
        for (const char16_t* layout : layouts) platform.addFile(runtimeHome + u"bin\\" + layout + u"\\jvm.dll", "MZ");
    }
    WideString choose() {
        EXPECT_TRUE(discovery.discover());
        return discovery.runtime.jvmLibraryPath;
    }
    FakePlatform platform;
    testing::DiscoveryUnderTest discovery;
};

TEST(FindJvmLibrary, LayoutOrderPerJvmType) {
    FakePlatform platform;
    platform.addFile(u"C:\\both\\bin\\client\\jvm.dll");
    platform.addFile(u"C:\\both\\bin\\server\\jvm.dll");
    platform.addFile(u"C:\\client\\bin\\client\\jvm.dll");
    platform.addFile(u"C:\\jrockit\\bin\\jrockit\\jvm.dll");
    const struct {
        WideString home;
        JvmType type;
        WideString library;
        bool server;
    } cases[] = {
        {u"C:\\both\\", JvmType::Default, u"C:\\both\\bin\\client\\jvm.dll", false},
        {u"C:\\both\\", JvmType::Server, u"C:\\both\\bin\\server\\jvm.dll", true},
        {u"C:\\both\\", JvmType::FavorServer, u"C:\\both\\bin\\server\\jvm.dll", true},
        {u"C:\\client\\", JvmType::Server, u"", false},
        {u"C:\\client\\", JvmType::FavorServer, u"C:\\client\\bin\\client\\jvm.dll", false},
        {u"C:\\jrockit\\", JvmType::Default, u"C:\\jrockit\\bin\\jrockit\\jvm.dll", false},
        {u"C:\\jrockit\\", JvmType::Server, u"", false},
    };
    for (const auto& c : cases) {
        bool server = false;
        EXPECT_EQ(findJvmLibrary(platform, c.home, c.type, server), c.library) << testing::utf8(c.home);
        EXPECT_EQ(server, c.server);
    }
    FakePlatform posix(OsStyle::Posix);
    posix.addFile(u"/jvm/8/lib/amd64/server/libjvm.so");
    bool server = false;
    EXPECT_EQ(findJvmLibrary(posix, u"/jvm/8/", JvmType::Default, server), u"/jvm/8/lib/amd64/server/libjvm.so");
    EXPECT_TRUE(server);
}

TEST(RuntimeSelection, RankingFavourServerAndVersion) {
    {  // FavorServer: the JavaSoft JRE counts as server only without a client JVM.
        Machine m;
        m.discovery.requirements.jvmType = JvmType::FavorServer;
        m.add(kJdk, u"1.7", u"C:\\jdk7", u"C:\\jdk7\\jre\\", {u"server"});
        m.add(kJre, u"1.8", u"C:\\jre8", u"C:\\jre8\\", {u"client", u"server"});
        EXPECT_EQ(m.choose(), u"C:\\jdk7\\jre\\bin\\server\\jvm.dll");
    }
    for (JvmType type : {JvmType::Default, JvmType::Server}) {
        Machine m;
        m.discovery.requirements.jvmType = type;
        m.add(kJdk, u"1.7", u"C:\\jdk7", u"C:\\jdk7\\jre\\", {u"server"});
        m.add(kJre, u"1.8", u"C:\\jre8\\", u"C:\\jre8\\", {u"client", u"server"});
        EXPECT_EQ(m.choose().substr(0, 8), u"C:\\jre8\\");
    }
    {  // favor_JRE: the favoured kind wins over the higher version.
        Machine m;
        m.discovery.requirements.jdkWanted = false;
        m.add(kJdk, u"1.8", u"C:\\jdk8", u"C:\\jdk8\\jre\\", {u"client"});
        m.add(kJre, u"1.7", u"C:\\jre7", u"C:\\jre7\\", {u"client"});
        EXPECT_EQ(m.choose(), u"C:\\jre7\\bin\\client\\jvm.dll");
    }
    {  // Equal versions and favour: the JDK was found first.
        Machine m;
        m.add(kJdk, u"1.8", u"C:\\jdk8", u"C:\\jdk8\\jre\\", {u"client"});
        m.add(kJre, u"1.8", u"C:\\jre8", u"C:\\jre8\\", {u"client"});
        EXPECT_EQ(m.choose(), u"C:\\jdk8\\jre\\bin\\client\\jvm.dll");
    }
    {  // only_JRE never yields a JDK entry.
        Machine m;
        m.discovery.requirements.jdkWanted = false;
        m.discovery.requirements.bothSources = false;
        m.add(kJdk, u"9", u"C:\\jdk9", u"C:\\jdk9\\jre\\", {u"client"});
        m.add(kJre, u"1.6", u"C:\\jre6", u"C:\\jre6\\", {u"client"});
        EXPECT_EQ(m.choose(), u"C:\\jre6\\bin\\client\\jvm.dll");
    }
}

TEST(RuntimeSelection, BoundsAndPreferences) {
    auto machine = [](Machine& m) {
        m.add(kJre, u"1.8.0_151", u"C:\\jre8", u"C:\\jre8\\", {u"client"});
        m.add(kJre, u"1.7.0_80", u"C:\\jre7", u"C:\\jre7\\", {u"client"});
        m.add(kJre, u"1.6", u"C:\\jre6", u"C:\\jre6\\", {u"client"});
    };
    {
        Machine m;
        machine(m);
        m.discovery.requirements.preferredVersions = {u"1.7", u"1.8"};
        EXPECT_EQ(m.choose(), u"C:\\jre7\\bin\\client\\jvm.dll");
    }
    {
        Machine m;
        machine(m);
        m.discovery.requirements.preferredVersions = {u"1.5", u"", u"1.7"};  // the empty entry matches the best
        EXPECT_EQ(m.choose(), u"C:\\jre8\\bin\\client\\jvm.dll");
    }
    {  // Bounds are inclusive.
        Machine m;
        machine(m);
        m.discovery.requirements.minVersion.parse(u"1.6", 0);
        m.discovery.requirements.maxVersion.parse(u"1.7", 65535);
        EXPECT_EQ(m.choose(), u"C:\\jre7\\bin\\client\\jvm.dll");
    }
    {  // Outside the bounds and without a dialog nothing is found.
        Machine m;
        machine(m);
        m.discovery.requirements.minVersion.parse(u"9", 0);
        EXPECT_FALSE(m.discovery.discover());
        EXPECT_EQ(m.platform.dialogCalls, 1);
        EXPECT_EQ(testing::utf8(m.platform.dialogMessage),
                  "Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
                  "eine JRE (minimum Version 9.0) von:");
        EXPECT_TRUE(m.platform.stdoutText.empty());
    }
}

TEST(RuntimeSelection, SourcesInOrder) {
    {  // A valid JRE Path wins, whatever its version, and is image-checked.
        Machine m;
        m.add(kJre, u"1.8", u"C:\\jre8", u"C:\\jre8\\", {u"client"});
        m.platform.addFile(u"C:\\old\\bin\\client\\jvm.dll", "not an image");
        m.discovery.requirements.jrePath = u"C:\\old";
        m.discovery.requirements.maxVersion.parse(u"1.5", 65535);
        m.discovery.requirements.pairedExecutable = true;
        EXPECT_EQ(m.choose(), u"C:\\old\\bin\\client\\jvm.dll");
        EXPECT_FALSE(m.discovery.runtime.launchPairProduct);
    }
    {  // A JRE Path without a library falls through; the private runtime beside the exe is next.
        Machine m;
        m.discovery.requirements.jrePath = u"C:\\empty\\";
        m.add(kJre, u"1.8", u"C:\\jre8", u"C:\\jre8\\", {u"client"});
        m.platform.addFile(u"C:\\App\\jre\\bin\\java.dll");
        m.platform.addFile(u"C:\\App\\jre\\bin\\server\\jvm.dll");
        EXPECT_EQ(m.choose(), u"C:\\App\\jre\\bin\\server\\jvm.dll");
    }
    {  // Without a private runtime no lookup is made relative to the current folder.
        Machine m;
        m.platform.addFile(u"bin\\client\\jvm.dll");
        EXPECT_FALSE(m.discovery.discover());
    }
    {  // The other view is searched only with a paired product, and a hit there starts it.
        Machine m;
        m.add(kJre, u"11", u"C:\\jre11", u"C:\\jre11\\", {u"server"}, true);
        EXPECT_FALSE(m.discovery.discover());
        m.discovery.requirements.pairedExecutable = true;
        EXPECT_EQ(m.choose(), u"C:\\jre11\\bin\\server\\jvm.dll");
        EXPECT_TRUE(m.discovery.runtime.launchPairProduct);
    }
    {  // The dialog's folder is used, and handed on to be remembered.
        Machine m;
        m.platform.dialogResult = 1;
        m.platform.dialogLibrary = u"D:\\jre\\bin\\client\\jvm.dll";
        m.platform.dialogFolder = u"D:\\jre\\";
        EXPECT_EQ(m.choose(), u"D:\\jre\\bin\\client\\jvm.dll");
        EXPECT_EQ(m.discovery.runtime.pickedFolder, u"D:\\jre\\");
    }
}

TEST(RuntimeSelection, VendorKeysFollowTheProviderFlags) {
    Machine m;
    m.discovery.requirements.vendors.sunAllowed = m.discovery.requirements.vendors.sunFavoured = false;
    m.discovery.requirements.vendors.jrockitAllowed = m.discovery.requirements.vendors.jrockitFavoured = true;
    m.add(kJre, u"1.8", u"C:\\jre8", u"C:\\jre8\\", {u"client"});
    m.add(u"Software\\JRockit\\Java Development Kit\\", u"1.6", u"C:\\jr6", u"C:\\jr6\\jre\\", {u"jrockit"});
    EXPECT_EQ(m.choose(), u"C:\\jr6\\jre\\bin\\jrockit\\jvm.dll");
}

TEST(RegistryKey, StringValuesNeverReadPastTheirSize) {
    FakePlatform platform;
    const WideString key = u"Software\\Test";
    platform.addRegistryBytes(key, u"noNul", {'C', 0, ':', 0});
    platform.addRegistryBytes(key, u"odd", {'C', 0, ':', 0, '\\'});
    platform.addRegistryBytes(key, u"inner", {'a', 0, 0, 0, 'b', 0});
    platform.addRegistryBytes(key, u"empty", {});
    platform.addRegistryBytes(key, u"huge", std::vector<std::uint8_t>(1 << 20, 'x'));
    RegistryKey open(platform, key, false);
    WideString value;
    EXPECT_TRUE(open.readString(u"noNul", value));
    EXPECT_EQ(value, u"C:");
    EXPECT_TRUE(open.readString(u"odd", value));
    EXPECT_EQ(value, u"C:");
    EXPECT_TRUE(open.readString(u"inner", value));
    EXPECT_EQ(value, u"a");
    EXPECT_FALSE(open.readString(u"empty", value));
    EXPECT_FALSE(open.readString(u"missing", value));
    EXPECT_TRUE(open.readString(u"huge", value));
    EXPECT_EQ(value.size(), std::size_t{1} << 19);
    RegistryKey closed(platform, u"Software\\Missing", false);
    EXPECT_FALSE(closed.isOpen());
    EXPECT_TRUE(closed.subKeyNames().empty());
    EXPECT_FALSE(closed.readString(u"x", value));
}

TEST(RuntimeSelection, EmptyJavaHomeIsNoRuntime) {
    Machine m;
    m.platform.addRegistryString(kJre + u"1.8", u"JavaHome", u"");
    m.platform.addFile(u"bin\\client\\jvm.dll");
    EXPECT_FALSE(m.discovery.discover());
}

std::string peHeader(std::uint16_t machine, std::uint32_t offset = 0x80) {
    std::string bytes(0x100, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[60 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    if (offset + 6 <= bytes.size()) {
        bytes.replace(offset, 4, std::string("PE\0\0", 4));
        bytes[offset + 4] = static_cast<char>(machine & 0xFF);
        bytes[offset + 5] = static_cast<char>(machine >> 8);
    }
    return bytes;
}

TEST(ImageHeader, MachineOnlyFromWellFormedHeaders) {
    auto pe = [](const std::string& b) {
        return peMachine(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
    };
    EXPECT_EQ(pe(peHeader(0x014C)), 0x014C);
    EXPECT_EQ(pe(peHeader(0x8664)), 0x8664);
    EXPECT_FALSE(pe(peHeader(0x8664, 0xFB)));          // signature runs past the end
    EXPECT_FALSE(pe(peHeader(0x8664, 0xFFFFFFF0u)));   // e_lfanew far outside
    EXPECT_FALSE(pe(peHeader(0x8664).substr(0, 0x84)));  // truncated inside the header
    EXPECT_FALSE(pe(""));
    std::string noSignature = peHeader(0x8664);
    noSignature[0x81] = 'X';
    EXPECT_FALSE(pe(noSignature));
    const std::string elf("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0", 20);
    EXPECT_EQ(elfMachine(reinterpret_cast<const std::uint8_t*>(elf.data()), elf.size()), 62);
    EXPECT_FALSE(elfMachine(reinterpret_cast<const std::uint8_t*>(elf.data()), 19));
}

TEST(ImageCheck, OtherMachineStartsThePairedProductOnlyWhenOneIsSet) {
    for (const auto& [machine, pair, expected] :
         {std::tuple{0x8664, true, true}, {0x8664, false, false}, {0x014C, true, false}}) {
        FakePlatform platform;
        platform.addFile(u"C:\\jre\\bin\\client\\jvm.dll", peHeader(static_cast<std::uint16_t>(machine)));
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.jrePath = u"C:\\jre\\";
        if (pair) discovery.requirements.pairedExecutable = true;
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.launchPairProduct, expected) << machine << pair;
    }
}

// A runtime of the other processor kind: the paired executable starts in
// this one's place, and its exit code is passed on only when asked for.
TEST(ImageCheck, TheLaunchStartsThePairedExecutableInsteadOfAJvm) {
    for (bool returnCode : {true, false}) {
        FakePlatform platform;
        platform.addFile(u"C:\\App\\app.ini", std::string("[Java Runtime Environment]\nMain Class=App\nJRE Path=C:\\jre\\\n"
                                              "[Application]\nPair Product=C:\\App64\\app64.exe\n") +
                                                  (returnCode ? "Pair Return Code=yes\n" : ""));
        platform.addFile(u"C:\\jre\\bin\\client\\jvm.dll", peHeader(0x8664));
        platform.addFile(u"C:\\App64\\app64.exe");
        platform.pairedExitCode = 12;
        testing::FakeServiceControl control;
        // No library is loaded: loading one would fail here with an error line.
        EXPECT_EQ(launcherMain(platform, control, nullptr), returnCode ? 12 : 0);
        ASSERT_EQ(platform.pairedStarts.size(), 1u);
        EXPECT_EQ(platform.pairedStarts[0], std::make_pair(WideString(u"C:\\App64\\app64.exe"), returnCode));
        EXPECT_EQ(platform.stdoutText, "");
    }
}

TEST(RuntimeSelection, LinuxRuntimeFoldersStandInForTheRegistry) {
    FakePlatform platform(OsStyle::Posix);
    auto runtime = [&](const std::string& name, const std::string& version, bool jdk) {
        const WideString home = u"/usr/lib/jvm/" + testing::wide(name) + u"/";
        platform.addFile(home + u"release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"" + version + "\"\n");
        platform.addFile(home + u"lib/server/libjvm.so");
        if (jdk) platform.addFile(home + u"bin/javac");
    };
    runtime("java-17-openjdk-amd64", "17.0.15", true);
    runtime("temurin-25-jdk-amd64", "25.0.3", true);
    runtime("java-11-jre", "11.0.2", false);
    platform.addDirectory(u"/usr/lib/jvm/no-release");
    const struct {
        const char16_t* min;
        const char16_t* max;
        const char16_t* chosen;
    } cases[] = {
        {u"", u"any", u"/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"},
        {u"", u"17", u"/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so"},
        {u"", u"12", u"/usr/lib/jvm/java-11-jre/lib/server/libjvm.so"},
        {u"26", u"any", nullptr},
    };
    for (const auto& c : cases) {
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.jdkWanted = discovery.requirements.jreWanted = true;
        discovery.requirements.minVersion.parse(c.min, 0);
        if (WideString(c.max) == u"any") {
            discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        } else {
            discovery.requirements.maxVersion.parse(c.max, 65535);
        }
        EXPECT_EQ(discovery.discover(), c.chosen != nullptr);
        if (c.chosen) {
            EXPECT_EQ(discovery.runtime.jvmLibraryPath, c.chosen);
        }
    }
}

TEST(VersionRequirementText, NamesTheBounds) {
    const struct {
        JavaVersion min, max;
        std::string text;
    } cases[] = {
        {{0, 0, 0, 0}, {65535, 65535, 65535, 65535}, "neueste Version"},
        {{0, 0, 0, 0}, {1, 8, 65535, 65535}, "maximum Version 1.8"},
        {{1, 6, 0, 0}, {65535, 65535, 65535, 65535}, "minimum Version 1.6"},
        {{1, 8, 0, 0}, {1, 8, 0, 0}, "Version 1.8 erforderlich"},
        {{1, 8, 0, 0}, {1, 8, 65535, 65535}, "Version zwischen 1.8 und 1.8"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.minVersion = c.min;
        discovery.requirements.maxVersion = c.max;
        EXPECT_EQ(testing::utf8(discovery.versionRequirementText()), c.text);
    }
}

}  // namespace
}  // namespace kite
