#include "platform/common/date_pictures.h"

#include <string>

namespace kite {

namespace {

constexpr const char16_t* kDays[] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday",
                                     u"Thursday", u"Friday", u"Saturday"};
constexpr const char16_t* kMonths[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                       u"July",    u"August",   u"September", u"October", u"November", u"December"};
// A formatted result longer than this fails, as the Windows functions do with their buffer.
constexpr std::size_t kMaxResult = 259;

WideString number(int value, int width) {
    std::string digits = std::to_string(value);
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    return WideString(digits.begin(), digits.end());
}

// Walks a picture: quoted text is copied without its quotes (two quotes give
// one), runs of a letter the pass knows are replaced, everything else is copied.
template <typename Replace>
bool formatPicture(const WideString& picture, const char16_t* letters, Replace replace, WideString& out) {
    out.clear();
    std::size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == u'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                        out.push_back(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out.push_back(picture[i++]);
            }
            continue;
        }
        if (WideString(letters).find(c) == WideString::npos) {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        out += replace(c, run);
        i += run;
    }
    return out.size() <= kMaxResult;
}

int validDay(int dayOfWeek) { return dayOfWeek >= 0 && dayOfWeek <= 6 ? dayOfWeek : 0; }
int validMonth(int month) { return month >= 1 && month <= 12 ? month - 1 : 0; }

}  // namespace

bool formatTimePicture(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatPicture(
        picture, u"hHmst",
        [&](char16_t letter, std::size_t run) -> WideString {
            const int width = run >= 2 ? 2 : 1;
            switch (letter) {
                case u'h': return number(time.hour % 12 == 0 ? 12 : time.hour % 12, width);
                case u'H': return number(time.hour, width);
                case u'm': return number(time.minute, width);
                case u's': return number(time.second, width);
                default: {
                    const WideString marker = time.hour < 12 ? u"AM" : u"PM";
                    return run >= 2 ? marker : marker.substr(0, 1);
                }
            }
        },
        out);
}

bool formatDatePicture(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatPicture(
        picture, u"dMyg",
        [&](char16_t letter, std::size_t run) -> WideString {
            switch (letter) {
                case u'd':
                    if (run <= 2) return number(time.day, static_cast<int>(run));
                    if (run == 3) return WideString(kDays[validDay(time.dayOfWeek)]).substr(0, 3);
                    return kDays[validDay(time.dayOfWeek)];
                case u'M':
                    if (run <= 2) return number(time.month, static_cast<int>(run));
                    if (run == 3) return WideString(kMonths[validMonth(time.month)]).substr(0, 3);
                    return kMonths[validMonth(time.month)];
                case u'y':
                    if (run == 1) return number(time.year % 100, 1);
                    if (run == 2) return number(time.year % 100, 2);
                    return number(time.year, 4);
                default: {
                    // Every g gives the era on its own, as the Windows functions under Wine do.
                    WideString era;
                    for (std::size_t i = 0; i < run; ++i) era += u"AD";
                    return era;
                }
            }
        },
        out);
}

}  // namespace kite
