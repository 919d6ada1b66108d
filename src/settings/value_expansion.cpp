#include "settings/value_expansion.h"

#include <string>

namespace kite {

void expandEnvironment(Platform& platform, WideString& text) {
    WideString expanded = text;
    if (platform.env.expandEnvironment(expanded)) text = expanded;
}

void expandDateTime(Platform& platform, WideString& text, const LocalTime& time) {
    const std::size_t first = text.find(u'%');
    if (first == WideString::npos) return;
    const std::size_t last = text.rfind(u'%');
    WideString picture = first == last ? WideString() : text.substr(first + 1, last - first - 1);
    if (picture.find(u'L') != WideString::npos) {
        const std::string ms = std::to_string(time.millisecond);
        const WideString milliseconds(ms.begin(), ms.end());
        WideString replaced;
        for (char16_t c : picture) {
            if (c == u'L') replaced += milliseconds;
            else replaced.push_back(c);
        }
        picture = replaced;
    }
    // A picture that cannot be formatted (too long a result) counts as empty.
    WideString timed;
    WideString dated;
    if (picture.empty() || !platform.clock.formatTime(picture, time, timed) || !platform.clock.formatDate(timed, time, dated)) {
        dated.clear();
    }
    text = text.substr(0, first) + dated + text.substr(last + 1);
}

}  // namespace kite
