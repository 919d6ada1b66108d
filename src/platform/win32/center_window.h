// Centres a window: a child within its parent's client area; a top-level
// window over its visible, not minimised owner, otherwise over the work area
// of its monitor, and kept inside that work area.
#pragma once

#include <windows.h>

namespace kite {

void centerWindow(HWND window);

}  // namespace kite
