#include "ui/window_placement.h"

namespace kite {

namespace {

std::int32_t centred(std::int32_t low, std::int32_t high, std::int32_t size, std::int32_t workLow,
                     std::int32_t workHigh) {
    // 64-bit sums: two large screen coordinates must not overflow.
    std::int64_t position = (static_cast<std::int64_t>(low) + high) / 2 - size / 2;
    if (position + size > workHigh) position = static_cast<std::int64_t>(workHigh) - size;
    if (position < workLow) position = workLow;
    return static_cast<std::int32_t>(position);
}

}  // namespace

ScreenPoint centeredPosition(const ScreenRect& area, const ScreenRect& workArea, std::int32_t width,
                             std::int32_t height) {
    return {centred(area.left, area.right, width, workArea.left, workArea.right),
            centred(area.top, area.bottom, height, workArea.top, workArea.bottom)};
}

}  // namespace kite
