// Heap and stack sizes given as a share of the machine's memory
// (-Xmx50P, -Xms25:256:1024p, -Xss10T) and the stack size of -Xss tokens.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

struct SizeNumbers {
    std::size_t prefixLength = 0;         // characters before the first digit or ':'
    std::vector<std::uint32_t> numbers;  // 32-bit, wrapping
};

// "-Xms", "-Xmx" or "-Xss" followed by anything and a last 'P', 'p', 'T' or 't'.
bool isPercentSize(const WideString& token);
// The numbers of a size text; its last character is never part of one.
SizeNumbers parseSizeNumbers(const WideString& text);
// The token rewritten into kilobytes. wideArithmetic: 64-bit memory figures
// and product (64-bit builds); otherwise the figures and the product are
// taken as 32-bit values.
WideString resolvePercentSize(const WideString& token, const MemoryFigures& memory, bool wideArithmetic);
// Bytes of the text after "-Xss"; 0 unless it is one plain number with an optional unit.
std::uint32_t parseStackSize(const WideString& text);
// The factor of the text's last character: G, M, K (any case) or 1.
std::uint32_t unitMultiplier(const WideString& text);

}  // namespace kite
