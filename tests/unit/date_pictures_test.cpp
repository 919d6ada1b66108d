// The portable date/time pictures and expandDateTime, held to the same table
// that the Wine suite checks the Windows functions against.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "platform/common/date_pictures.h"
#include "settings/value_expansion.h"

namespace kite {
namespace {

using testing::FakePlatform;

constexpr LocalTime kAfternoon{2024, 3, 2, 5, 14, 7, 9, 45};
constexpr LocalTime kMorning{2024, 3, 2, 5, 9, 0, 1, 500};

struct PictureCase {
    char mode;
    std::string text;    // UTF-8
    std::string result;  // UTF-8; "!" when the pass fails
};

// "{u*N}" stands for N times u (one to four characters).
std::string expandRepeats(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t star = text.find('*', i);
        if (text[i] == '{' && star != std::string::npos) {
            const std::size_t close = text.find('}', star);
            const std::string unit = text.substr(i + 1, star - i - 1);
            if (close != std::string::npos && !unit.empty() && unit.size() <= 4) {
                const int count = std::stoi(text.substr(star + 1, close - star - 1));
                for (int k = 0; k < count; ++k) out += unit;
                i = close + 1;
                continue;
            }
        }
        out.push_back(text[i++]);
    }
    return out;
}

std::vector<PictureCase> readCases() {
    const auto path = std::filesystem::path(KITE_SOURCE_DIR) / "tests" / "e2e" / "date_picture_cases.tsv";
    std::ifstream file(path);
    std::vector<PictureCase> cases;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        if (first != 1 || second == std::string::npos) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        cases.push_back({line[0], expandRepeats(line.substr(2, second - 2)), expandRepeats(line.substr(second + 1))});
    }
    return cases;
}

TEST(DatePictures, AgreeWithTheSharedTable) {
    const std::vector<PictureCase> cases = readCases();
    ASSERT_GT(cases.size(), 30u);
    FakePlatform platform;
    for (const PictureCase& c : cases) {
        WideString text = testing::wide(c.text);
        std::string actual;
        WideString out;
        switch (c.mode) {
            case 'T':
                actual = formatTimePicture(text, kAfternoon, out) ? testing::utf8(out) : "!";
                break;
            case 'D':
                actual = formatDatePicture(text, kAfternoon, out) ? testing::utf8(out) : "!";
                break;
            case 'E':
            case 'e':
                expandDateTime(platform, text, c.mode == 'E' ? kAfternoon : kMorning);
                actual = testing::utf8(text);
                break;
            default:
                ADD_FAILURE() << "unknown mode " << c.mode;
        }
        EXPECT_EQ(actual, c.result) << c.mode << " " << c.text.substr(0, 80);
    }
}

TEST(DatePictures, HoursMarkersAndNamesAcrossTheDay) {
    const struct {
        LocalTime time;
        const char16_t* picture;
        const char16_t* result;
    } cases[] = {
        {{2024, 1, 0, 7, 0, 5, 0, 0}, u"h hh H HH tt", u"12 12 0 00 AM"},
        {{2024, 1, 0, 7, 12, 0, 0, 0}, u"h hh H HH tt", u"12 12 12 12 PM"},
        {{2024, 1, 0, 7, 23, 59, 59, 999}, u"h:mm:ss t", u"11:59:59 P"},
    };
    for (const auto& c : cases) {
        WideString out;
        ASSERT_TRUE(formatTimePicture(c.picture, c.time, out));
        EXPECT_EQ(out, c.result) << testing::utf8(c.picture);
    }
    const struct {
        LocalTime time;
        const char16_t* result;
    } dates[] = {
        {{2023, 12, 0, 31, 0, 0, 0, 0}, u"Sun Sunday Dec December 31 12 2023"},
        {{2024, 1, 1, 1, 0, 0, 0, 0}, u"Mon Monday Jan January 1 1 2024"},
        {{2024, 9, 6, 7, 0, 0, 0, 0}, u"Sat Saturday Sep September 7 9 2024"},
    };
    for (const auto& d : dates) {
        WideString out;
        ASSERT_TRUE(formatDatePicture(u"ddd dddd MMM MMMM d M yyyy", d.time, out));
        EXPECT_EQ(out, d.result);
    }
}

TEST(ExpandDateTime, LongTexts) {
    FakePlatform platform;
    const struct {
        WideString text;
        WideString result;
    } cases[] = {
        {WideString(100000, u'a'), WideString(100000, u'a')},                   // no '%'
        {u"<%" + WideString(100000, u'H') + u"%>", u"<14>"},                   // one long run
        {u"<%" + WideString(100000, u'x') + u"%>", u"<>"},                     // too long a result
        {u"<%" + WideString(99996, u'L') + u"%>", u"<>"},                      // 'L' grows the picture
        {u"<%" + WideString(100000, u'%') + u"%>", u"<>"},                     // inner '%' copied: too long
        {WideString(50000, u'%') + u"HH" + WideString(50000, u'%'), u""},
        {u"a%HH%" + WideString(100000, u'b'), u"a14" + WideString(100000, u'b')},
        {WideString(100000, u'b') + u"%", WideString(100000, u'b')},
    };
    for (const auto& c : cases) {
        WideString text = c.text;
        expandDateTime(platform, text, kAfternoon);
        EXPECT_EQ(text, c.result) << text.size();
    }
}

}  // namespace
}  // namespace kite
