#include "discovery/image_header.h"

namespace kite {

namespace {
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

std::optional<std::uint16_t> peMachine(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 64 || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
    const std::uint32_t nt = le32(data + 60);
    // The signature and the machine field: six bytes from the NT headers' start.
    if (nt > size || size - nt < 6) return std::nullopt;
    const std::uint8_t* header = data + nt;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return std::nullopt;
    return static_cast<std::uint16_t>(header[4] | (header[5] << 8));
}

std::optional<std::uint16_t> elfMachine(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 20 || data[0] != 0x7F || data[1] != 'E' || data[2] != 'L' || data[3] != 'F')
        return std::nullopt;
    const std::uint8_t encoding = data[5];  // 1: little-endian, 2: big-endian
    if (encoding == 1) return static_cast<std::uint16_t>(data[18] | (data[19] << 8));
    if (encoding == 2) return static_cast<std::uint16_t>((data[18] << 8) | data[19]);
    return std::nullopt;
}

std::optional<std::uint16_t> imageMachine(const std::uint8_t* data, std::size_t size) {
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z') return peMachine(data, size);
    return elfMachine(data, size);
}

}  // namespace kite
