// The records of a ZIP archive that a single look-up needs (all numbers
// little-endian):
//   end of central directory: signature, disk numbers, entry counts, the
//     central directory's size and offset, a comment of up to 65535 bytes;
//     the last 22 + 65535 bytes of the file hold it.
//   ZIP64 end record and its locator just before the end record, when the
//     end record's counts or offsets overflowed 16 or 32 bits.
//   central directory entry: method, flags, sizes, CRC, name, the offset of
//     the local header; ZIP64 sizes and offset in its extra field.
//   local header: its own name and extra field lengths precede the data.
// Offsets are relative to the archive's start, which may lie after other
// data: the distance between where the central directory is and where the
// end record says it is gives that start.
#include "jar/zip_archive.h"

#include <array>

#include "jar/inflate.h"

namespace kite {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::uint16_t kZip64ExtraId = 0x0001;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(read16(bytes, at)) | (static_cast<std::uint32_t>(read16(bytes, at + 2)) << 16);
}

std::uint64_t read64(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint64_t>(read32(bytes, at)) | (static_cast<std::uint64_t>(read32(bytes, at + 4)) << 32);
}

ZipLookup broken(const char* reason) { return {ZipStatus::Broken, reason}; }

bool sameName(std::span<const std::uint8_t> stored, std::string_view name, bool ignoreCase) {
    if (stored.size() != name.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        unsigned char a = stored[i];
        unsigned char b = static_cast<unsigned char>(name[i]);
        if (ignoreCase) {
            if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
            if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        }
        if (a != b) return false;
    }
    return true;
}

struct CentralDirectory {
    std::size_t start = 0;   // in the file
    std::size_t size = 0;
    std::size_t base = 0;    // where the archive's offsets count from
    std::uint64_t entries = 0;
};

// The end record nearest the file's end whose comment reaches exactly to
// the end; a signature inside a comment does not qualify.
bool findEndRecord(std::span<const std::uint8_t> file, std::size_t& at) {
    if (file.size() < kEndSize) return false;
    const std::size_t lowest = file.size() - kEndSize > kMaxComment ? file.size() - kEndSize - kMaxComment : 0;
    for (std::size_t position = file.size() - kEndSize + 1; position-- > lowest;) {
        if (read32(file, position) == kEndSignature &&
            position + kEndSize + read16(file, position + 20) == file.size()) {
            at = position;
            return true;
        }
    }
    return false;
}

ZipLookup locateCentralDirectory(std::span<const std::uint8_t> file, CentralDirectory& directory) {
    std::size_t end = 0;
    if (!findEndRecord(file, end)) return broken("no end of central directory record");
    std::uint64_t entries = read16(file, end + 10);
    std::uint64_t size = read32(file, end + 12);
    std::uint64_t offset = read32(file, end + 16);
    std::size_t directoryEnd = end;  // the central directory ends where the next record begins
    if (entries == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        // The ZIP64 end record, normally just before its locator.
        if (end < kZip64LocatorSize + kZip64EndSize || read32(file, end - kZip64LocatorSize) != kZip64LocatorSignature)
            return broken("ZIP64 end record locator missing");
        const std::size_t zip64End = end - kZip64LocatorSize - kZip64EndSize;
        if (read32(file, zip64End) != kZip64EndSignature) return broken("ZIP64 end record missing");
        entries = read64(file, zip64End + 32);
        size = read64(file, zip64End + 40);
        offset = read64(file, zip64End + 48);
        directoryEnd = zip64End;
    }
    if (size > kMaxCentralDirectory) return broken("central directory too large");
    if (size > directoryEnd) return broken("central directory larger than the file");
    directory.size = static_cast<std::size_t>(size);
    directory.start = directoryEnd - directory.size;
    if (offset > directory.start) return broken("central directory offset beyond the file");
    directory.base = directory.start - static_cast<std::size_t>(offset);
    // Every entry takes at least its fixed part.
    if (entries > directory.size / kCentralSize) return broken("more entries than the central directory holds");
    directory.entries = entries;
    return {ZipStatus::Found, ""};
}

struct EntryRecord {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t checksum = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
};

// Replaces the fields that overflowed 32 bits by their ZIP64 values.
bool applyZip64Extra(std::span<const std::uint8_t> extra, EntryRecord& entry) {
    std::size_t at = 0;
    while (extra.size() - at >= 4) {
        const std::uint16_t id = read16(extra, at);
        const std::size_t length = read16(extra, at + 2);
        at += 4;
        if (extra.size() - at < length) return false;
        if (id == kZip64ExtraId) {
            std::size_t field = at;
            for (std::uint64_t* value : {&entry.size, &entry.compressedSize, &entry.localOffset}) {
                if (*value != 0xFFFFFFFF) continue;
                if (field + 8 > at + length) return false;
                *value = read64(extra, field);
                field += 8;
            }
            return true;
        }
        at += length;
    }
    return entry.size != 0xFFFFFFFF && entry.compressedSize != 0xFFFFFFFF && entry.localOffset != 0xFFFFFFFF;
}

ZipLookup findEntry(std::span<const std::uint8_t> file, const CentralDirectory& directory, std::string_view name,
                    bool ignoreCase, EntryRecord& entry) {
    const std::span<const std::uint8_t> records = file.subspan(directory.start, directory.size);
    std::size_t at = 0;
    for (std::uint64_t index = 0; index < directory.entries; ++index) {
        if (records.size() - at < kCentralSize || read32(records, at) != kCentralSignature)
            return broken("central directory entry damaged");
        const std::size_t nameLength = read16(records, at + 28);
        const std::size_t extraLength = read16(records, at + 30);
        const std::size_t commentLength = read16(records, at + 32);
        const std::size_t length = kCentralSize + nameLength + extraLength + commentLength;
        if (records.size() - at < length) return broken("central directory entry beyond the directory");
        if (sameName(records.subspan(at + kCentralSize, nameLength), name, ignoreCase)) {
            entry.flags = read16(records, at + 8);
            entry.method = read16(records, at + 10);
            entry.checksum = read32(records, at + 16);
            entry.compressedSize = read32(records, at + 20);
            entry.size = read32(records, at + 24);
            entry.localOffset = read32(records, at + 42);
            if (!applyZip64Extra(records.subspan(at + kCentralSize + nameLength, extraLength), entry))
                return broken("ZIP64 sizes of an entry missing");
            return {ZipStatus::Found, ""};
        }
        at += length;
    }
    return {ZipStatus::NoEntry, ""};
}

constexpr std::array<std::uint32_t, 256> kChecksumTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1u) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[i] = value;
    }
    return table;
}();

}  // namespace

std::uint32_t zipChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) value = kChecksumTable[(value ^ byte) & 0xFFu] ^ (value >> 8);
    return value ^ 0xFFFFFFFFu;
}

ZipLookup readZipEntry(std::span<const std::uint8_t> file, std::string_view name, bool ignoreCase,
                       std::size_t maxSize, std::vector<std::uint8_t>& content) {
    content.clear();
    CentralDirectory directory;
    if (const ZipLookup located = locateCentralDirectory(file, directory); located.status != ZipStatus::Found)
        return located;
    EntryRecord entry;
    if (const ZipLookup found = findEntry(file, directory, name, ignoreCase, entry); found.status != ZipStatus::Found)
        return found;
    if ((entry.flags & 1u) != 0) return broken("entry encrypted");
    if (entry.method != 0 && entry.method != 8) return broken("entry compressed with a method other than deflate");
    if (entry.size > maxSize) return broken("entry larger than allowed");

    // The entry's data lies between its local header and the central directory.
    const std::size_t dataLimit = directory.start;
    if (entry.localOffset > dataLimit - directory.base || dataLimit - directory.base - entry.localOffset < kLocalSize)
        return broken("local header offset beyond the entries");
    const std::size_t local = directory.base + static_cast<std::size_t>(entry.localOffset);
    if (read32(file, local) != kLocalSignature) return broken("local header damaged");
    const std::size_t dataStart = local + kLocalSize + read16(file, local + 26) + read16(file, local + 28);
    if (dataStart > dataLimit || dataLimit - dataStart < entry.compressedSize)
        return broken("entry data beyond the entries");
    const std::span<const std::uint8_t> data = file.subspan(dataStart, static_cast<std::size_t>(entry.compressedSize));

    if (entry.method == 0) {
        if (entry.compressedSize != entry.size) return broken("stored entry with two sizes");
        content.assign(data.begin(), data.end());
    } else {
        switch (inflateRaw(data, static_cast<std::size_t>(entry.size), content)) {
        case InflateResult::Done: break;
        case InflateResult::Truncated: return broken("deflated data ends early");
        case InflateResult::Corrupt: return broken("deflated data damaged");
        case InflateResult::TooLarge: return broken("deflated data longer than its recorded size");
        }
        if (content.size() != entry.size) return broken("deflated data shorter than its recorded size");
    }
    if (zipChecksum(content) != entry.checksum) return broken("entry checksum wrong");
    return {ZipStatus::Found, ""};
}

}  // namespace kite
