// "Restart Code": the setting, the bound on restarts carried in the
// environment, and the start of the executable again.
#include <gtest/gtest.h>

#include <optional>

#include "fake_platform.h"
#include "foundation/message_catalog.h"
#include "instance/restart.h"
#include "settings/launch_settings.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(RestartCode, SettingValues) {
    const struct {
        std::u16string text;
        std::optional<std::int32_t> code;
    } cases[] = {
        {u"9", 9},
        {u"0", 0},
        {u"09", 9},
        {u"-1", -1},
        {u"2147483647", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"99999999999", std::nullopt},
        {u"", std::nullopt},
        {u"-", std::nullopt},
        {u"+9", std::nullopt},
        {u"0x9", std::nullopt},
        {u"9 9", std::nullopt},
        {u"nine", std::nullopt},
    };
    for (const auto& c : cases) {
        std::int32_t code = 12345;
        EXPECT_EQ(parseRestartCode(c.text, code), c.code.has_value()) << testing::utf8(c.text);
        if (c.code) {
            EXPECT_EQ(code, *c.code) << testing::utf8(c.text);
        }
    }
}

TEST(RestartCode, NeverInServiceMode) {
    const struct {
        std::string application;
        bool enabled;
    } cases[] = {
        {"Restart Code=9\n", true},
        {"Restart Code=9\nApplication Type=service\n", false},
        {"Restart Code=x\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.addFile(u"C:\\App\\app.ini",
                         "[Java Runtime Environment]\nMain Class=App\n[Application]\n" + c.application);
        LaunchSettings settings;
        ASSERT_TRUE(readLaunchSettings(platform, settings)) << c.application;
        EXPECT_EQ(settings.restart.enabled, c.enabled) << c.application;
        if (c.enabled) {
            EXPECT_EQ(settings.restart.code, 9);
        }
    }
}

TEST(RestartCode, AtMostFiveRestartsWithinSixtySeconds) {
    constexpr std::int64_t now = 1700000000;
    const struct {
        const char* why;
        std::optional<std::u16string> history;  // the variable this process received
        std::int32_t exitCode;
        bool restarted;
        std::optional<std::u16string> passedOn;  // the variable afterwards
    } cases[] = {
        {"first restart", std::nullopt, 9, true, u"1 1700000000"},
        {"another exit code", std::nullopt, 3, false, std::nullopt},
        {"within the window", u"3 1699999950", 9, true, u"4 1699999950"},
        {"fifth restart", u"4 1699999941", 9, true, u"5 1699999941"},
        {"limit reached", u"5 1699999941", 9, false, u"5 1699999941"},
        {"window over", u"5 1699999940", 9, true, u"1 1700000000"},
        // Hostile or damaged values start a new window; they never stop
        // a restart nor let more than five through.
        {"count too high", u"6 1699999999", 9, true, u"1 1700000000"},
        {"count zero", u"0 1699999999", 9, true, u"1 1700000000"},
        {"window in the future", u"5 1700000100", 9, true, u"1 1700000000"},
        {"negative start", u"1 -5", 9, true, u"1 1700000000"},
        {"overlong start", u"1 1234567890123456789", 9, true, u"1 1700000000"},
        {"no blank", u"11699999999", 9, true, u"1 1700000000"},
        {"two blanks", u"1  1699999999", 9, true, u"1 1700000000"},
        {"empty", u"", 9, true, u"1 1700000000"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.seconds = now;
        if (c.history) platform.environment[kRestartVariable] = *c.history;
        const bool restarted = restartIfAsked(platform, Trace(platform, platform), {true, 9}, c.exitCode);
        EXPECT_EQ(restarted, c.restarted) << c.why;
        EXPECT_EQ(platform.restarts, c.restarted ? 1 : 0) << c.why;
        WideString passedOn;
        const bool set = platform.getEnvironment(kRestartVariable, passedOn);
        EXPECT_EQ(set, c.passedOn.has_value()) << c.why;
        if (c.passedOn) {
            EXPECT_EQ(passedOn, *c.passedOn) << c.why;
        }
        EXPECT_EQ(platform.stdoutText, "") << c.why;
    }
}

TEST(RestartCode, OffOrFailing) {
    FakePlatform off;
    EXPECT_FALSE(restartIfAsked(off, Trace(off, off), {}, 0));
    EXPECT_EQ(off.restarts, 0);

    FakePlatform failing;
    failing.restartError = 2;
    EXPECT_FALSE(restartIfAsked(failing, Trace(failing, failing), {true, -1}, -1));
    EXPECT_EQ(failing.restarts, 1);
    EXPECT_EQ(failing.stdoutText, "Error: Das Programm konnte nicht neu gestartet werden (Fehlernummer = 2). \n");
}

}  // namespace
}  // namespace kite
