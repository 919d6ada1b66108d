#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "assembly_under_test.h"
#include "fake_platform.h"
#include "jvm/memory_sizing.h"
#include "jvm/option_assembly.h"
#include "jvm/splash_screen.h"

namespace kite {
namespace {

using testing::AssemblyUnderTest;
using testing::FakePlatform;

TEST(MemorySizing, SharesBecomeKilobytes) {
    const MemoryFigures twoGigabytes{2147483647u, 1073741824u};
    const MemoryFigures sixtyFourGigabytes{64ull << 30, 128ull << 40};
    const struct {
        WideString token;
        MemoryFigures memory;
        bool wide;
        WideString resolved;
    } cases[] = {
        {u"-Xmx50P", twoGigabytes, false, u"-Xmx1048575K"},
        {u"-Xmx75:256:1024P", twoGigabytes, false, u"-Xmx1048576K"},
        {u"-Xmx1:256:1024P", twoGigabytes, false, u"-Xmx262144K"},
        {u"-Xmx10:2048:1024P", twoGigabytes, false, u"-Xmx2097152K"},
        {u"-Xms10t", twoGigabytes, false, u"-Xms104857K"},
        {u"-Xmx50P", sixtyFourGigabytes, true, u"-Xmx33554432K"},
        {u"-Xmx50P", sixtyFourGigabytes, false, u"-Xmx2097151K"},  // the 32-bit launcher sees at most 4 GB
        {u"-Xmx50p", twoGigabytes, true, u"-Xmx1048575K"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(isPercentSize(c.token));
        EXPECT_EQ(resolvePercentSize(c.token, c.memory, c.wide), c.resolved) << testing::utf8(c.token);
    }
    for (const WideString token : {u"-Xmx512m", u"-Xmx2g", u"-Xmx50%", u"-XMX50P", u"-Xs", u"-XX:MaxHeapSize=1P"}) {
        EXPECT_FALSE(isPercentSize(token)) << testing::utf8(token);
    }
}

TEST(MemorySizing, StackSizes) {
    const struct {
        WideString text;
        std::optional<std::uint32_t> bytes;  // empty: too large for 32 bits
    } cases[] = {{u"1m", 1048576}, {u"512k", 524288}, {u"1048576", 1048576}, {u"4g", std::nullopt},
                 {u"4294967296", std::nullopt}, {u"4294967295", 4294967295u}, {u"2G", 2147483648u},
                 {u"x1m", 0}, {u"1:2m", 0}, {u"", 0}, {u"7", 7}};
    for (const auto& c : cases) EXPECT_EQ(parseStackSize(c.text), c.bytes) << testing::utf8(c.text);
    const SizeNumbers numbers = parseSizeNumbers(u"-Xmx25:256:1024:9p");
    EXPECT_EQ(numbers.prefixLength, 4u);
    EXPECT_EQ(numbers.numbers, (std::vector<std::uint32_t>{25, 256, 1024, 9}));
}

// A launcher at C:\App\app.exe (or /opt/app/app) with the given settings.
struct Assembly {
    explicit Assembly(const std::string& ini, OsStyle style = OsStyle::Windows) : platform(style), assembly(platform) {
        platform.addFile(style == OsStyle::Windows ? u"C:\\App\\app.ini" : u"/opt/app/app.ini", ini);
        platform.memory = {2147483647u, 1073741824u};
    }
    // The options without -Dsun.java.command, which every assembly adds
    // and JavaCommand tests on its own.
    std::vector<std::string> options() {
        ok = assembly.assemble();
        std::vector<std::string> options;
        for (const std::string& option : assembly.jvm.options) {
            if (option.rfind("-Dsun.java.command=", 0) != 0) options.push_back(option);
        }
        return options;
    }
    FakePlatform platform;
    AssemblyUnderTest assembly;
    bool ok = false;
};

TEST(JvmOptions, ClassPathForms) {
    const struct {
        std::string value;
        std::string classPath;
    } cases[] = {
        {"D:\\Libs\\a.jar;D:\\Libs\\b.jar", "D:\\Libs\\a.jar;D:\\Libs\\b.jar"},
        {"\\lib\\*.jar", "C:\\App\\lib\\x.jar;C:\\App\\lib\\y.jar"},
        {"lib\\x.jar", "C:\\App\\lib\\x.jar"},
        {"\\app.jar;\\missing.jar", "C:\\App\\app.jar"},
        {"D:\\Libs\\a?.jar", "D:\\Libs\\a?.jar"},
        {"\\\\server\\share\\x.jar", "\\\\server\\share\\x.jar"},
        {"%LIBS%\\a.jar", "D:\\Libs\\a.jar"},
    };
    for (const auto& c : cases) {
        Assembly a("[Class Path]\nClass Path=" + c.value + "\n");
        a.platform.environment[u"LIBS"] = u"D:\\Libs";
        a.platform.addFile(u"C:\\App\\lib\\x.jar");
        a.platform.addFile(u"C:\\App\\lib\\y.jar");
        a.platform.addFile(u"C:\\App\\app.jar");
        const auto options = a.options();
        ASSERT_TRUE(a.ok) << c.value;
        ASSERT_EQ(options.size(), 1u);
        EXPECT_EQ(options[0], "-Djava.class.path=" + c.classPath);
    }
    Assembly embedded("[Application]\nEmbedded Jar=yes\n");
    EXPECT_EQ(embedded.options(), (std::vector<std::string>{"-Djava.class.path=C:\\App\\app.exe"}));
    EXPECT_TRUE(embedded.platform.stdoutText.empty());
}

TEST(JvmOptions, LinuxClassPathUsesColonsWithoutATrailingSeparator) {
    Assembly a("[Class Path]\nClass Path=\\lib\\*.jar;/abs/a.jar\n", OsStyle::Posix);
    a.platform.addFile(u"/opt/app/lib/x.jar");
    EXPECT_EQ(a.options(), (std::vector<std::string>{"-Djava.class.path=/opt/app/lib/x.jar:/abs/a.jar"}));
}

TEST(JvmOptions, ExpansionsNeverPutTheCurrentOrTheExecutablesFolderOnTheClassPath) {
    // A value expanded a second time keeps no empty piece, and a variable
    // defined but empty contributes nothing.
    Assembly a("[Class Path]\nClass Path=/abs/%A%;%EMPTY%\n", OsStyle::Posix);
    a.platform.environment = {{u"A", u"%B%"}, {u"B", u"app.jar:"}, {u"EMPTY", u""}};
    a.platform.addFile(u"/opt/app/lib/x.jar");
    EXPECT_EQ(a.options(), (std::vector<std::string>{"-Djava.class.path=/abs/app.jar"}));
}

TEST(JvmOptions, NoClassPathSkipsEverythingAfterTheMessage) {
    Assembly a("[Application]\nCmd=-x\nOutput File=out.txt\n"
               "[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1m\n");
    EXPECT_TRUE(a.options().empty());
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.platform.stdoutText, "Error: Java-Klassenpfad wurde in der INI-Datei nicht angegeben. \n");
    EXPECT_TRUE(a.assembly.jvm.mainArguments.empty());
    EXPECT_TRUE(a.assembly.jvm.output.outputFile.empty());
}

TEST(JvmOptions, VmParametersOutputFilesAndCmd) {
    Assembly a("[Class Path]\nClass Path=D:\\a.jar\n"
               "[Java Runtime Environment]\n"
               "Virtual Machine Parameters=-Xmx50P \"-Dname=a b\"   -Dx=1 -Dq=\"say \"\"hi\"\"\" -Xss1m -Xss512k\n"
               "[Application]\nOutput File=%LOGS%\\out.txt\nOutput Append=Yes\nError File=err.txt\nError Append=yes\n"
               "Cmd=-a \"b c\" %UNDEFINED%\n");
    a.platform.environment[u"LOGS"] = u"D:\\logs";
    a.assembly.arguments.append(u"first");
    EXPECT_EQ(a.options(), (std::vector<std::string>{"-Djava.class.path=D:\\a.jar", "-Xmx1048575K", "-Dname=a b",
                                                      "-Dx=1", "-Dq=say \"hi\"", "-Xss1m", "-Xss512k"}));
    EXPECT_EQ(a.assembly.jvm.mainThreadStackSize, 524288u);
    EXPECT_EQ(a.assembly.jvm.output.outputFile, u"D:\\logs\\out.txt");
    EXPECT_FALSE(a.assembly.jvm.output.outputAppend);
    EXPECT_EQ(a.assembly.jvm.output.errorFile, u"err.txt");
    EXPECT_TRUE(a.assembly.jvm.output.errorAppend);
    EXPECT_EQ(a.assembly.jvm.mainArguments, (WideStringList{u"first", u"-a", u"b c", u"%UNDEFINED%"}));
}

TEST(JvmOptions, LeadingCmdCmdAndJavaCommand) {
    const struct {
        std::string application;
        std::string vmParameters;
        WideStringList arguments;
        WideStringList mainArguments;
        std::vector<std::string> javaCommand;  // the -Dsun.java.command options, in order
    } cases[] = {
        {"", "", {}, {}, {"-Dsun.java.command=com.example.App"}},
        {"", "", {u"a b", u""}, {u"a b", u""}, {"-Dsun.java.command=com.example.App a b "}},
        {"Leading Cmd=--main \"x y\" %W%\nCmd=-z\n", "", {u"f"}, {u"--main", u"x y", u"w1", u"f", u"-z"},
         {"-Dsun.java.command=com.example.App --main x y w1 f -z"}},
        // "Leading Cmd" keeps a quoted empty word (a start script's -cp ""),
        // but leading blanks give none; "Cmd" drops every empty word.
        {"Leading Cmd=  -cp \"\" \"\"\nCmd=-y \"\" -z\n", "", {u"f"}, {u"-cp", u"", u"", u"f", u"-y", u"-z"},
         {"-Dsun.java.command=com.example.App -cp   f -y -z"}},
        // The publisher's value stands, with or without a value of its own.
        {"", "-Dsun.java.command=custom", {u"f"}, {u"f"}, {"-Dsun.java.command=custom"}},
        {"", "-Dsun.java.command", {}, {}, {"-Dsun.java.command"}},
        // Another property that only starts alike does not count.
        {"", "-Dsun.java.commander=1", {}, {}, {"-Dsun.java.commander=1", "-Dsun.java.command=com.example.App"}},
    };
    for (const auto& c : cases) {
        Assembly a("[Class Path]\nClass Path=D:\\a.jar\n[Java Runtime Environment]\nVirtual Machine Parameters=" +
                   c.vmParameters + "\n[Application]\n" + c.application);
        a.platform.environment[u"W"] = u"w1";
        a.assembly.settings.mainClass = u"com/example/App";
        a.assembly.arguments = c.arguments;
        ASSERT_TRUE(a.assembly.assemble()) << c.application;
        EXPECT_EQ(a.assembly.jvm.mainArguments, c.mainArguments) << c.application;
        std::vector<std::string> javaCommand;
        for (const std::string& option : a.assembly.jvm.options) {
            if (option.rfind("-Dsun.java.command", 0) == 0) javaCommand.push_back(option);
        }
        EXPECT_EQ(javaCommand, c.javaCommand) << c.application << c.vmParameters;
    }
}

TEST(JvmOptions, ParametersFromAPlusSectionStartWithoutAnEmptyOption) {
    Assembly a("[Class Path]\nClass Path=D:\\a.jar\n[Java Runtime Environment+]\nVirtual Machine Parameters=-Dx=1\n");
    EXPECT_EQ(a.options(), (std::vector<std::string>{"-Djava.class.path=D:\\a.jar", "-Dx=1"}));
}

TEST(JvmOptions, LibraryPathAndEnvironment) {
    FakePlatform platform;
    platform.executablePath = u"D:\\App\\app.exe";
    platform.environment[u"Path"] = u"C:\\Windows";
    AssemblyUnderTest assembly(platform);
    assembly.runtime.jvmLibraryPath = u"D:\\Java\\jre\\bin\\server\\jvm.dll";
    assembly.settings.libraryPath = u"D:\\App\\native;%KITE_JVM_HOME%\\lib\\ext";
    assembly.settings.systemPath = u"D:\\tools";
    assembly.setUpLibraryPath();
    EXPECT_EQ(assembly.jvm.options, (std::vector<std::string>{
                                       "-Djava.library.path=D:\\App\\native;D:\\Java\\jre\\lib\\ext;D:\\App\\;"
                                       "C:\\Windows;D:\\Java\\jre\\lib"}));
    WideString value;
    platform.getEnvironment(u"KITE_JVM_HOME", value);
    EXPECT_EQ(value, u"D:\\Java\\jre");
    platform.getEnvironment(u"KITE_JVM_PATH", value);
    EXPECT_EQ(value, assembly.runtime.jvmLibraryPath);
    platform.getEnvironment(u"Path", value);
    EXPECT_EQ(value, u"D:\\tools;C:\\Windows;D:\\Java\\jre\\bin");

    AssemblyUnderTest noLibraryPath(platform);
    noLibraryPath.runtime.jvmLibraryPath = assembly.runtime.jvmLibraryPath;
    noLibraryPath.setUpLibraryPath();
    EXPECT_TRUE(noLibraryPath.jvm.options.empty());

    EXPECT_EQ(runtimeHomeOf(OsStyle::Posix, u"/jvm/8/jre/lib/amd64/server/libjvm.so"), u"/jvm/8/jre/");
    EXPECT_EQ(runtimeHomeOf(OsStyle::Posix, u"/jvm/17/lib/server/libjvm.so"), u"/jvm/17/");
    EXPECT_EQ(stripPathComponents(OsStyle::Windows, u"D:\\Java\\jre\\bin\\server\\jvm.dll", 2), u"D:\\Java\\jre\\bin");
    EXPECT_EQ(stripPathComponents(OsStyle::Windows, u"jvm.dll", 2), u"jvm.dll");
}

// A scripted splash library: its calls in order.
std::vector<std::string> splashCalls;
void splashInit() { splashCalls.push_back("init"); }
void splashClose() { splashCalls.push_back("close"); }
int splashLoadFile(const char* name) {
    splashCalls.push_back(std::string("load ") + name);
    return 1;
}
int splashLoadMemory(void*, int) { return 0; }
void splashSetNames(const char* file, const char*) { splashCalls.push_back(std::string("name ") + file); }

TEST(JvmOptions, SplashScreenOnlyWhereTheApplicationCanCloseIt) {
    const struct {
        const char* settings;
        bool service;
        std::vector<std::string> calls;
        const char* trace;
    } cases[] = {
        // A leading backslash names a file beside the executable, as in the class path.
        {"Splash Screen=\\images\\s.png", false,
         {"init", "load /opt/app/images/s.png", "name /opt/app/images/s.png", "close"},
         "kite: splash screen: \"/opt/app/images/s.png\" shown through /opt/jre/lib/libsplashscreen.so"},
        {"Splash Screen=s.png", true, {}, "kite: splash screen: a service shows none"},
        {"Splash Screen=s.png\nVirtual Machine Parameters=-Djava.awt.headless=True", false, {},
         "kite: splash screen: none, the VM parameters make Java headless"},
    };
    for (const auto& c : cases) {
        FakePlatform platform(OsStyle::Posix);
        platform.environment[u"KITE_TRACE"] = u"1";
        platform.executablePath = u"/opt/app/app";
        platform.addFile(u"/opt/app/app.ini",
                         std::string("[Class Path]\nClass Path=/a.jar\n[Java Runtime Environment]\n") + c.settings);
        platform.addFile(u"/opt/app/images/s.png", "png");
        platform.addFile(u"/opt/app/s.png", "png");
        void* library = &splashCalls;
        platform.libraries[u"/opt/jre/lib/libsplashscreen.so"] = library;
        platform.symbols[{library, "SplashInit"}] = reinterpret_cast<void*>(&splashInit);
        platform.symbols[{library, "SplashClose"}] = reinterpret_cast<void*>(&splashClose);
        platform.symbols[{library, "SplashLoadFile"}] = reinterpret_cast<void*>(&splashLoadFile);
        platform.symbols[{library, "SplashLoadMemory"}] = reinterpret_cast<void*>(&splashLoadMemory);
        platform.symbols[{library, "SplashSetFileJarName"}] = reinterpret_cast<void*>(&splashSetNames);
        AssemblyUnderTest assembly(platform);
        assembly.runtime.jvmLibraryPath = u"/opt/jre/lib/server/libjvm.so";
        assembly.settings.service.serviceMode = c.service;
        splashCalls.clear();
        ASSERT_TRUE(assembly.assemble()) << c.settings;
        closeSplashScreen();
        EXPECT_EQ(splashCalls, c.calls) << c.settings;
        EXPECT_NE(platform.stderrText.find(c.trace), std::string::npos) << platform.stderrText;
    }
    EXPECT_EQ(splashLibraryPath(OsStyle::Windows, u"D:\\jre\\bin\\server\\jvm.dll"), u"D:\\jre\\bin\\splashscreen.dll");
    EXPECT_EQ(splashLibraryPath(OsStyle::Posix, u"/jvm/8/jre/lib/amd64/server/libjvm.so"),
              u"/jvm/8/jre/lib/amd64/libsplashscreen.so");
}

// "Class Data Archive" keeps archives only where no one but the user can
// change them: each folder composed below the per-user cache folder (or that
// folder itself when it holds the archives) is checked, and the folders Kite
// makes are made for the user alone.
TEST(JvmOptions, ClassDataArchiveOnlyInFoldersNoOneElseCanChange) {
    const PathAccess others{.isLink = false, .isFolder = true, .ownedByUser = true, .othersMayWrite = true};
    const PathAccess foreign{.isLink = false, .isFolder = true, .ownedByUser = false, .othersMayWrite = false};
    const PathAccess link{.isLink = true, .isFolder = false, .ownedByUser = true, .othersMayWrite = true};
    const PathAccess file{.isLink = false, .isFolder = false, .ownedByUser = true, .othersMayWrite = false};
    const char* const created = "kite: class data archive: none yet, the JVM writes /home/u/.cache/";
    const struct {
        const char16_t* productName;  // "Shop" with the code "pos", or none of both
        const char16_t* path;         // given the access below; null: all the user's own
        PathAccess access;
        const char* trace;
    } cases[] = {
        {u"Shop", nullptr, {}, created},
        {u"Shop", u"/home/u/.cache/Shop/pos", others,
         "cache folder /home/u/.cache/Shop/pos is writable by group or others"},
        {u"Shop", u"/home/u/.cache/Shop", others, "cache folder /home/u/.cache/Shop is writable by group or others"},
        {u"Shop", u"/home/u/.cache/Shop/pos", foreign, "cache folder /home/u/.cache/Shop/pos belongs to another user"},
        {u"Shop", u"/home/u/.cache/Shop/pos", link, "cache folder /home/u/.cache/Shop/pos is a symbolic link"},
        {u"Shop", u"/home/u/.cache/Shop/pos", file, "cache folder /home/u/.cache/Shop/pos is not a folder"},
        // The base folder is the user's choice, judged only when it holds the archives.
        {u"Shop", u"/home/u/.cache", others, created},
        {u"", u"/home/u/.cache", others, "cache folder /home/u/.cache is writable by group or others"},
    };
    for (const auto& c : cases) {
        FakePlatform platform(OsStyle::Posix);
        platform.environment[u"KITE_TRACE"] = u"1";
        platform.environment[u"HOME"] = u"/home/u";
        platform.addDirectory(u"/home/u");
        platform.addFile(u"/opt/app/app.ini", "[Class Path]\nClass Path=/a.jar\n"
                                               "[Java Runtime Environment]\nClass Data Archive=Yes\n");
        platform.addFile(u"/opt/jre/lib/server/libjvm.so", "ELF");
        platform.addFile(u"/opt/jre/lib/server/classes.jsa", "base");
        if (c.path != nullptr) {
            platform.addDirectory(c.path);
            platform.pathAccesses[c.path] = c.access;
        }
        AssemblyUnderTest assembly(platform);
        assembly.runtime.jvmLibraryPath = u"/opt/jre/lib/server/libjvm.so";
        assembly.runtime.version.parse(u"17.0.2", 0);
        assembly.settings.product.name = c.productName;
        assembly.settings.product.code = *c.productName ? u"pos" : u"";
        ASSERT_TRUE(assembly.assemble());
        std::string options;
        for (const std::string& option : assembly.jvm.options) options += option + "\n";
        SCOPED_TRACE(platform.stderrText + options);
        const bool archived = c.trace == created;
        if (!archived) {
            EXPECT_NE(platform.stderrText.find(std::string("kite: class data archive: ") + c.trace + ", none used\n"),
                      std::string::npos);
        } else {
            EXPECT_NE(platform.stderrText.find(created), std::string::npos);
        }
        EXPECT_EQ(options.find("-XX:ArchiveClassesAtExit=/home/u/.cache/Shop/pos/app-") != std::string::npos,
                  archived);
        EXPECT_EQ(options.find("-Xlog:cds*=off") != std::string::npos, archived);
        // Refused, the folder is left as it was: not even the reservation is made.
        const bool reserved = std::any_of(platform.files.begin(), platform.files.end(), [](const auto& entry) {
            return entry.first.starts_with(u"/home/u/.cache/");
        });
        EXPECT_EQ(reserved, archived);
        if (c.path == nullptr) {
            EXPECT_EQ(platform.privateDirectories,
                      (std::set<WideString>{u"/home/u/.cache", u"/home/u/.cache/Shop", u"/home/u/.cache/Shop/pos"}));
        }
    }
}

// The trace masks what looks like a credential by the property's name, in
// any letter case; the name and every other option stay readable.
TEST(JvmOptions, TraceMasksCredentialPropertiesByName) {
    const struct {
        const char16_t* option;
        const char16_t* traced;
    } cases[] = {
        {u"-Ddb.password=hunter2", u"-Ddb.password=***"},
        {u"-Djavax.net.ssl.keyStorePassword=x", u"-Djavax.net.ssl.keyStorePassword=***"},
        {u"-DAPI_TOKEN=a=b", u"-DAPI_TOKEN=***"},
        {u"-Dclient.Secret=", u"-Dclient.Secret=***"},
        {u"-Duser=password", u"-Duser=password"},  // only the name counts
        {u"-Dpassword", u"-Dpassword"},             // no value to hide
        {u"-XX:TokenSize=1", u"-XX:TokenSize=1"},   // not a property
        {u"-Xmx64m", u"-Xmx64m"},
        {u"-Djava.class.path=/secret/app.jar", u"-Djava.class.path=/secret/app.jar"},
    };
    for (const auto& c : cases) EXPECT_EQ(testing::utf8(traceOption(c.option)), testing::utf8(c.traced));
}

TEST(JvmOptions, HugeClassPathsWork) {
    Assembly a("[Class Path]\nClass Path=\\lib\\*.jar\n");
    for (int i = 0; i < 10000; ++i) a.platform.addFile(u"C:\\App\\lib\\library-" + testing::wide(std::to_string(i)) + u".jar");
    const auto options = a.options();
    ASSERT_EQ(options.size(), 1u);
    EXPECT_GT(options[0].size(), 32767u);
}

}  // namespace
}  // namespace kite
