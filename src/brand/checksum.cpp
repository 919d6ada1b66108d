#include "brand/checksum.h"

namespace kite::brand {

std::uint32_t peChecksum(ByteView file, std::size_t checksumOffset) {
    const auto byteAt = [&](std::size_t index) -> std::uint32_t {
        if (index >= file.size() || (index >= checksumOffset && index - checksumOffset < 4)) {
            return 0;
        }
        return file[index];
    };
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        sum += byteAt(i) | (byteAt(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<std::uint32_t>(file.size());
}

}  // namespace kite::brand
