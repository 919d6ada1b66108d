// JavaVersion parse, compare, matches and toText on arbitrary text (UTF-8
// input; the first byte picks the fill value).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "discovery/java_version.h"
#include "foundation/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::int32_t fill = data[0] & 1 ? kite::JavaVersion::kOpen : 0;
    const kite::WideString text = kite::fromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    kite::JavaVersion version;
    const bool ok = version.parse(text, fill);
    if (!ok) {
        // A failed read is 0.0.0.0 with no groups, whatever the fill.
        if (!version.equals(kite::JavaVersion(0, 0, 0, 0)) || version.count != 0) __builtin_trap();
        if (!version.isUnbounded()) __builtin_trap();
    } else {
        if (version.count < 1 || version.count > 5) __builtin_trap();
        for (std::int32_t part : version.parts) {
            if (part < 0) __builtin_trap();
        }
        for (std::int32_t k = version.count; k < 4; ++k) {
            if (version.parts[static_cast<std::size_t>(k)] != fill) __builtin_trap();
        }
    }

    // Comparison is a total order; every version matches itself.
    const kite::JavaVersion other(1, 8, 0, 151);
    if (version.compare(other) != -other.compare(version)) __builtin_trap();
    if (version.compare(version) != 0 || !version.matches(version)) __builtin_trap();
    if (version.less(other) == version.greater(other) && !version.equals(other)) __builtin_trap();
    (void)version.matches(other);
    (void)other.matches(version);

    // The printed text reads back as the same version when no part is an open 65535.
    const kite::WideString printed = version.toText();
    bool hasOpenPart = false;
    for (std::int32_t part : version.parts) hasOpenPart = hasOpenPart || part == kite::JavaVersion::kOpen;
    kite::JavaVersion reread;
    if (!reread.parse(printed, 0)) __builtin_trap();
    if (!hasOpenPart && !reread.equals(version)) __builtin_trap();
    return 0;
}
