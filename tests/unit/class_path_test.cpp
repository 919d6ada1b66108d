// Class-path forms beyond the basic ones: searches that match folders,
// wildcard UNC entries, empty entries and ".", Embedded Jar ordering and the Linux
// path rules.
#include <gtest/gtest.h>

#include "assembly_under_test.h"
#include "fake_platform.h"
#include "jvm/option_assembly.h"
#include "jvm/java_vm.h"

namespace kite {
namespace {

using testing::AssemblyUnderTest;
using testing::FakePlatform;

struct ClassPathCase {
    OsStyle style;
    std::string ini;
    std::string option;  // empty: no class path results
};

TEST(ClassPath, FormsAndOrder) {
    const ClassPathCase cases[] = {
        // A search is not filtered: matching folders and "." / ".." are added like files.
        {OsStyle::Windows, "[Class Path]\nClass Path=\\lib\\*\n",
         "C:\\App\\lib\\.;C:\\App\\lib\\..;C:\\App\\lib\\x.jar;C:\\App\\lib\\classes"},
        {OsStyle::Windows, "[Class Path]\nClass Path=\\\\server\\share\\*.jar\n", "\\\\server\\share\\s.jar"},
        // No empty entry reaches the JVM, which would read it as the current
        // folder: not an empty inner one, not one inside an expanded
        // reference, no trailing separator. "." written so is the current folder.
        {OsStyle::Windows, "[Class Path]\nClass Path=D:\\a.jar;;D:\\b.jar;\n", "D:\\a.jar;D:\\b.jar"},
        {OsStyle::Windows, "[Class Path]\nClass Path=.;%CP%\n", ".;D:\\a.jar;D:\\b.jar"},
        {OsStyle::Posix, "[Class Path]\nClass Path=.;%CP%\n", ".:/a.jar:/b.jar"},
        {OsStyle::Windows, "[Class Path]\nClass Path=\\missing\\*.jar;\\gone.jar\n", ""},
        {OsStyle::Windows, "[Class Path]\nClass Path=D:\\a.jar\n[Application]\nEmbedded Jar=YES\n",
         "C:\\App\\app.exe;D:\\a.jar"},
        {OsStyle::Windows, "[Class Path]\nClass Path=D:\\a.jar\n[Application]\nEmbedded Jar=true\n", "D:\\a.jar"},
        {OsStyle::Windows, "[Class Path+]\nClass Path=D:\\a.jar\n", "D:\\a.jar"},
        // Linux: both separators, relative forms beside the executable, ':' lists.
        {OsStyle::Posix, "[Class Path]\nClass Path=lib\\x.jar;/abs\\a.jar;/opt/app/lib/*.jar\n",
         "/opt/app/lib/x.jar:/abs/a.jar:/opt/app/lib/x.jar"},
        {OsStyle::Posix, "[Class Path]\nClass Path=\\lib\\X.jar\n", ""},  // names are case-sensitive
        {OsStyle::Posix, "[Class Path]\nClass Path=/abs/a.jar\n[Application]\nEmbedded Jar=Yes\n",
         "/opt/app/app:/abs/a.jar"},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        const bool windows = c.style == OsStyle::Windows;
        platform.addFile(windows ? u"C:\\App\\app.ini" : u"/opt/app/app.ini", c.ini);
        platform.addFile(windows ? u"C:\\App\\lib\\x.jar" : u"/opt/app/lib/x.jar");
        platform.addDirectory(windows ? u"C:\\App\\lib\\classes" : u"/opt/app/lib/classes");
        platform.addFile(u"\\\\server\\share\\s.jar");
        platform.environment[u"CP"] = windows ? u"D:\\a.jar;;D:\\b.jar;" : u"/a.jar::/b.jar:";
        AssemblyUnderTest assembly(platform);
        const bool ok = assembly.assemble();
        EXPECT_EQ(ok, !c.option.empty()) << c.ini;
        const std::vector<std::string>& options = assembly.jvm.options;
        if (c.option.empty()) {
            EXPECT_TRUE(options.empty());
            EXPECT_EQ(platform.stdoutText, "Error: Java-Klassenpfad wurde in der INI-Datei nicht angegeben. \n");
        } else {
            ASSERT_EQ(options.size(), 2u) << c.ini;
            EXPECT_EQ(options[0], "-Djava.class.path=" + c.option) << c.ini;
            EXPECT_EQ(options[1], "-Dsun.java.command=") << c.ini;
            EXPECT_TRUE(platform.stdoutText.empty());
        }
    }
}

// Paths that the narrow encoding cannot hold (here: nothing above U+00FF, as
// in code page 1252) reach the JVM with those components in their short form;
// a component without a usable short form ends the start with the path named.
TEST(ClassPath, ShortFormsForTheJvm) {
    const std::string notRepresentable = " enth\xc3\xa4lt Zeichen, die in der Codepage des Systems nicht darstellbar sind. \n";
    const struct {
        OsStyle style;
        std::string classPath;
        std::string libraryPath;
        std::string expected;  // the options, or the error line
    } cases[] = {
        // Only the components that need it change; "Grüße" fits the code page.
        {OsStyle::Windows, "\\lib\\*.jar;D:\\Gr\xc3\xbc\xc3\x9f" "e\\b.jar", "D:\\\xe6\x9c\xac\\x",
         "-Djava.library.path=D:\\BEN~1\\x;C:\\App\\;%Path%;J:\\lib|"
         "-Djava.class.path=C:\\App\\lib\\WANG~1.JAR;D:\\Gr\xc3\xbc\xc3\x9f" "e\\b.jar"},
        // A missing path and a volume that answers with the long name have no short form.
        {OsStyle::Windows, "D:\\\xe6\x97\xa0\\a.jar", "",
         "Error: Der Pfad D:\\\xe6\x97\xa0\\a.jar" + notRepresentable},
        {OsStyle::Windows, "D:\\a.jar", "D:\\\xe9\x95\xbf",
         "Error: Der Pfad D:\\\xe9\x95\xbf" + notRepresentable},
        // Linux in the C locale: no other form of a path exists.
        {OsStyle::Posix, "/opt/\xd0\x9f/a.jar", "", "Error: Der Pfad /opt/\xd0\x9f/a.jar" + notRepresentable},
    };
    for (const auto& c : cases) {
        FakePlatform platform(c.style);
        const bool windows = c.style == OsStyle::Windows;
        platform.narrowLimit = windows ? 0xFF : 0x7F;
        platform.environment[u"KITE_TRACE"] = u"1";
        platform.addFile(windows ? u"C:\\App\\app.ini" : u"/opt/app/app.ini",
                         "[Class Path]\nClass Path=" + c.classPath + "\n");
        platform.addFile(u"C:\\App\\lib\\\u738b.jar");
        platform.shortPaths = {{u"C:\\App\\lib\\\u738b.jar", u"C:\\App\\lib\\WANG~1.JAR"},
                               {u"D:\\\u672c", u"D:\\BEN~1"},
                               {u"D:\\\u957f", u"D:\\\u957f"}};
        AssemblyUnderTest assembly(platform);
        assembly.runtime.jvmLibraryPath = u"J:\\bin\\client\\jvm.dll";
        assembly.settings.libraryPath = testing::wide(c.libraryPath);
        const bool ok = assembly.setUpLibraryPath() && assembly.assemble();
        std::string options;
        for (const std::string& option : assembly.jvm.options) options += (options.empty() ? "" : "|") + option;
        EXPECT_EQ(ok ? options : platform.stdoutText, c.expected + (ok ? "|-Dsun.java.command=" : ""))
            << c.classPath;
        EXPECT_EQ(ok, c.expected.starts_with("-D")) << c.classPath;
        if (ok) {
            EXPECT_NE(platform.stderrText.find("kite: short form: C:\\App\\lib\\\xe7\x8e\x8b.jar given to the JVM as "
                                               "C:\\App\\lib\\WANG~1.JAR\n"),
                      std::string::npos);
        }
    }
}

// The VM takes its home from the name its library was loaded under.
TEST(ClassPath, TheJvmLibraryIsLoadedByItsShortForm) {
    FakePlatform platform;
    platform.narrowLimit = 0xFF;
    int handle = 0;
    platform.libraries[u"c:\\java~1\\bin\\client\\jvm.dll"] = &handle;
    platform.symbols[{&handle, "JNI_CreateJavaVM"}] = &handle;
    platform.symbols[{&handle, "JNI_GetDefaultJavaVMInitArgs"}] = &handle;
    Trace trace(platform, platform);
    JavaVm javaVm(platform, trace);
    EXPECT_FALSE(javaVm.loadLibrary(u"C:\\\u738b\\bin\\client\\jvm.dll"));
    EXPECT_EQ(platform.stdoutText, "Error: Der Pfad C:\\\xe7\x8e\x8b\\bin\\client\\jvm.dll enth\xc3\xa4lt Zeichen, "
                                   "die in der Codepage des Systems nicht darstellbar sind. \n");
    platform.shortPaths[u"C:\\\u738b"] = u"C:\\JAVA~1";
    EXPECT_TRUE(javaVm.loadLibrary(u"C:\\\u738b\\bin\\client\\jvm.dll"));
}

TEST(ClassPath, NoSettingsFileNameLeavesEverythingUntouched) {
    FakePlatform platform;
    platform.modulePathError = 2;
    AssemblyUnderTest assembly(platform);
    assembly.jvm.options.push_back("-Djava.library.path=x");
    EXPECT_FALSE(assembly.assemble());
    EXPECT_EQ(assembly.jvm.options, (std::vector<std::string>{"-Djava.library.path=x"}));
}

}  // namespace
}  // namespace kite
