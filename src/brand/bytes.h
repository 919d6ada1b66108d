// Little-endian byte access for the PE, resource, version and icon formats.
// Reads check their bounds: a read past the end gives 0, and the parsers ask
// fits() before they read a structure, so hostile offsets never reach memory
// outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kite::brand {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Whether size bytes from offset lie inside data (no overflow on huge values).
inline bool fits(ByteView data, std::uint64_t offset, std::uint64_t size) {
    return offset <= data.size() && size <= data.size() - offset;
}

inline std::uint16_t u16At(ByteView data, std::uint64_t offset) {
    if (!fits(data, offset, 2)) {
        return 0;
    }
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline std::uint32_t u32At(ByteView data, std::uint64_t offset) {
    if (!fits(data, offset, 4)) {
        return 0;
    }
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) | (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

// Big-endian, for the PNG header inside an icon file.
inline std::uint32_t u32BigAt(ByteView data, std::uint64_t offset) {
    if (!fits(data, offset, 4)) {
        return 0;
    }
    return (static_cast<std::uint32_t>(data[offset]) << 24) | (static_cast<std::uint32_t>(data[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 8) | static_cast<std::uint32_t>(data[offset + 3]);
}

// Writes into a buffer the caller has sized; out-of-range writes are dropped.
inline void putU16(Bytes& data, std::size_t offset, std::uint16_t value) {
    if (offset + 2 <= data.size()) {
        data[offset] = static_cast<std::uint8_t>(value);
        data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

inline void putU32(Bytes& data, std::size_t offset, std::uint32_t value) {
    if (offset + 4 <= data.size()) {
        for (int i = 0; i < 4; ++i) {
            data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
}

inline void appendU16(Bytes& data, std::uint16_t value) {
    data.push_back(static_cast<std::uint8_t>(value));
    data.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendU32(Bytes& data, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline void appendBytes(Bytes& data, ByteView more) {
    data.insert(data.end(), more.begin(), more.end());
}

// Zero bytes up to the next multiple of alignment (a power of two).
inline void padTo(Bytes& data, std::size_t alignment) {
    data.resize((data.size() + alignment - 1) & ~(alignment - 1), 0);
}

inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

}  // namespace kite::brand
