#include "discovery/java_version.h"

#include <string>

namespace kite {

namespace {
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
}  // namespace

void JavaVersion::clear() {
    parts = {0, 0, 0, 0};
    count = 0;
}

void JavaVersion::set(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    parts = {a, b, c, d};
    count = 4;
}

bool JavaVersion::parse(const WideString& text, std::int32_t fill) {
    clear();
    std::size_t i = 0;
    while (i < text.size() && !isDigit(text[i])) ++i;
    if (i == text.size()) return false;
    int k = 0;
    for (;;) {
        std::int32_t value = 0;
        while (i < text.size() && isDigit(text[i])) {
            const std::int32_t digit = text[i] - u'0';
            if (value > 214748364 || (value == 214748364 && digit > 7)) {
                clear();
                return false;
            }
            value = value * 10 + digit;
            ++i;
        }
        parts[static_cast<std::size_t>(k)] = value;
        while (i < text.size() && !isDigit(text[i])) ++i;
        if (i == text.size()) {
            count = k + 1;
            break;
        }
        ++k;
        if (k == 4) {
            count = 5;
            break;
        }
    }
    for (int p = count; p < 4; ++p) parts[static_cast<std::size_t>(p)] = fill;
    return true;
}

int JavaVersion::compare(const JavaVersion& other) const {
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i] < other.parts[i]) return -1;
        if (parts[i] > other.parts[i]) return 1;
    }
    return 0;
}

bool JavaVersion::matches(const JavaVersion& pattern) const {
    if (equals(pattern)) return true;
    std::size_t trailingZeros = 0;
    while (trailingZeros < 4 && pattern.parts[3 - trailingZeros] == 0) ++trailingZeros;
    for (std::size_t i = 0; i < 4 - trailingZeros; ++i) {
        if (parts[i] != pattern.parts[i]) return false;
    }
    return true;
}

bool JavaVersion::isUnbounded() const {
    bool allZero = true;
    bool allOpen = true;
    for (std::int32_t part : parts) {
        allZero = allZero && part == 0;
        allOpen = allOpen && part == kOpen;
    }
    return allZero || allOpen;
}

WideString JavaVersion::toText() const {
    int last = -1;
    for (int i = 3; i >= 0; --i) {
        const std::int32_t part = parts[static_cast<std::size_t>(i)];
        if (part != 0 && part != kOpen) {
            last = i;
            break;
        }
    }
    if (last < 0) return u"0.0.0.0";
    if (last < 1) last = 1;
    std::string text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(parts[static_cast<std::size_t>(i)]);
    }
    return WideString(text.begin(), text.end());
}

}  // namespace kite
