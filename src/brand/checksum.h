// The PE image checksum (the optional header's CheckSum field), computed as
// Windows' CheckSumMappedFile does: the file as 16-bit little-endian words
// (an odd last byte padded with zero), added with the carry folded back into
// the low 16 bits after every word, the checksum field's own four bytes
// counted as zero, and the file length added at the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brand/bytes.h"

namespace kite::brand {

std::uint32_t peChecksum(ByteView file, std::size_t checksumOffset);

}  // namespace kite::brand
