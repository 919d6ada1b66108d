// The link colours of the hyperlink control: defaults and the rule by which
// a browser colour setting ("r,g,b") is read.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/wide_string.h"

namespace kite {

struct LinkColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    // red + 256 * green + 65536 * blue, the layout of a Windows COLORREF.
    std::uint32_t packed() const { return red | (green << 8) | (static_cast<std::uint32_t>(blue) << 16); }
    bool operator==(const LinkColor&) const = default;
};

inline constexpr LinkColor kDefaultLinkColor{0, 0, 255};
inline constexpr LinkColor kDefaultVisitedColor{128, 0, 128};

// The longest setting that is read, without its terminator.
inline constexpr std::size_t kMaxColorTextLength = 11;

// Reads "red,green,blue" (each a signed decimal cut to its low 8 bits). No
// colour for a text longer than kMaxColorTextLength, a missing comma, an
// empty blue part, or a red or green part of -1.
std::optional<LinkColor> parseLinkColor(const WideString& text);

}  // namespace kite
