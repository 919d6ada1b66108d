// Where a top-level window is centred: over an area (its owner, or the work
// area of its monitor) and kept inside the work area.
#pragma once

#include <cstdint>

namespace kite {

struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// The top-left corner of a window of the given size centred over area, moved
// back inside workArea: first off its right (bottom) edge, then onto its left
// (top) edge, so a window larger than the work area is pinned to its left and
// top edges. Divisions truncate toward zero.
ScreenPoint centeredPosition(const ScreenRect& area, const ScreenRect& workArea, std::int32_t width,
                             std::int32_t height);

}  // namespace kite
