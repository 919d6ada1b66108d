// The registry keys of current installers (JavaSoft\JDK and \JRE, Eclipse
// Adoptium, AdoptOpenJDK, Microsoft), the JAVA_HOME source and the trace of
// the decisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake_platform.h"
#include "discovery_under_test.h"

namespace kite {
namespace {

using testing::FakePlatform;
using testing::utf8;

const WideString kLegacyJre = u"Software\\JavaSoft\\Java Runtime Environment\\";
const WideString kJavaSoftJdk = u"Software\\JavaSoft\\JDK\\";
const WideString kJavaSoftJre = u"Software\\JavaSoft\\JRE\\";
const WideString kAdoptiumJdk = u"Software\\Eclipse Adoptium\\JDK\\";
const WideString kAdoptiumJre = u"Software\\Eclipse Adoptium\\JRE\\";
const WideString kAdoptOpenJdk = u"Software\\AdoptOpenJDK\\JDK\\";
const WideString kAdoptOpenJre = u"Software\\AdoptOpenJDK\\JRE\\";
const WideString kMicrosoftJdk = u"Software\\Microsoft\\JDK\\";

bool isMsiKey(const WideString& key) { return key.find(u"JavaSoft") == WideString::npos; }

// The trace is decided when the Launcher is made, so the variable is set first.
struct TracedPlatform : FakePlatform {
    explicit TracedPlatform(bool traced) {
        if (traced) environment[u"KITE_TRACE"] = u"1";
    }
};

// A Windows machine; runtimes are registered the way their installers do it.
struct Machine {
    explicit Machine(bool traced = false) : platform(traced), discovery(platform) {
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        discovery.requirements.jdkWanted = discovery.requirements.jreWanted = true;
    }
    // key\version with its home value (JavaHome, or hotspot\MSI "Path"), and
    // a server JVM directly below the folder.
    void add(const WideString& key, const WideString& version, const WideString& folder) {
        if (isMsiKey(key)) {
            platform.addRegistryString(key + version + u"\\hotspot\\MSI", u"Path", folder);
        } else {
            platform.addRegistryString(key + version, u"JavaHome", folder);
        }
        const WideString base = folder.ends_with(u'\\') ? folder : folder + u"\\";
        platform.addFile(base + u"bin\\server\\jvm.dll", "MZ");
    }
    WideString choose() {
        EXPECT_TRUE(discovery.discover());
        return discovery.runtime.jvmLibraryPath;
    }
    TracedPlatform platform;
    testing::DiscoveryUnderTest discovery;
};

TEST(CurrentRuntimeKeys, EachKeyYieldsTheInstallationFolderAsHome) {
    for (const WideString& key :
         {kJavaSoftJdk, kJavaSoftJre, kAdoptiumJdk, kAdoptiumJre, kAdoptOpenJdk, kAdoptOpenJre, kMicrosoftJdk}) {
        for (const WideString& folder : {WideString(u"C:\\rt"), WideString(u"C:\\rt\\")}) {
            Machine m;
            m.add(key, u"17.0.2+8", folder);
            WideString home;
            EXPECT_TRUE(m.discovery.searchRegistry(false, home, true)) << utf8(key) << utf8(folder);
            EXPECT_EQ(home, u"C:\\rt\\") << utf8(key);  // no jre\ appended, one backslash
        }
    }
}

TEST(CurrentRuntimeKeys, ValuesOutsideTheirPlaceAreNotRead) {
    Machine m;
    // A JDK of the old layout under the current JDK key: its JVM lies in jre\, which is not looked at.
    m.platform.addRegistryString(kJavaSoftJdk + u"1.8", u"JavaHome", u"C:\\jdk8");
    m.platform.addFile(u"C:\\jdk8\\jre\\bin\\server\\jvm.dll", "MZ");
    // "Path" directly in the version sub-key, and "JavaHome" where "Path" belongs.
    m.platform.addRegistryString(kAdoptiumJdk + u"17", u"Path", u"C:\\a17");
    m.platform.addFile(u"C:\\a17\\bin\\server\\jvm.dll", "MZ");
    m.platform.addRegistryString(kMicrosoftJdk + u"11\\hotspot\\MSI", u"JavaHome", u"C:\\m11");
    m.platform.addFile(u"C:\\m11\\bin\\server\\jvm.dll", "MZ");
    WideString home;
    EXPECT_FALSE(m.discovery.searchRegistry(false, home, true));
}

TEST(CurrentRuntimeKeys, KindAndVendorFlagsApplyAsForJavaSoft) {
    const struct {
        const char* name;
        bool jdk, jre, both, sunAllowed, sunFavoured, jrockitAllowed;
        const char16_t* chosen;  // null: nothing
    } cases[] = {
        {"default", true, true, true, true, true, false, u"C:\\adoptium21\\"},
        {"only_JRE", false, true, false, true, true, false, u"C:\\jre11\\"},
        {"only_JDK", true, false, false, true, true, false, u"C:\\adoptium21\\"},
        {"favor_JRE", false, true, true, true, true, false, u"C:\\jre11\\"},
        {"VM Provider jrockit", true, true, true, false, false, true, nullptr},
    };
    for (const auto& c : cases) {
        Machine m;
        m.discovery.requirements.jdkWanted = c.jdk;
        m.discovery.requirements.jreWanted = c.jre;
        m.discovery.requirements.bothSources = c.both;
        m.discovery.requirements.vendors.sunAllowed = c.sunAllowed;
        m.discovery.requirements.vendors.sunFavoured = c.sunFavoured;
        m.discovery.requirements.vendors.jrockitAllowed = m.discovery.requirements.vendors.jrockitFavoured = c.jrockitAllowed;
        m.add(kAdoptiumJdk, u"21.0.1.12", u"C:\\adoptium21");
        m.add(kJavaSoftJre, u"11", u"C:\\jre11");
        WideString home;
        EXPECT_EQ(m.discovery.searchRegistry(false, home, true), c.chosen != nullptr) << c.name;
        if (c.chosen) {
            EXPECT_EQ(home, c.chosen) << c.name;
        }
    }
}

TEST(CurrentRuntimeKeys, SearchedOnlyWhenTheHistoricKeysHoldNothingAcceptable) {
    {  // An upgrade that adds a 17 leaves "Maximum Version=any" on the historic 1.8.
        Machine m;
        m.add(kLegacyJre, u"1.8", u"C:\\jre8");
        m.add(kJavaSoftJdk, u"17", u"C:\\jdk17");
        EXPECT_EQ(m.choose(), u"C:\\jre8\\bin\\server\\jvm.dll");
        // A historic runtime outside the bounds lets the newer keys decide.
        m.discovery.requirements.minVersion.parse(u"9", 0);
        EXPECT_EQ(m.choose(), u"C:\\jdk17\\bin\\server\\jvm.dll");
    }
    {  // The historic keys of the other view come before the newer keys of the own one.
        Machine m;
        m.discovery.requirements.pairedExecutable = true;
        m.platform.addRegistryString(kLegacyJre + u"1.8", u"JavaHome", u"C:\\jre8x64", true);
        m.platform.addFile(u"C:\\jre8x64\\bin\\server\\jvm.dll", "MZ");
        m.add(kMicrosoftJdk, u"17", u"C:\\ms17");
        EXPECT_EQ(m.choose(), u"C:\\jre8x64\\bin\\server\\jvm.dll");
        EXPECT_TRUE(m.discovery.runtime.launchPairProduct);
    }
    {  // Within the newer keys the ranking and the preferences apply as usual.
        Machine m;
        m.add(kAdoptOpenJdk, u"11.0.18.10", u"C:\\aoj11");
        m.add(kAdoptiumJre, u"17.0.2+8", u"C:\\a17");
        EXPECT_EQ(m.choose(), u"C:\\a17\\bin\\server\\jvm.dll");
        m.discovery.requirements.preferredVersions = {u"11"};
        EXPECT_EQ(m.choose(), u"C:\\aoj11\\bin\\server\\jvm.dll");
        m.discovery.requirements.preferredVersions = {u"9", u"17.0.2"};
        EXPECT_EQ(m.choose(), u"C:\\a17\\bin\\server\\jvm.dll");
    }
}

TEST(CurrentRuntimeKeys, Java8UnderAdoptiumAndAdoptOpenJdkCountsAs18) {
    for (const WideString& key : {kAdoptiumJdk, kAdoptOpenJdk}) {
        Machine m;
        // The JDK's JVM lies in its jre folder.
        m.platform.addRegistryString(key + u"8.0.392.8\\hotspot\\MSI", u"Path", u"C:\\jdk8");
        m.platform.addFile(u"C:\\jdk8\\jre\\bin\\server\\jvm.dll", "MZ");
        m.add(kAdoptiumJre, u"11.0.21.9", u"C:\\jre11");
        m.discovery.requirements.maxVersion.parse(u"1.8", 65535);
        EXPECT_EQ(m.choose(), u"C:\\jdk8\\jre\\bin\\server\\jvm.dll") << utf8(key);
        m.discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        m.discovery.requirements.preferredVersions = {u"1.8"};
        EXPECT_EQ(m.choose(), u"C:\\jdk8\\jre\\bin\\server\\jvm.dll") << utf8(key);
    }
}

TEST(JavaHomeSource, OnlyWhenEverySourceFoundNothing) {
    auto javaHome = [](Machine& m, const WideString& home, const std::string& version) {
        m.platform.environment[u"JAVA_HOME"] = home;
        m.platform.addFile(home + u"\\bin\\server\\jvm.dll", "MZ");
        if (!version.empty()) m.platform.addFile(home + u"\\release", "JAVA_VERSION=\"" + version + "\"\n");
    };
    {  // A registered runtime is chosen even though JAVA_HOME names a newer one.
        Machine m;
        m.add(kLegacyJre, u"1.8", u"C:\\jre8");
        javaHome(m, u"C:\\jdk21", "21.0.1");
        EXPECT_EQ(m.choose(), u"C:\\jre8\\bin\\server\\jvm.dll");
    }
    {  // Nothing registered: JAVA_HOME is used and the dialog stays closed.
        Machine m;
        javaHome(m, u"C:\\jdk21", "21.0.1");
        EXPECT_EQ(m.choose(), u"C:\\jdk21\\bin\\server\\jvm.dll");
        EXPECT_EQ(m.platform.dialogCalls, 0);
    }
    {  // Registered runtimes outside the bounds and a JAVA_HOME outside them too: the dialog.
        Machine m;
        m.add(kJavaSoftJdk, u"21", u"C:\\jdk21r");
        javaHome(m, u"C:\\jdk21", "21.0.1");
        m.discovery.requirements.maxVersion.parse(u"17", 65535);
        EXPECT_FALSE(m.discovery.discover());
        EXPECT_EQ(m.platform.dialogCalls, 1);
    }
    {  // Without a release file the version is 0.0.0.0: only an open minimum admits it.
        Machine m;
        javaHome(m, u"C:\\old", "");
        EXPECT_EQ(m.choose(), u"C:\\old\\bin\\server\\jvm.dll");
        Machine bounded;
        javaHome(bounded, u"C:\\old", "");
        bounded.discovery.requirements.minVersion.parse(u"1.6", 0);
        EXPECT_FALSE(bounded.discovery.discover());
    }
    {  // A JDK of the old layout: its JVM in jre\; and the JVM type is honoured.
        Machine m;
        m.platform.environment[u"JAVA_HOME"] = u"C:\\jdk8\\";
        m.platform.addFile(u"C:\\jdk8\\release", "JAVA_VERSION=\"1.8.0_202\"");
        m.platform.addFile(u"C:\\jdk8\\jre\\bin\\client\\jvm.dll", "MZ");
        EXPECT_EQ(m.choose(), u"C:\\jdk8\\jre\\bin\\client\\jvm.dll");
        m.discovery.requirements.jvmType = JvmType::Server;
        EXPECT_FALSE(m.discovery.discover());
    }
}

TEST(JavaHomeSource, ImageCheckAndLinux) {
    {  // Its library is checked like a configured one: another processor starts the paired executable.
        Machine m;
        std::string pe(0x100, '\0');
        pe[0] = 'M';
        pe[1] = 'Z';
        pe[60] = static_cast<char>(0x80);
        pe.replace(0x80, 6, std::string("PE\0\0\x64\x86", 6));
        m.platform.environment[u"JAVA_HOME"] = u"C:\\jdk64";
        m.platform.addFile(u"C:\\jdk64\\bin\\server\\jvm.dll", pe);
        m.discovery.requirements.pairedExecutable = true;
        EXPECT_EQ(m.choose(), u"C:\\jdk64\\bin\\server\\jvm.dll");
        EXPECT_TRUE(m.discovery.runtime.launchPairProduct);
    }
    {  // Linux: after the runtime folders, before the prompt.
        FakePlatform platform(OsStyle::Posix);
        platform.environment[u"JAVA_HOME"] = u"/opt/jdk-21";
        platform.addFile(u"/opt/jdk-21/release", "JAVA_VERSION=\"21.0.2\"\n");
        platform.addFile(u"/opt/jdk-21/lib/server/libjvm.so");
        platform.addFile(u"/usr/lib/jvm/jdk-17/release", "JAVA_VERSION=\"17.0.9\"\n");
        platform.addFile(u"/usr/lib/jvm/jdk-17/lib/server/libjvm.so");
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, u"/usr/lib/jvm/jdk-17/lib/server/libjvm.so");
        discovery.requirements.minVersion.parse(u"18", 0);
        ASSERT_TRUE(discovery.discover());
        EXPECT_EQ(discovery.runtime.jvmLibraryPath, u"/opt/jdk-21/lib/server/libjvm.so");
    }
}

// The lines that begin with prefix, in order.
std::vector<std::string> linesWith(const FakePlatform& platform, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : platform.stderrLines())
        if (line.starts_with(prefix)) out.push_back(line);
    return out;
}

TEST(DiscoveryTrace, SilentWithoutTheVariable) {
    for (const char16_t* value : {u"", u"0", u"yes"}) {
        FakePlatform platform;
        if (*value) platform.environment[u"KITE_TRACE"] = value;
        platform.addRegistryString(kLegacyJre + u"1.8", u"JavaHome", u"C:\\jre8");
        platform.addFile(u"C:\\jre8\\bin\\client\\jvm.dll", "MZ");
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        discovery.requirements.preferredVersions = {u"1.8"};
        discovery.requirements.pairedExecutable = true;
        EXPECT_TRUE(discovery.discover());
        EXPECT_FALSE(discovery.trace.on());
        EXPECT_EQ(platform.stderrText, "");
        EXPECT_EQ(platform.stdoutText, "");
    }
}

// KITE_TRACE_FILE takes the lines, appended, while KITE_TRACE=1 switches
// the trace on; a file that cannot be written (a folder, a link) sends them
// to standard error after one line that says why.
TEST(DiscoveryTrace, KiteTraceFileTakesTheLinesAppended) {
    const struct {
        const char16_t* trace;
        const char16_t* file;
        bool inFile;
        const char* refused;  // the first line on standard error; null: none
    } cases[] = {
        {u"1", u"C:\\Logs\\trace.txt", true, nullptr},
        {u"1", u"C:\\Logs", false,
         "kite: trace file C:\\Logs cannot be written (error 5), the trace goes to standard error"},
        {u"1", u"C:\\Logs\\link.txt", false,
         "kite: trace file C:\\Logs\\link.txt cannot be written (error 40), the trace goes to standard error"},
        {u"0", u"C:\\Logs\\trace.txt", false, nullptr},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.environment[u"KITE_TRACE"] = c.trace;
        platform.environment[u"KITE_TRACE_FILE"] = c.file;
        platform.addDirectory(u"C:\\Logs");
        platform.addFile(u"C:\\Logs\\trace.txt", "earlier start\n");
        platform.pathAccesses[platform.key(u"C:\\Logs\\link.txt")] = PathAccess{.isLink = true};
        platform.addRegistryString(kLegacyJre + u"1.8", u"JavaHome", u"C:\\jre8");
        platform.addFile(u"C:\\jre8\\bin\\client\\jvm.dll", "MZ");
        testing::DiscoveryUnderTest discovery(platform);
        discovery.requirements.maxVersion.set(65535, 65535, 65535, 65535);
        EXPECT_TRUE(discovery.discover());
        const std::string& file = platform.files[u"c:\\logs\\trace.txt"];
        EXPECT_TRUE(file.starts_with("earlier start\nkite: source \"JRE Path\": not set\n") == c.inFile) << file;
        const std::vector<std::string> lines = platform.stderrLines();
        if (c.refused == nullptr) {
            EXPECT_EQ(platform.stderrText, "");
        } else {
            ASSERT_GE(lines.size(), 3u) << platform.stderrText;
            EXPECT_EQ(lines[0], c.refused);
            EXPECT_EQ(lines[1], "kite: source \"JRE Path\": not set");
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                    [](const std::string& line) { return line.find("trace file") != std::string::npos; }),
                      1);
        }
        EXPECT_EQ(platform.files.count(u"c:\\logs\\link.txt"), 0u);
        EXPECT_EQ(platform.stdoutText, "");
    }
}

TEST(DiscoveryTrace, OneLinePerDecisionOnStandardError) {
    Machine m(true);
    m.discovery.requirements.minVersion.parse(u"9", 0);
    m.discovery.requirements.maxVersion.parse(u"17", 65535);
    m.discovery.requirements.preferredVersions = {u"11", u"17"};
    m.add(kLegacyJre, u"1.8", u"C:\\jre8");
    m.add(kJavaSoftJdk, u"17.0.2", u"C:\\jdk17");
    m.add(kAdoptiumJdk, u"21.0.1.12", u"C:\\a21");
    m.platform.addRegistryString(kMicrosoftJdk + u"11\\hotspot\\MSI", u"Path", u"C:\\gone");
    EXPECT_EQ(m.choose(), u"C:\\jdk17\\bin\\server\\jvm.dll");
    const auto lines = m.platform.stderrLines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_TRUE(line.starts_with("kite: ")) << line;
    EXPECT_EQ(m.platform.stdoutText, "");
    // The decisions in the order they are made.
    const std::vector<std::string> expected = {
        "kite: source \"JRE Path\": not set",
        "kite: source private runtime: none beside the executable",
        "kite: source registry, own view: searching",
        "kite: key Software\\JavaSoft\\Java Runtime Environment\\ (own view): 1 sub-keys",
        "kite:   sub-key \"1.8\" (version 1.8): skipped, below \"Minimum Version\" 9",
        "kite: source registry, own view: no suitable runtime",
        "kite: source registry, other view: not searched (no \"Pair Product\")",
        "kite: source registry, newer keys, own view: searching",
        "kite:   sub-key \"17.0.2\" (version 17.0.2): kept, home C:\\jdk17\\, server VM yes, favoured yes",
        "kite:   sub-key \"21.0.1.12\" (version 21.0.1.12): skipped, above \"Maximum Version\" 17",
        "kite:   sub-key \"11\": skipped, no JVM library for JVM Type default under C:\\gone\\",
        "kite: candidates, best first:",
        "kite:   1. version 17.0.2 at C:\\jdk17\\ (favoured yes, server VM yes, key Software\\JavaSoft\\JDK\\)",
        "kite: preferred version \"11\" matched no candidate",
        "kite: preferred version \"17\" matched version 17.0.2 at C:\\jdk17\\",
        "kite: source registry, newer keys, own view: chose version 17.0.2 at C:\\jdk17\\",
        "kite: chosen by the registered runtimes: JVM library C:\\jdk17\\bin\\server\\jvm.dll",
    };
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        EXPECT_NE(at, lines.end()) << "missing or out of order: " << line;
        if (at == lines.end()) break;
    }
    // Searched but not present, and switched off by the flags.
    EXPECT_EQ(linesWith(m.platform, "kite: key Software\\IBM\\Java2 Runtime Environment\\").size(), 1u);
    EXPECT_EQ(linesWith(m.platform, "kite: key Software\\IBM")[0],
              "kite: key Software\\IBM\\Java2 Runtime Environment\\: not searched (\"JVM Source\", \"VM Provider\")");
    EXPECT_EQ(linesWith(m.platform, "kite: key Software\\AdoptOpenJDK\\JDK\\")[0],
              "kite: key Software\\AdoptOpenJDK\\JDK\\ (own view): not present");
    // A runtime found earlier leaves JAVA_HOME and the dialog out.
    EXPECT_TRUE(linesWith(m.platform, "kite: source JAVA_HOME").empty());
}

TEST(DiscoveryTrace, FallbacksImageCheckAndDialog) {
    Machine m(true);
    m.discovery.requirements.jrePath = u"C:\\empty";
    m.discovery.requirements.pairedExecutable = true;
    m.platform.environment[u"JAVA_HOME"] = u"C:\\jdk21";
    m.platform.addFile(u"C:\\jdk21\\release", "JAVA_VERSION=\"21.0.1\"\n");
    m.platform.addFile(u"C:\\jdk21\\bin\\server\\jvm.dll", "not an image");
    EXPECT_EQ(m.choose(), u"C:\\jdk21\\bin\\server\\jvm.dll");
    const auto lines = m.platform.stderrLines();
    for (const char* line : {
             "kite: source \"JRE Path\": C:\\empty\\ holds no JVM library for JVM Type default, passed over",
             "kite: source registry, own view: no suitable runtime",
             "kite: source registry, other view: searching",
             "kite: source JAVA_HOME: C:\\jdk21\\ (version 21.0.1): JVM library C:\\jdk21\\bin\\server\\jvm.dll",
             "kite: image check: C:\\jdk21\\bin\\server\\jvm.dll is no image of this system, loaded here",
         }) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    Machine none(true);
    none.discovery.requirements.minVersion.parse(u"9", 0);
    none.platform.dialogResult = 2;
    none.platform.environment[u"JAVA_HOME"] = u"C:\\jdk21";
    EXPECT_FALSE(none.discovery.discover());
    const auto tail = none.platform.stderrLines();
    ASSERT_GE(tail.size(), 3u);
    EXPECT_EQ(tail[tail.size() - 3],
              "kite: source JAVA_HOME: C:\\jdk21\\ (version 0.0.0.0): skipped, below \"Minimum Version\" 9");
    EXPECT_EQ(tail[tail.size() - 2], "kite: no runtime found: the runtime-not-found dialog opens");
    EXPECT_EQ(tail.back(), "kite: runtime-not-found dialog: cancelled, the start ends");
}

}  // namespace
}  // namespace kite
