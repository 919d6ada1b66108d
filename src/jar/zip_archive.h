// One entry of a ZIP archive (a jar), read from the archive's bytes: the
// end record, the central directory and the entry's local header, each
// checked against the archive's size before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kite {

// The largest central directory read: some hundred thousand entries.
inline constexpr std::size_t kMaxCentralDirectory = 64u << 20;

enum class ZipStatus {
    Found,
    NoEntry,  // the archive is sound but holds no entry of that name
    Broken,   // not a ZIP archive, or one whose records contradict each other
};

struct ZipLookup {
    ZipStatus status = ZipStatus::Broken;
    // For Broken: what was wrong, in English, for the trace.
    const char* reason = "";
};

// The content of the entry named name (compared byte for byte, or in ASCII
// letters of either case with ignoreCase), stored or deflated, at most
// maxSize bytes (larger is Broken) and with the checksum its record gives.
// Data before the archive (an executable it was appended to) is allowed.
ZipLookup readZipEntry(std::span<const std::uint8_t> archive, std::string_view name, bool ignoreCase,
                       std::size_t maxSize, std::vector<std::uint8_t>& content);

// The CRC-32 of ZIP archives.
std::uint32_t zipChecksum(std::span<const std::uint8_t> bytes);

}  // namespace kite
