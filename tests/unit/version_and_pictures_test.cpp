#include <gtest/gtest.h>

#include "discovery/java_version.h"
#include "fake_platform.h"
#include "settings/value_expansion.h"

namespace kite {
namespace {

using testing::FakePlatform;

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
}

TEST(ExpandDateTime, FillsThePictureBetweenTheFirstAndLastPercent) {
    FakePlatform platform;
    const LocalTime time{2024, 3, 2, 5, 14, 7, 9, 45};
    const struct {
        WideString text, expanded;
    } cases[] = {
        {u"out_%yyyyMMdd_HHmmss%.log", u"out_20240305_140709.log"},
        {u"run-%yyyy-MM-dd%-%HH%.txt", u"run-2024-03-05%-%14.txt"},
        {u"trace%HHmmssL%.txt", u"trace14070945.txt"},
        {u"plain.log", u"plain.log"},
        {u"one%percent", u"onepercent"},
        {u"%hh tt%", u"02 P3"},
        {u"%'dd' d%", u"05 5"},  // quotes protect only from the time pass
        {u"%dddd ddd MMMM MMM y yy g%", u"Tuesday Tue March Mar 24 24 A.D."},
        {u"%h:m:s t%", u"2:7:9 P"},
    };
    for (const auto& c : cases) {
        WideString text = c.text;
        expandDateTime(platform, text, time);
        EXPECT_EQ(text, c.expanded) << testing::utf8(c.text);
    }
    WideString morning = u"%L-ss tt%";
    expandDateTime(platform, morning, LocalTime{2024, 3, 2, 5, 9, 0, 1, 500});
    EXPECT_EQ(morning, u"500-01 A3");  // the M of AM is a month to the date pass
    // A result beyond what the formatting functions can return counts as empty.
    WideString huge = u"a%" + WideString(300, u'x') + u"%b";
    expandDateTime(platform, huge, time);
    EXPECT_EQ(huge, u"ab");
}

}  // namespace
}  // namespace kite
