// Heap and stack sizes given as a share of the machine's memory
// (-Xmx50P, -Xms25:256:1024p, -Xss10T), and the stack size of -Xss tokens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

// Width of the memory arithmetic of this build. The 32-bit launcher takes the
// figures as 32-bit byte counts (at most 4 GB) and prints sizes as signed
// 32-bit numbers; the 64-bit and Linux builds compute and print in 64 bits.
// A size that does not fit is refused, never wrapped.
constexpr bool wideSizeArithmetic() { return sizeof(void*) == 8; }

struct SizeNumbers {
    std::size_t prefixLength = 0;        // characters before the first digit or ':'
    std::vector<std::uint32_t> numbers;  // 32-bit
    bool overflow = false;               // a number had more than 32 bits
};

// "-Xms", "-Xmx" or "-Xss" (case-sensitive) with a last 'P', 'p', 'T' or 't'.
bool isPercentSize(const WideString& token);
// The numbers of a size text: digits and ':' from the first of them up to,
// not including, the last character (the suffix letter of a share).
SizeNumbers parseSizeNumbers(const WideString& text);
// A share-of-memory token rewritten to prefix, kilobytes and 'K'. 'P' shares
// the total physical memory, 'T' the free virtual address space; the
// optional second and third numbers bound the result in megabytes, the lower
// bound winning over the upper. wideArithmetic selects the 64-bit rules
// (wideSizeArithmetic() of the build; tests exercise both). Empty when a
// number or the size does not fit that arithmetic.
WideString resolvePercentSize(const WideString& token, const MemoryFigures& memory, bool wideArithmetic);
// Bytes of the text after "-Xss": one plain number with an optional unit
// letter; 0 for anything else; empty when the bytes do not fit 32 bits.
std::optional<std::uint32_t> parseStackSize(const WideString& text);
// The byte factor of the text's last character: G, M, K (any case) or 1.
std::uint32_t unitMultiplier(const WideString& text);

}  // namespace kite
