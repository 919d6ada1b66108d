// The library path option, KITE_JVM_PATH/KITE_JVM_HOME and the extended
// search path on both platforms.
#include <gtest/gtest.h>

#include "assembly_under_test.h"
#include "fake_platform.h"
#include "jvm/option_assembly.h"

namespace kite {
namespace {

using testing::AssemblyUnderTest;
using testing::FakePlatform;

struct LibraryPathCase {
    OsStyle style;
    WideString jvmLibrary;
    WideString libraryPath;
    WideString systemPath;
    std::map<WideString, WideString> environment;
    std::string option;  // empty: no library path option
    WideString home;
    WideString searchPath;
};

TEST(LibraryPath, OptionHomeAndSearchPath) {
    const LibraryPathCase cases[] = {
        // The old "Path" stays a literal reference when it is not defined.
        {OsStyle::Windows, u"D:\\Java\\jre\\bin\\client\\jvm.dll", u"D:\\native;", u"", {},
         "-Djava.library.path=D:\\native;C:\\App\\;%Path%;D:\\Java\\jre\\lib", u"D:\\Java\\jre",
         u"%Path%;D:\\Java\\jre\\bin"},
        {OsStyle::Windows, u"D:\\Java\\jre\\bin\\server\\jvm.dll", u"", u"%KITE_JVM_HOME%\\tools;",
         {{u"PATH", u"C:\\Windows"}}, "", u"D:\\Java\\jre", u"D:\\Java\\jre\\tools;C:\\Windows;D:\\Java\\jre\\bin"},
        {OsStyle::Posix, u"/jvm/17/lib/server/libjvm.so", u"%KITE_JVM_HOME%/lib/ext;;\\native", u"/tools",
         {{u"PATH", u"/usr/bin"}},
         "-Djava.library.path=/jvm/17/lib/ext:/native:/opt/app:/jvm/17/lib", u"/jvm/17",
         u"/tools:/usr/bin:/jvm/17/bin"},
        {OsStyle::Posix, u"/jvm/8/jre/lib/amd64/server/libjvm.so", u"/n", u"",
         {{u"LD_LIBRARY_PATH", u"/usr/local/lib"}},
         "-Djava.library.path=/n:/opt/app:/usr/local/lib:/jvm/8/jre/lib", u"/jvm/8/jre", u"/jvm/8/jre/bin"},
        // Empty entries of the variables name the current folder: none survives.
        {OsStyle::Windows, u"D:\\J\\bin\\client\\jvm.dll", u"D:\\n;", u";C:\\tools;;",
         {{u"PATH", u"C:\\Windows;;C:\\x;"}},
         "-Djava.library.path=D:\\n;C:\\App\\;C:\\Windows;C:\\x;D:\\J\\lib", u"D:\\J",
         u"C:\\tools;C:\\Windows;C:\\x;D:\\J\\bin"},
        {OsStyle::Posix, u"/j/lib/server/libjvm.so", u"/n", u"", {{u"LD_LIBRARY_PATH", u"/usr/local/lib:"},
         {u"PATH", u":/usr/bin::"}}, "-Djava.library.path=/n:/opt/app:/usr/local/lib:/j/lib", u"/j",
         u"/usr/bin:/j/bin"},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        platform.environment = c.environment;
        AssemblyUnderTest assembly(platform);
        assembly.runtime.jvmLibraryPath = c.jvmLibrary;
        assembly.settings.libraryPath = c.libraryPath;
        assembly.settings.systemPath = c.systemPath;
        assembly.setUpLibraryPath();
        const std::string name = testing::utf8(c.jvmLibrary);
        if (c.option.empty()) {
            EXPECT_TRUE(assembly.jvm.options.empty()) << name;
        } else {
            EXPECT_EQ(assembly.jvm.options, std::vector<std::string>{c.option}) << name;
        }
        WideString value;
        EXPECT_TRUE(platform.getEnvironment(u"KITE_JVM_HOME", value));
        EXPECT_EQ(value, c.home) << name;
        EXPECT_TRUE(platform.getEnvironment(u"KITE_JVM_PATH", value));
        EXPECT_EQ(value, c.jvmLibrary) << name;
        EXPECT_TRUE(platform.getEnvironment(c.style == OsStyle::Windows ? u"Path" : u"PATH", value));
        EXPECT_EQ(value, c.searchPath) << name;
    }
}

TEST(LibraryPath, RuntimeHomes) {
    const struct {
        OsStyle style;
        WideString library;
        WideString home;
    } cases[] = {
        {OsStyle::Windows, u"D:\\Java\\jre\\bin\\server\\jvm.dll", u"D:\\Java\\jre\\"},
        {OsStyle::Windows, u"\\\\srv\\java\\bin\\client\\jvm.dll", u"\\\\srv\\java\\"},
        {OsStyle::Posix, u"/usr/lib/jvm/x/lib/server/libjvm.so", u"/usr/lib/jvm/x/"},
        {OsStyle::Posix, u"/srv/lib/lib/server/libjvm.so", u"/srv/lib/"},  // a home named lib stays
        {OsStyle::Posix, u"/j8/lib/amd64/client/libjvm.so", u"/j8/"},
    };
    for (const auto& c : cases) EXPECT_EQ(runtimeHomeOf(c.style, c.library), c.home) << testing::utf8(c.library);
}

}  // namespace
}  // namespace kite
