#include <gtest/gtest.h>

#include "discovery/java_version.h"
#include "fake_platform.h"  // testing::utf8

namespace kite {
namespace {

JavaVersion read(const WideString& text, std::int32_t fill = 0) {
    JavaVersion version;
    version.parse(text, fill);
    return version;
}

TEST(JavaVersion, ParseReadsDigitGroups) {
    const struct {
        WideString text;
        std::int32_t fill;
        bool ok;
        JavaVersion parts;
        std::int32_t count;
    } cases[] = {
        {u"1.8.0_151", 0, true, {1, 8, 0, 151}, 4},
        {u"x1y8z0w151", 0, true, {1, 8, 0, 151}, 4},
        {u"11.0.2+9", 0, true, {11, 0, 2, 9}, 4},
        {u"jdk1.6", 0, true, {1, 6, 0, 0}, 2},
        {u"1.8", 65535, true, {1, 8, 65535, 65535}, 2},
        {u"10", 0, true, {10, 0, 0, 0}, 1},
        {u"1.2.3.4.5", 0, true, {1, 2, 3, 4}, 5},
        {u"2147483647", 0, true, {2147483647, 0, 0, 0}, 1},
        {u"2147483648", 65535, false, {0, 0, 0, 0}, 0},
        {u"1.99999999999", 0, false, {0, 0, 0, 0}, 0},
        {u"", 65535, false, {0, 0, 0, 0}, 0},
        {u"any", 65535, false, {0, 0, 0, 0}, 0},
        {u"1.8.0.151", 0, true, {1, 8, 0, 151}, 4},
        {u"1.8.0", 0, true, {1, 8, 0, 0}, 3},
        {u"1.8.0.0", 0, true, {1, 8, 0, 0}, 4},
        {u"10", 65535, true, {10, 65535, 65535, 65535}, 1},
        {u"007.08", 0, true, {7, 8, 0, 0}, 2},
        {u"1..8__0 -- 5", 0, true, {1, 8, 0, 5}, 4},
        {u"1.8-beta", 0, true, {1, 8, 0, 0}, 2},
        {u"00000000002147483647", 0, true, {2147483647, 0, 0, 0}, 1},
        {u"2147483647.2147483647", 0, true, {2147483647, 2147483647, 0, 0}, 2},
        {u"1.2147483650", 65535, false, {0, 0, 0, 0}, 0},
        {u"99999999999", 0, false, {0, 0, 0, 0}, 0},
        {u"1.2.3.4.99999999999", 0, true, {1, 2, 3, 4}, 5},  // the fifth group is never read
        {u"\u0661.\u0668", 0, false, {0, 0, 0, 0}, 0},       // ASCII digits only
        {u"\uFF11.8", 0, true, {8, 0, 0, 0}, 1},
    };
    for (const auto& c : cases) {
        JavaVersion version;
        EXPECT_EQ(version.parse(c.text, c.fill), c.ok) << testing::utf8(c.text);
        EXPECT_TRUE(version.equals(c.parts)) << testing::utf8(c.text);
        EXPECT_EQ(version.count, c.count) << testing::utf8(c.text);
    }
}

TEST(JavaVersion, CompareMatchAndText) {
    EXPECT_EQ(read(u"1.10").compare(read(u"1.9")), 1);
    EXPECT_TRUE(read(u"1.8", 65535).greater(read(u"1.8.0_999")));
    EXPECT_TRUE(read(u"1.8", 65535).less(read(u"1.9")));
    EXPECT_TRUE(read(u"1.8").equals(read(u"1.8.0.0")));

    EXPECT_TRUE(read(u"1.8.0.151").matches(read(u"1.8")));
    EXPECT_TRUE(read(u"1.8.5.3").matches(read(u"1.8")));
    EXPECT_FALSE(read(u"1.7.0.80").matches(read(u"1.8")));
    EXPECT_TRUE(read(u"9.0.4").matches(read(u"9")));
    EXPECT_FALSE(read(u"1.9").matches(read(u"9")));
    EXPECT_TRUE(read(u"1.2.3").matches(read(u"")));
    EXPECT_FALSE(read(u"1.0.3").matches(read(u"1.0.2")));

    const struct {
        JavaVersion version;
        WideString text;
    } texts[] = {{{1, 8, 0, 0}, u"1.8"},     {{1, 8, 0, 151}, u"1.8.0.151"}, {{9, 0, 0, 0}, u"9.0"},
                 {{1, 8, 65535, 65535}, u"1.8"}, {{1, 0, 5, 0}, u"1.0.5"},   {{0, 0, 0, 0}, u"0.0.0.0"},
                 {{1, 65535, 0, 0}, u"1.65535"}};
    for (const auto& t : texts) EXPECT_EQ(t.version.toText(), t.text);
    EXPECT_TRUE(JavaVersion(0, 0, 0, 0).isUnbounded());
    EXPECT_TRUE(JavaVersion(65535, 65535, 65535, 65535).isUnbounded());
    EXPECT_FALSE(JavaVersion(0, 0, 0, 1).isUnbounded());
    EXPECT_FALSE(JavaVersion(65535, 65535, 65535, 0).isUnbounded());
    EXPECT_FALSE(read(u"1.8", 65535).isUnbounded());
    EXPECT_TRUE(read(u"").isUnbounded());

    // Parts compare as signed numbers, one after the other; the group count plays no part.
    EXPECT_EQ(JavaVersion(-1, 0, 0, 0).compare(JavaVersion(0, 0, 0, 0)), -1);
    EXPECT_EQ(JavaVersion(1, 8, 0, 1).compare(JavaVersion(1, 8, 0, 0)), 1);
    EXPECT_EQ(read(u"1.8").compare(read(u"1.8.0.0")), 0);
    EXPECT_TRUE(read(u"1.0.0.5").matches(read(u"1.0.0.5")));
    EXPECT_FALSE(read(u"1.0.0.6").matches(read(u"1.0.0.5")));
    EXPECT_TRUE(read(u"1.0.2.7").matches(read(u"1.0.2")));
    EXPECT_FALSE(read(u"1.1.2.7").matches(read(u"1.0.2")));
    EXPECT_TRUE(read(u"1.8", 65535).matches(read(u"1.8", 65535)));  // equal versions always match
    EXPECT_EQ(read(u"10").toText(), u"10.0");
    EXPECT_EQ(JavaVersion(65535, 65535, 65535, 65535).toText(), u"0.0.0.0");
    EXPECT_EQ(JavaVersion(2147483647, 0, 0, 1).toText(), u"2147483647.0.0.1");
}

TEST(JavaVersion, LongTexts) {
    WideString digits(100000, u'9');
    JavaVersion version;
    EXPECT_FALSE(version.parse(digits, 0));
    WideString groups;
    for (int i = 0; i < 25000; ++i) groups += u"1.2.";
    EXPECT_TRUE(version.parse(groups, 0));
    EXPECT_EQ(version.count, 5);
    EXPECT_TRUE(version.parse(WideString(99999, u'x') + u"7", 0));
    EXPECT_TRUE(version.equals(JavaVersion(7, 0, 0, 0)));
}

}  // namespace
}  // namespace kite
