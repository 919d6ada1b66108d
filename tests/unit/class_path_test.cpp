// Class-path forms beyond the basic ones: searches that match folders,
// wildcard UNC entries, empty entries and ".", Embedded Jar ordering and the Linux
// path rules.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "jvm/option_assembly.h"
#include "launcher/launcher.h"

namespace kite {
namespace {

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
        Launcher launcher(platform);
        const bool ok = launcher.assembleJvmOptions();
        EXPECT_EQ(ok, !c.option.empty()) << c.ini;
        if (c.option.empty()) {
            EXPECT_TRUE(launcher.jvmOptions.empty());
            EXPECT_EQ(platform.stdoutText, "Error: Java-Klassenpfad wurde in der INI-Datei nicht angegeben. \n");
        } else {
            ASSERT_EQ(launcher.jvmOptions.size(), 1u) << c.ini;
            EXPECT_EQ(launcher.jvmOptions[0], "-Djava.class.path=" + c.option) << c.ini;
            EXPECT_TRUE(platform.stdoutText.empty());
        }
    }
}

TEST(ClassPath, NoSettingsFileNameLeavesEverythingUntouched) {
    FakePlatform platform;
    platform.modulePathFails = true;
    Launcher launcher(platform);
    launcher.jvmOptions.push_back("-Djava.library.path=x");
    EXPECT_FALSE(launcher.assembleJvmOptions());
    EXPECT_EQ(launcher.jvmOptions, (std::vector<std::string>{"-Djava.library.path=x"}));
}

}  // namespace
}  // namespace kite
