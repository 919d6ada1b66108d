#include "ui/link_colors.h"

namespace kite {

namespace {

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// A signed decimal as the C library's atoi reads it: leading blanks, an
// optional sign, then digits up to the first other character; none give 0.
std::int64_t leadingInteger(const WideString& text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) value = value * 10 + (text[i] - u'0');
    return negative ? -value : value;
}

std::uint8_t lowByte(std::int64_t value) { return static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) & 0xFF); }

}  // namespace

std::optional<LinkColor> parseLinkColor(const WideString& text) {
    if (text.size() > kMaxColorTextLength) return std::nullopt;
    const std::size_t first = text.find(u',');
    if (first == WideString::npos) return std::nullopt;
    const std::size_t second = text.find(u',', first + 1);
    if (second == WideString::npos) return std::nullopt;
    const std::int64_t red = leadingInteger(text.substr(0, first));
    const std::int64_t green = leadingInteger(text.substr(first + 1, second - first - 1));
    if (red == -1 || green == -1) return std::nullopt;
    const WideString blueText = text.substr(second + 1);
    if (blueText.empty()) return std::nullopt;
    return LinkColor{lowByte(red), lowByte(green), lowByte(leadingInteger(blueText))};
}

}  // namespace kite
