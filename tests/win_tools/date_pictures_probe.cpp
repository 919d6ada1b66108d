// Formats date/time pictures through the Windows functions (GetTimeFormatW,
// GetDateFormatW) for one fixed local time, 2024-03-05 14:07:09.045, a
// Tuesday (or the morning time 09:00:01.500 of the same day), so that the
// end-to-end suite can hold the portable implementation against them.
//
// Reads lines from standard input, each a mode letter, a tab and a text:
//   T  the text formatted as a time picture
//   D  the text formatted as a date picture
//   E  the text run through expandDateTime
//   e  as E, at the morning time
// and prints one line per input, "<result>" or "!" when the formatting fails,
// as UTF-8.
#include <cstdio>
#include <string>

#include "foundation/utf.h"
#include "platform/win32/win32_platform.h"
#include "settings/value_expansion.h"

namespace {

constexpr kite::LocalTime kAfternoon{2024, 3, 2, 5, 14, 7, 9, 45};
constexpr kite::LocalTime kMorning{2024, 3, 2, 5, 9, 0, 1, 500};

kite::WideString answer(kite::Platform& platform, char mode, kite::WideString text) {
    kite::WideString out;
    switch (mode) {
        case 'T':
            return platform.clock.formatTime(text, kAfternoon, out) ? u"<" + out + u">" : u"!";
        case 'D':
            return platform.clock.formatDate(text, kAfternoon, out) ? u"<" + out + u">" : u"!";
        case 'E':
            kite::expandDateTime(platform, text, kAfternoon);
            return u"<" + text + u">";
        case 'e':
            kite::expandDateTime(platform, text, kMorning);
            return u"<" + text + u">";
        default:
            return u"?";
    }
}

}  // namespace

int wmain() {
    kite::Win32Platform platform;
    platform.env.initLocale();
    std::string line;
    int c;
    while ((c = std::getchar()) != EOF) {
        if (c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line[1] == '\t') {
            platform.env.writeStdout(answer(platform, line[0], kite::fromUtf8(line.substr(2))) + u"\n");
        } else {
            platform.env.writeStdout(u"?\n");
        }
        line.clear();
    }
    return 0;
}
