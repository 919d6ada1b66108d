#include "jvm/memory_sizing.h"

#include <algorithm>
#include <limits>
#include <string>

namespace kite {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

WideString decimal(const std::string& digits) { return WideString(digits.begin(), digits.end()); }

// The product truncated towards zero; empty beyond 64 bits (an absurd share
// of a huge figure).
std::optional<std::uint64_t> truncatedProduct(double kilobytes, std::uint32_t share) {
    const double product = kilobytes * (share / 100.0);
    if (!(product > 0)) return 0;
    if (product >= 18446744073709551615.0) return std::nullopt;
    return static_cast<std::uint64_t>(product);
}

// Appends a digit to a 32-bit number; false when the number outgrows 32 bits.
bool appendDigit(std::uint32_t& number, char16_t digit) {
    const std::uint64_t next = std::uint64_t{number} * 10 + static_cast<std::uint32_t>(digit - u'0');
    if (next > std::numeric_limits<std::uint32_t>::max()) return false;
    number = static_cast<std::uint32_t>(next);
    return true;
}

}  // namespace

bool isPercentSize(const WideString& token) {
    if (token.size() < 4) return false;
    const std::u16string_view name(token.data(), 4);
    if (name != u"-Xms" && name != u"-Xmx" && name != u"-Xss") return false;
    const char16_t last = token.back();
    return last == u'P' || last == u'p' || last == u'T' || last == u't';
}

SizeNumbers parseSizeNumbers(const WideString& text) {
    SizeNumbers result;
    std::size_t start = 0;
    while (start < text.size() && !isDigit(text[start]) && text[start] != u':') ++start;
    result.prefixLength = start;
    if (start == text.size()) return result;
    result.numbers.push_back(0);
    for (std::size_t i = start; i + 1 < text.size(); ++i) {
        const char16_t c = text[i];
        if (isDigit(c)) {
            if (!appendDigit(result.numbers.back(), c)) result.overflow = true;
        } else if (c == u':') {
            result.numbers.push_back(0);
        }
    }
    return result;
}

WideString resolvePercentSize(const WideString& token, const MemoryFigures& memory, bool wideArithmetic) {
    const SizeNumbers parsed = parseSizeNumbers(token);
    auto number = [&](std::size_t i) -> std::uint32_t { return i < parsed.numbers.size() ? parsed.numbers[i] : 0; };
    const std::uint32_t share = number(0);
    const std::uint32_t lower = number(1);
    const std::uint32_t upper = number(2);
    const bool addressSpace = !token.empty() && (token.back() == u'T' || token.back() == u't');
    const std::uint64_t base = addressSpace ? memory.availableVirtual : memory.totalPhysical;
    const WideString prefix = token.substr(0, parsed.prefixLength);
    if (parsed.overflow) return {};

    // The 32-bit launcher sees at most 4 GB, as GlobalMemoryStatus reports
    // larger figures; the bounds are applied in 64 bits so that none wraps.
    const std::uint64_t figure = wideArithmetic ? base : std::min<std::uint64_t>(base, 0xFFFFFFFFu);
    const std::optional<std::uint64_t> product = truncatedProduct(static_cast<double>(figure >> 10), share);
    if (!product) return {};
    std::uint64_t size = *product;
    if (upper != 0 && size > std::uint64_t{upper} * 1024) size = std::uint64_t{upper} * 1024;
    if (std::uint64_t{lower} * 1024 > size) size = std::uint64_t{lower} * 1024;
    // The 32-bit launcher prints the size as a signed 32-bit number.
    if (!wideArithmetic && size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return {};
    return prefix + decimal(std::to_string(size)) + u"K";
}

std::uint32_t unitMultiplier(const WideString& text) {
    if (text.empty()) return 1;
    switch (text.back()) {
        case u'G': case u'g': return 1073741824u;
        case u'M': case u'm': return 1048576u;
        case u'K': case u'k': return 1024u;
        default: return 1;
    }
}

std::optional<std::uint32_t> parseStackSize(const WideString& text) {
    const SizeNumbers parsed = parseSizeNumbers(text);
    if (parsed.prefixLength != 0 || parsed.numbers.size() != 1) return 0;
    if (parsed.overflow) return std::nullopt;
    std::uint32_t number = parsed.numbers[0];
    const char16_t last = text.back();
    // The last character is never read as part of a number: a trailing digit
    // completes the digit run and the factor is 1.
    if (isDigit(last)) {
        if (!appendDigit(number, last)) return std::nullopt;
        return number;
    }
    const std::uint64_t bytes = std::uint64_t{number} * unitMultiplier(text);
    if (bytes > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(bytes);
}

}  // namespace kite
