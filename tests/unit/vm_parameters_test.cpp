// Tokenising "Virtual Machine Parameters" and sizing the tokens: quotes,
// doubled quotes, blanks, memory shares in both arithmetics and -Xss.
#include <gtest/gtest.h>

#include "assembly_under_test.h"
#include "fake_platform.h"
#include "jvm/memory_sizing.h"
#include "jvm/option_assembly.h"

namespace kite {
namespace {

using testing::AssemblyUnderTest;
using testing::FakePlatform;

TEST(VmParameters, Tokens) {
    const struct {
        WideString text;
        WideStringList options;
    } cases[] = {
        {u"-Xmx512m \"-Dname=a b\"   -Dx=1", {u"-Xmx512m", u"-Dname=a b", u"-Dx=1"}},
        {u"-Dname=\"a b\" -Dy", {u"-Dname=a b", u"-Dy"}},
        {u"\"a b\"c d", {u"a bc", u"d"}},
        {u"a\"\"b", {u"ab"}},
        // A doubled quote after a closing quote stays a quote and opens nothing.
        {u"\"a\"\" b\"", {u"a\"", u"b\""}},
        {u"\"unterminated x", {u"\"unterminated", u"x"}},
        {u"-Da=1\t-Db=2   ", {u"-Da=1\t-Db=2"}},
        // A leading blank (every value from a "+" section) gives an empty first
        // token, which is no option; so does a pair of quotes alone.
        {u" -Dx=1", {u"-Dx=1"}},
        {u"\"\" -Dy=2", {u"-Dy=2"}},
        // An empty quoted part ends where its own closing quote is.
        {u"-Dx=\"\" \"-Dy=a b\"", {u"-Dx=", u"-Dy=a b"}},
        {u"", {}},
        {u"   ", {}},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        WideStringList options;
        std::uint32_t stackSize = 0;
        splitVmParameters(platform, c.text, options, stackSize);
        EXPECT_EQ(options, c.options) << testing::utf8(c.text);
    }
}

TEST(VmParameters, SharesInBothArithmetics) {
    const MemoryFigures oneGigabyte{1ull << 30, 3ull << 30};
    const MemoryFigures sixtyFourGigabytes{64ull << 30, 1ull << 40};
    const struct {
        WideString token;
        MemoryFigures memory;
        WideString narrow;  // the 32-bit launcher
        WideString wide;    // the 64-bit and Linux builds
    } cases[] = {
        {u"-Xmx300000P", oneGigabyte, u"", u"-Xmx3145728000K"},  // refused, not negative in 32 bits
        {u"-Xmx50T", oneGigabyte, u"-Xmx1572864K", u"-Xmx1572864K"},
        {u"-Xmx25:0:1024P", sixtyFourGigabytes, u"-Xmx1048575K", u"-Xmx1048576K"},  // 32 bits see 4 GB
        {u"-Xmx10:0:4194304P", oneGigabyte, u"-Xmx104857K", u"-Xmx104857K"},  // the bound does not wrap
        {u"-Xmx50:1:2:3:4p", oneGigabyte, u"-Xmx2048K", u"-Xmx2048K"},
        {u"-XmxP", oneGigabyte, u"-XmxP0K", u"-XmxP0K"},
        {u"-Xms99999999999P", oneGigabyte, u"", u""},  // the share has more than 32 bits
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(isPercentSize(c.token)) << testing::utf8(c.token);
        EXPECT_EQ(resolvePercentSize(c.token, c.memory, false), c.narrow) << testing::utf8(c.token);
        EXPECT_EQ(resolvePercentSize(c.token, c.memory, true), c.wide) << testing::utf8(c.token);
    }
}

TEST(VmParameters, StackSizeOfTheJavaMainThread) {
    const struct {
        WideString text;
        std::vector<std::string> options;
        std::uint32_t stackSize;
    } cases[] = {
        {u"-Xss1m", {"-Xss1m"}, 1048576},
        {u"-Xss5P", {"-Xss104857K"}, 104857u * 1024},
        {u"-Xss1m -Xss512k", {"-Xss1m", "-Xss512k"}, 524288},
        // No plain number: the earlier size stays.
        {u"-Xss1m -Xssx1m", {"-Xss1m", "-Xssx1m"}, 1048576},
        {u"-Xss1:2m -XSS2m", {"-Xss1:2m", "-XSS2m"}, 0},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.memory = {2147483647u, 1073741824u};
        platform.addFile(u"C:\\App\\app.ini", "[Class Path]\nClass Path=D:\\a.jar\n[Java Runtime Environment]\n"
                                              "Virtual Machine Parameters=" + testing::utf8(c.text) + "\n");
        AssemblyUnderTest assembly(platform);
        ASSERT_TRUE(assembly.assemble());
        std::vector<std::string> expected{"-Djava.class.path=D:\\a.jar"};
        expected.insert(expected.end(), c.options.begin(), c.options.end());
        expected.push_back("-Dsun.java.command=");
        EXPECT_EQ(assembly.jvm.options, expected) << testing::utf8(c.text);
        EXPECT_EQ(assembly.jvm.mainThreadStackSize, c.stackSize) << testing::utf8(c.text);
    }
}

TEST(VmParameters, SizesTooLargeForTheArithmeticAreRefused) {
    // -Xss4g would wrap to 0 bytes in 32 bits, the share to a small number.
    for (const char* parameters : {"-Xmx64m -Xss4g", "-Xss4294967296", "-Xmx99999999999P"}) {
        FakePlatform platform;
        platform.addFile(u"C:\\App\\app.ini", std::string("[Class Path]\nClass Path=D:\\a.jar\n[Java Runtime Environment]\n"
                                              "Virtual Machine Parameters=") + parameters + "\n");
        AssemblyUnderTest assembly(platform);
        EXPECT_FALSE(assembly.assemble()) << parameters;
        EXPECT_TRUE(assembly.jvm.options.empty()) << parameters;
        EXPECT_EQ(assembly.jvm.mainThreadStackSize, 0u) << parameters;
        EXPECT_EQ(platform.stdoutText,
                  "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: ung\xc3\xbcltige Argumente.\n \n")
            << parameters;
    }
}

}  // namespace
}  // namespace kite
