// The runtime sources one by one: the private runtime, the vendor keys and
// their conditions, the ranking keys, the image check on both systems, the
// not-found step and the Linux runtime folders.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "discovery/image_header.h"
#include "discovery/runtime_candidates.h"
#include "discovery/runtime_folders.h"
#include "fake_platform.h"
#include "discovery_under_test.h"

namespace kite {
namespace {

using testing::FakePlatform;
using testing::utf8;

const std::array<WideString, 5> kVendorKeys = {
    u"Software\\JavaSoft\\Java Development Kit\\",
    u"Software\\JavaSoft\\Java Runtime Environment\\",
    u"Software\\JRockit\\Java Runtime Environment\\",
    u"Software\\JRockit\\Java Development Kit\\",
    u"Software\\IBM\\Java2 Runtime Environment\\",
};
bool isJdk(std::size_t key) { return key == 0 || key == 3; }

struct Flags {
    bool jdk, jre, both;
    bool sunA, sunF, jrA, jrF, ibmA, ibmF;
};
constexpr Flags kDefaults{true, true, true, true, true, false, false, false, false};

void apply(testing::DiscoveryUnderTest& discovery, const Flags& f) {
    discovery.requirements.jdkWanted = f.jdk;
    discovery.requirements.jreWanted = f.jre;
    discovery.requirements.bothSources = f.both;
    discovery.requirements.vendors.sunAllowed = f.sunA;
    discovery.requirements.vendors.sunFavoured = f.sunF;
    discovery.requirements.vendors.jrockitAllowed = f.jrA;
    discovery.requirements.vendors.jrockitFavoured = f.jrF;
    discovery.requirements.vendors.ibmAllowed = f.ibmA;
    discovery.requirements.vendors.ibmFavoured = f.ibmF;
}

// Registers one runtime under a vendor key; its home gets the given layouts.
void registerRuntime(FakePlatform& platform, std::size_t key, const WideString& version, const WideString& home,
                     std::initializer_list<const char16_t*> layouts = {u"client"}, bool otherView = false) {
    platform.addRegistryString(kVendorKeys[key] + version, u"JavaHome", home, otherView);
    const WideString base = home.ends_with(u'\\') ? home : home + u"\\";
    const WideString runtimeHome = isJdk(key) ? base + u"jre\\" : base;
    for (const char16_t* layout : layouts) platform.addFile(runtimeHome + u"bin\\" + layout + u"\\jvm.dll", "MZ");
}

std::string peImage(std::uint16_t machine, std::size_t size = 0x100, std::uint32_t offset = 0x80) {
    std::string bytes(size, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[60 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    const std::string signature{'P', 'E', '\0', '\0', static_cast<char>(machine & 0xFF), static_cast<char>(machine >> 8)};
    for (std::size_t i = 0; i < signature.size() && offset + i < size; ++i) bytes[offset + i] = signature[i];
    return bytes;
}

std::string elfImage(std::uint16_t machine, bool bigEndian = false) {
    std::string bytes(64, '\0');
    bytes.replace(0, 4, "\x7F" "ELF");
    bytes[4] = 2;
    bytes[5] = bigEndian ? 2 : 1;
    bytes[bigEndian ? 19 : 18] = static_cast<char>(machine & 0xFF);
    bytes[bigEndian ? 18 : 19] = static_cast<char>(machine >> 8);
    return bytes;
}

TEST(PrivateRuntime, ExecutableFolderBeforeItsJreFolder) {
    const struct {
        OsStyle style;
        WideString exe;
        std::vector<WideString> files;
        bool result;
        WideString home;
    } cases[] = {
        {OsStyle::Windows, u"C:\\App\\app.exe", {u"C:\\App\\bin\\java.dll", u"C:\\App\\jre\\bin\\java.dll"}, true,
         u"C:\\App\\"},
        {OsStyle::Windows, u"C:\\App\\app.exe", {u"C:\\App\\jre\\bin\\java.dll"}, true, u"C:\\App\\jre\\"},
        {OsStyle::Windows, u"C:\\App\\app.exe", {u"C:\\App\\jre\\bin\\client\\jvm.dll"}, true, u""},
        {OsStyle::Posix, u"/opt/app/app", {u"/opt/app/jre/lib/libjava.so"}, true, u"/opt/app/jre/"},
        {OsStyle::Posix, u"/opt/app/app", {u"/opt/app/lib/amd64/libjava.so"}, true, u"/opt/app/"},
        {OsStyle::Posix, u"/opt/app/app", {u"/opt/app/jre/bin/java.dll"}, true, u""},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        platform.executablePath = c.exe;
        for (const WideString& file : c.files) platform.addFile(file);
        WideString home = u"stale";
        EXPECT_EQ(findPrivateRuntime(platform, home), c.result) << utf8(c.home);
        EXPECT_EQ(home, c.home);
    }
    FakePlatform broken;
    broken.modulePathError = 2;
    WideString home;
    EXPECT_FALSE(findPrivateRuntime(broken, home));
}

// Which vendor keys each policy searches: one runtime under one key at a time.
TEST(RegistrySearch, KeysFollowSourceAndProviderFlags) {
    const struct {
        const char* name;
        Flags flags;
        std::array<bool, 5> searched;
    } cases[] = {
        {"default", kDefaults, {true, true, false, false, false}},
        {"only_JRE", {false, true, false, true, true, false, false, false, false}, {false, true, false, false, false}},
        {"only_JDK", {true, false, false, true, true, false, false, false, false}, {true, false, false, false, false}},
        {"favor_JDK", {true, false, true, true, true, false, false, false, false}, {true, true, false, false, false}},
        {"misspelt source", {false, false, false, true, true, false, false, false, false}, {}},
        {"jrockit", {true, true, true, false, false, true, true, false, false}, {false, false, true, true, false}},
        {"ibm", {true, true, true, false, false, false, false, true, true}, {false, false, false, false, true}},
        {"any", {true, true, true, true, false, true, false, true, false}, {true, true, true, true, true}},
        {"ibm only_JDK", {true, false, false, false, false, false, false, true, true}, {}},
    };
    for (const auto& c : cases) {
        for (std::size_t key = 0; key < kVendorKeys.size(); ++key) {
            FakePlatform platform;
            testing::DiscoveryUnderTest discovery(platform);
            discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
            apply(discovery, c.flags);
            registerRuntime(platform, key, u"1.8", u"C:\\rt");
            WideString home;
            EXPECT_EQ(discovery.searchRegistry(false, home), c.searched[key]) << c.name << " key " << key;
            if (c.searched[key]) {
                EXPECT_EQ(home, isJdk(key) ? u"C:\\rt\\jre\\" : u"C:\\rt\\");
            }
        }
    }
}

TEST(RegistrySearch, VendorKeyEntries) {
    FakePlatform platform;
    testing::DiscoveryUnderTest discovery(platform);
    discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
    apply(discovery, kDefaults);
    registerRuntime(platform, 1, u"1.8", u"C:\\jre8\\");
    registerRuntime(platform, 1, u"1.8.0_151", u"C:\\jre8");
    registerRuntime(platform, 1, u"1.8.0_20", u"C:\\jre8u20");
    registerRuntime(platform, 1, u"latest", u"C:\\latest");
    platform.addRegistryString(kVendorKeys[1] + u"1.9", u"Other", u"x");             // no JavaHome
    registerRuntime(platform, 1, u"1.10", u"C:\\jre10", {u"hotspot", u"classic"});  // classic before hotspot
    registerRuntime(platform, 1, u"11", u"C:\\nolib", {});
    struct Found {
        std::string version;
        std::string home;
        bool server;
    };
    auto scan = [&] {
        std::vector<JreCandidate> candidates;
        discovery.scanVendorKey(candidates, kVendorKeys[1], false);
        std::vector<Found> found;
        for (const auto& c : candidates) found.push_back({utf8(c.version.toText()), utf8(c.home), c.hasServerVm});
        return found;
    };
    auto versions = [](const std::vector<Found>& found) {
        std::string text;
        for (const auto& f : found) text += f.version + " ";
        return text;
    };
    // A name without digits reads as 0.0.0.0: examined only with the open lower bound.
    const auto all = scan();
    EXPECT_EQ(versions(all), "1.8 1.8.0.151 1.8.0.20 0.0.0.0 1.10 ");
    EXPECT_EQ(all[0].home, "C:\\jre8\\");
    EXPECT_EQ(all[1].home, "C:\\jre8\\");
    discovery.requirements.minVersion.parse(u"1.8.0_20", 0);
    discovery.requirements.maxVersion.parse(u"1.8", 65535);
    EXPECT_EQ(versions(scan()), "1.8.0.151 1.8.0.20 ");  // both bounds inclusive
    discovery.requirements.minVersion.clear();
    discovery.requirements.maxVersion.parse(u"1.7", 65535);
    EXPECT_EQ(versions(scan()), "0.0.0.0 ");
}

TEST(RegistrySearch, RuntimeKeyHomes) {
    const struct {
        std::size_t key;
        JvmType type;
        WideString javaHome;
        std::vector<WideString> libraries;
        bool found;
        WideString home;
        bool server;
    } cases[] = {
        {0, JvmType::Default, u"D:\\jdk", {u"D:\\jdk\\jre\\bin\\client\\jvm.dll"}, true, u"D:\\jdk\\jre\\", false},
        {0, JvmType::Default, u"D:\\jdk\\", {u"D:\\jdk\\jre\\bin\\client\\jvm.dll"}, true, u"D:\\jdk\\jre\\", false},
        {0, JvmType::Default, u"D:\\jdk", {u"D:\\jdk\\bin\\client\\jvm.dll"}, false, u"D:\\jdk\\jre\\", false},
        {3, JvmType::Default, u"D:\\jr", {u"D:\\jr\\jre\\bin\\jrockit\\jvm.dll"}, true, u"D:\\jr\\jre\\", false},
        {4, JvmType::Default, u"D:\\ibm", {u"D:\\ibm\\bin\\classic\\jvm.dll"}, true, u"D:\\ibm\\", false},
        // FavorServer: the JavaSoft JRE counts as server only without another JVM ...
        {1, JvmType::FavorServer, u"D:\\jre",
         {u"D:\\jre\\bin\\client\\jvm.dll", u"D:\\jre\\bin\\server\\jvm.dll"}, true, u"D:\\jre\\", false},
        {1, JvmType::FavorServer, u"D:\\jre", {u"D:\\jre\\bin\\server\\jvm.dll"}, true, u"D:\\jre\\", true},
        // ... the other vendors' JREs whenever they have one.
        {2, JvmType::FavorServer, u"D:\\jr",
         {u"D:\\jr\\bin\\client\\jvm.dll", u"D:\\jr\\bin\\server\\jvm.dll"}, true, u"D:\\jr\\", true},
        {1, JvmType::Server, u"D:\\jre", {u"D:\\jre\\bin\\client\\jvm.dll"}, false, u"D:\\jre\\", false},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.jvmType = c.type;
        platform.addRegistryString(kVendorKeys[c.key] + u"1.8", u"JavaHome", c.javaHome);
        for (const WideString& library : c.libraries) platform.addFile(library);
        WideString home;
        bool server = true;
        EXPECT_EQ(discovery.checkRuntimeKey(kVendorKeys[c.key], u"1.8", home, server, false), c.found)
            << utf8(c.javaHome);
        EXPECT_EQ(home, c.home);
        EXPECT_EQ(server, c.server) << utf8(c.javaHome);
    }
}

TEST(RegistrySearch, ValueBytesThatAreNoPlainText) {
    const struct {
        std::vector<std::uint8_t> bytes;
        bool found;
    } cases[] = {
        {{'D', 0, ':', 0}, true},                            // no terminating NUL
        {{'D', 0, ':', 0, '\\'}, true},                      // odd size: the last byte is dropped
        {{0, 0, 'D', 0}, false},                             // empty up to the first NUL
        {{}, false},                                         // size 0
        {{0xFF, 0xFE, 0x00, 0xD8, 'D', 0}, false},           // no runtime there, but no harm
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        platform.addRegistryBytes(kVendorKeys[1] + u"1.8", u"JavaHome", c.bytes);
        platform.addFile(u"D:\\bin\\client\\jvm.dll");
        WideString home;
        bool server = false;
        EXPECT_EQ(discovery.checkRuntimeKey(kVendorKeys[1], u"1.8", home, server, false), c.found) << c.bytes.size();
    }
}

TEST(RuntimeRanking, SortKeys) {
    const struct {
        const char* name;
        bool both;
        JvmType type;
        std::vector<JreCandidate> in;  // version, home, hasServerVm, favoured
        std::string order;             // homes best first
    } cases[] = {
        {"favour first", true, JvmType::Default,
         {{{1, 8, 0, 0}, u"a", false, false}, {{1, 6, 0, 0}, u"b", false, true}}, "b a "},
        {"favour ignored without both sources", false, JvmType::Default,
         {{{1, 6, 0, 0}, u"a", false, true}, {{1, 8, 0, 0}, u"b", false, false}}, "b a "},
        {"server only for favor_server", true, JvmType::Server,
         {{{1, 6, 0, 0}, u"a", true, true}, {{1, 8, 0, 0}, u"b", false, true}}, "b a "},
        {"server before version", true, JvmType::FavorServer,
         {{{1, 8, 0, 0}, u"a", false, true}, {{1, 6, 0, 0}, u"b", true, true}}, "b a "},
        {"favour before server", true, JvmType::FavorServer,
         {{{1, 8, 0, 0}, u"a", true, false}, {{1, 6, 0, 0}, u"b", false, true}}, "b a "},
        {"numeric versions, stable for equal ones", true, JvmType::Default,
         {{{1, 9, 0, 0}, u"a", false, true},
          {{1, 10, 0, 0}, u"b", false, true},
          {{1, 9, 0, 0}, u"c", false, true},
          {{1, 10, 0, 0}, u"d", false, true}},
         "b d a c "},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.bothSources = c.both;
        discovery.requirements.jvmType = c.type;
        std::vector<JreCandidate> candidates = c.in;
        discovery.sortCandidates(candidates);
        std::string order;
        for (const auto& candidate : candidates) order += utf8(candidate.home) + " ";
        EXPECT_EQ(order, c.order) << c.name;
    }
}

TEST(RuntimeRanking, PreferredVersionsInWrittenOrder) {
    const std::vector<JreCandidate> installed = {
        {{1, 9, 0, 0}, u"1.9", false, false},
        {{9, 0, 4, 0}, u"9.0.4", false, false},
        {{1, 8, 0, 151}, u"1.8.0.151", false, false},
        {{1, 8, 0, 20}, u"1.8.0.20", false, false},
    };
    const struct {
        WideStringList preferred;
        std::string chosen;
    } cases[] = {
        {{}, "9.0.4"},
        {{u"9"}, "9.0.4"},
        {{u"1.8"}, "1.8.0.151"},
        {{u"1.8.0_20", u"1.8"}, "1.8.0.20"},
        {{u"1.5", u"1.9"}, "1.9"},
        {{u"1.5", u"x", u"1.8"}, "9.0.4"},  // an entry without digits matches the best
        {{u"1.5", u"11"}, "9.0.4"},         // no entry matches: the best
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.preferredVersions = c.preferred;
        std::vector<JreCandidate> candidates = installed;
        JreCandidate chosen;
        ASSERT_TRUE(discovery.selectCandidate(candidates, chosen));
        EXPECT_EQ(utf8(chosen.home), c.chosen);
    }
    FakePlatform platform;
    testing::DiscoveryUnderTest discovery(platform);
    std::vector<JreCandidate> none;
    JreCandidate chosen;
    EXPECT_FALSE(discovery.selectCandidate(none, chosen));
}

TEST(RuntimeSelection, VendorFavourAndViews) {
    auto start = [](FakePlatform& platform, testing::DiscoveryUnderTest& discovery) {
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        apply(discovery, kDefaults);
        (void)platform;
    };
    {  // favor_sun admits JRockit and IBM but ranks the JavaSoft runtime first.
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        start(platform, discovery);
        discovery.requirements.vendors.jrockitAllowed = true;
        discovery.requirements.vendors.ibmAllowed = true;
        registerRuntime(platform, 4, u"1.6", u"C:\\ibm6");
        registerRuntime(platform, 2, u"1.8", u"C:\\jr8");
        registerRuntime(platform, 1, u"1.7", u"C:\\jre7");
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, u"C:\\jre7\\bin\\client\\jvm.dll");
        EXPECT_FALSE(discovery.runtime.ibm);
    }
    {  // "any" favours none: the highest version wins.
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        start(platform, discovery);
        apply(discovery, {true, true, true, true, false, true, false, true, false});
        registerRuntime(platform, 4, u"1.9", u"C:\\ibm9");
        registerRuntime(platform, 1, u"1.8", u"C:\\jre8");
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, u"C:\\ibm9\\bin\\client\\jvm.dll");
        // Only a runtime from the IBM key keeps the IBM thread rules.
        EXPECT_TRUE(discovery.runtime.ibm);
    }
    {  // A choice in the native view keeps the other view unsearched.
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        start(platform, discovery);
        discovery.requirements.pairedExecutable = true;
        registerRuntime(platform, 1, u"1.6", u"C:\\jre6");
        registerRuntime(platform, 1, u"11", u"C:\\jre11", {u"server"}, true);
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, u"C:\\jre6\\bin\\client\\jvm.dll");
        EXPECT_FALSE(discovery.runtime.launchPairProduct);
    }
}

TEST(RuntimeSelection, NotFoundStepHandsOverToTheDialog) {
    const struct {
        JvmType type;
        int dialog;
        bool result;
        const char* message;
    } cases[] = {
        {JvmType::Server, -1, false, "eine JRE mit Server JVM (neueste Version) von:"},
        {JvmType::FavorServer, 2, false, "eine JRE (neueste Version) von:"},
        {JvmType::Default, 1, true, "eine JRE (neueste Version) von:"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        discovery.requirements.jvmType = c.type;
        discovery.requirements.pairedExecutable = true;
        platform.dialogResult = c.dialog;
        platform.dialogLibrary = u"D:\\jre\\bin\\client\\jvm.dll";
        platform.dialogFolder = u"D:\\jre\\";
        platform.addFile(platform.dialogLibrary, peImage(0x8664));
        EXPECT_EQ(discovery.discover(), c.result);
        EXPECT_EQ(platform.dialogCalls, 1);
        EXPECT_TRUE(utf8(platform.dialogMessage).ends_with(c.message)) << utf8(platform.dialogMessage);
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, c.result ? platform.dialogLibrary : u"");
        // The library the user picked is image-checked like a configured one.
        EXPECT_EQ(discovery.runtime.launchPairProduct, c.result);
        EXPECT_TRUE(platform.stdoutText.empty());
    }
}

TEST(ImageCheck, HeadersOnBothSystems) {
    const struct {
        OsStyle style;
        std::uint16_t own;
        std::string bytes;
        bool pair;
    } cases[] = {
        {OsStyle::Windows, 0x014C, peImage(0x8664), true},
        {OsStyle::Windows, 0x8664, peImage(0x014C), true},
        {OsStyle::Windows, 0x8664, peImage(0x8664), false},
        {OsStyle::Windows, 0x014C, peImage(0x8664, 0x86), true},          // signature ends at the last byte
        {OsStyle::Windows, 0x014C, peImage(0x8664, 0x85), false},         // one byte short
        {OsStyle::Windows, 0x014C, peImage(0x8664, 0x100, 0x100), false},  // e_lfanew at the end
        {OsStyle::Windows, 0x014C, peImage(0x8664, 0x100, 0x80000000u), false},
        {OsStyle::Windows, 0x014C, peImage(0x8664).substr(0, 63), false},
        {OsStyle::Windows, 0x014C, elfImage(62), false},
        {OsStyle::Posix, 62, elfImage(3), true},
        {OsStyle::Posix, 62, elfImage(62), false},
        {OsStyle::Posix, 62, elfImage(62, true), false},  // read in the byte order the header names
        {OsStyle::Posix, 62, elfImage(3, true), true},
        {OsStyle::Posix, 62, elfImage(3).substr(0, 19), false},
        {OsStyle::Posix, 62, peImage(0x8664), false},
        {OsStyle::Posix, 62, "", false},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        platform.ownMachine = c.own;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.pairedExecutable = true;
        discovery.runtime.jvmLibraryPath = c.style == OsStyle::Windows ? u"C:\\jre\\jvm.dll" : u"/jre/libjvm.so";
        platform.addFile(discovery.runtime.jvmLibraryPath, c.bytes);
        discovery.runtime.launchPairProduct = !c.pair;
        discovery.checkJvmLibraryImage(discovery.runtime);
        EXPECT_EQ(discovery.runtime.launchPairProduct, c.pair) << c.bytes.size() << " own " << c.own;
    }
    // A folder in the library's place, or no file at all.
    for (const bool folder : {true, false}) {
        FakePlatform platform;
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.pairedExecutable = true;
        discovery.runtime.jvmLibraryPath = u"C:\\jre\\jvm.dll";
        if (folder) platform.addDirectory(discovery.runtime.jvmLibraryPath);
        discovery.runtime.launchPairProduct = true;
        discovery.checkJvmLibraryImage(discovery.runtime);
        EXPECT_FALSE(discovery.runtime.launchPairProduct);
    }
}

TEST(LinuxRuntimeFolders, ReleaseFilesKindsAndLayouts) {
    struct Runtime {
        const char* name;
        const char* release;  // nullptr: no release file
        bool jdk;
        bool jreFolder;
        std::vector<const char*> libraries;  // below the folder
    };
    const std::vector<Runtime> machine = {
        {"jdk-17", "JAVA_VERSION=\"17.0.15\"\n", true, false, {"lib/server/libjvm.so"}},
        {"jdk-8", "JAVA_VERSION=\"1.8.0_392\"\r\n", true, true, {"jre/lib/amd64/server/libjvm.so"}},
        {"jre-11", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=11.0.2\n", false, false,
         {"lib/client/libjvm.so", "lib/server/libjvm.so"}},
        {"jre-x", "IMPLEMENTOR=\"x\"\n", false, false, {"lib/server/libjvm.so"}},
        {"no-release", nullptr, true, false, {"lib/server/libjvm.so"}},
        {"jdk-21-nolib", "JAVA_VERSION=\"21\"\n", true, false, {}},
    };
    const struct {
        const char* name;
        Flags flags;
        JvmType type;
        const char16_t* min;
        WideStringList preferred;
        std::string found;  // homes in scan order
        const char* chosen;
    } cases[] = {
        {"all", kDefaults, JvmType::Default, u"", {},
         "jdk-17/ jdk-8/jre/ jre-11/ jre-x/ ", "jdk-17/lib/server/libjvm.so"},
        {"lower bound", kDefaults, JvmType::Default, u"1.8.0_392", {},
         "jdk-17/ jdk-8/jre/ jre-11/ ", "jdk-17/lib/server/libjvm.so"},
        {"only_JRE", {false, true, false, true, true, false, false, false, false}, JvmType::Default, u"1", {},
         "jre-11/ ", "jre-11/lib/client/libjvm.so"},
        {"favor_JRE", {false, true, true, true, true, false, false, false, false}, JvmType::Default, u"1", {},
         "jdk-17/ jdk-8/jre/ jre-11/ ", "jre-11/lib/client/libjvm.so"},
        {"favor_server", kDefaults, JvmType::FavorServer, u"11", {},
         "jdk-17/ jre-11/ ", "jdk-17/lib/server/libjvm.so"},
        {"server", kDefaults, JvmType::Server, u"1", {u"11"},
         "jdk-17/ jdk-8/jre/ jre-11/ ", "jre-11/lib/server/libjvm.so"},
        {"preferred", kDefaults, JvmType::Default, u"", {u"1.8"},
         "jdk-17/ jdk-8/jre/ jre-11/ jre-x/ ", "jdk-8/jre/lib/amd64/server/libjvm.so"},
        {"no sun", {true, true, true, false, false, true, true, true, true}, JvmType::Default, u"", {}, "", nullptr},
    };
    for (const auto& c : cases) {
        FakePlatform platform(OsStyle::Posix);
        platform.executablePath = u"/opt/app/app";
        for (const Runtime& r : machine) {
            const std::string home = std::string("/usr/lib/jvm/") + r.name + "/";
            if (r.release) platform.addFile(testing::wide(home + "release"), r.release);
            if (r.jdk) platform.addFile(testing::wide(home + "bin/javac"));
            if (r.jreFolder) platform.addDirectory(testing::wide(home + "jre"));
            for (const char* library : r.libraries) platform.addFile(testing::wide(home + library));
        }
        platform.addFile(u"/usr/lib/jvm/.java-17.jinfo", "name=x\n");
        testing::DiscoveryUnderTest discovery(platform);
        apply(discovery, c.flags);
        discovery.requirements.jvmType = c.type;
        discovery.requirements.minVersion.parse(c.min, 0);
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        discovery.requirements.preferredVersions = c.preferred;

        std::vector<JreCandidate> candidates;
        scanRuntimeFolders(platform, discovery.requirements, discovery.trace, u"/usr/lib/jvm", candidates);
        std::string found;
        for (const auto& candidate : candidates) found += utf8(candidate.home).substr(13) + " ";
        EXPECT_EQ(found, c.found) << c.name;

        EXPECT_EQ(discovery.discover(), c.chosen != nullptr) << c.name;
        if (c.chosen) {
            EXPECT_EQ(utf8(discovery.runtime.jvmLibraryPath), std::string("/usr/lib/jvm/") + c.chosen) << c.name;
        }
        // Linux has no second view, even with a paired product.
        discovery.requirements.pairedExecutable = true;
        WideString home;
        EXPECT_FALSE(discovery.searchRegistry(true, home));
    }
}

}  // namespace
}  // namespace kite
