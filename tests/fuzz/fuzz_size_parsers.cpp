// The size parsers on arbitrary text: the first 16 bytes are the memory
// figures, the rest is the token. Both arithmetics must keep the bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "jvm/memory_sizing.h"

namespace {

// The decimal number between the prefix and the final 'K'.
bool sizeOf(const kite::WideString& resolved, std::size_t prefixLength, std::uint64_t& size) {
    if (resolved.size() < prefixLength + 2 || resolved.back() != u'K') return false;
    size = 0;
    for (std::size_t i = prefixLength; i + 1 < resolved.size(); ++i) {
        if (resolved[i] < u'0' || resolved[i] > u'9') return false;
        size = size * 10 + static_cast<std::uint64_t>(resolved[i] - u'0');
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kite::MemoryFigures memory;
    if (size >= 16) {
        std::memcpy(&memory.totalPhysical, data, 8);
        std::memcpy(&memory.availableVirtual, data + 8, 8);
        data += 16;
        size -= 16;
    }
    kite::WideString text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));

    const kite::SizeNumbers numbers = kite::parseSizeNumbers(text);
    if (numbers.prefixLength > text.size()) __builtin_trap();
    if (numbers.numbers.empty() != (numbers.prefixLength == text.size())) __builtin_trap();
    if (kite::parseStackSize(text).value_or(0) != 0 && numbers.prefixLength != 0) __builtin_trap();
    (void)kite::unitMultiplier(text);

    if (kite::isPercentSize(text)) {
        const std::uint64_t lower = numbers.numbers.size() > 1 ? numbers.numbers[1] : 0;
        const std::uint64_t upper = numbers.numbers.size() > 2 ? numbers.numbers[2] : 0;
        // An empty result is a refused size: a number with more than 32 bits,
        // a result beyond the arithmetic, or a stack of 4 GB or more. Below
        // 4 GB in every part, 64-bit arithmetic refuses nothing.
        const kite::WideString wide = kite::resolvePercentSize(text, memory, true);
        const std::uint64_t base = (text.back() == u'T' || text.back() == u't') ? memory.availableVirtual
                                                                                 : memory.totalPhysical;
        const std::uint64_t percent = numbers.numbers.empty() ? 0 : numbers.numbers[0];
        const bool small = base < (1ull << 32) && percent <= 100 && lower < 4096 && upper < 4096;
        if (wide.empty() && !numbers.overflow && small) __builtin_trap();
        std::uint64_t kilobytes = 0;
        if (!wide.empty()) {
            if (wide.compare(0, numbers.prefixLength, text, 0, numbers.prefixLength) != 0) __builtin_trap();
            if (!sizeOf(wide, numbers.prefixLength, kilobytes)) __builtin_trap();
            if (kilobytes < lower * 1024) __builtin_trap();
            if (upper != 0 && lower <= upper && kilobytes > upper * 1024) __builtin_trap();
        }
        const kite::WideString narrow = kite::resolvePercentSize(text, memory, false);
        std::uint64_t narrowKilobytes = 0;
        if (!narrow.empty() && (!sizeOf(narrow, numbers.prefixLength, narrowKilobytes) ||
                                narrowKilobytes > 0x7FFFFFFFu || narrowKilobytes < lower * 1024)) {
            __builtin_trap();
        }
    }
    return 0;
}
