// A decoder of raw DEFLATE data (RFC 1951), the compression of jar entries.
// It reads only what the span holds and writes at most maxOutput bytes, so a
// hostile entry can neither read past its data nor grow without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kite {

enum class InflateResult {
    Done,       // the final block ended; bytes after it are ignored
    Truncated,  // the data ends inside a block
    Corrupt,    // a block type, code set, length or distance that DEFLATE does not allow
    TooLarge,   // the output would exceed maxOutput
};

// Decodes input into out (cleared first).
InflateResult inflateRaw(std::span<const std::uint8_t> input, std::size_t maxOutput, std::vector<std::uint8_t>& out);

}  // namespace kite
