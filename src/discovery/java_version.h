// Java runtime version numbers: four signed 32-bit parts read from texts
// such as 1.8.0_151, 11.0.2+9 or jdk1.6.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/wide_string.h"

namespace kite {

class JavaVersion {
public:
    static constexpr std::int32_t kOpen = 65535;  // the open upper bound's part value

    JavaVersion() = default;
    JavaVersion(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) { set(a, b, c, d); }

    void clear();
    void set(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    // Reads the digit groups of text; missing trailing parts get fill.
    bool parse(const WideString& text, std::int32_t fill);

    int compare(const JavaVersion& other) const;
    bool less(const JavaVersion& other) const { return compare(other) < 0; }
    bool greater(const JavaVersion& other) const { return compare(other) > 0; }
    bool equals(const JavaVersion& other) const { return parts == other.parts; }
    // Whether this version satisfies a preferred-version pattern.
    bool matches(const JavaVersion& pattern) const;
    bool isUnbounded() const;
    WideString toText() const;

    std::array<std::int32_t, 4> parts{0, 0, 0, 0};
    std::int32_t count = 0;
};

}  // namespace kite
