#include "platform/win32/center_window.h"

#include "ui/window_placement.h"

namespace kite {

namespace {

ScreenRect screenRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

void centerWindow(HWND window) {
    RECT own{};
    if (!GetWindowRect(window, &own)) return;
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) {
        RECT client{};
        if (!GetClientRect(GetParent(window), &client)) return;
        SetWindowPos(window, nullptr, (client.left + client.right) / 2 - width / 2,
                     (client.top + client.bottom) / 2 - height / 2, 0, 0, kMoveOnly);
        return;
    }

    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && (!IsWindowVisible(owner) || IsIconic(owner))) owner = nullptr;
    HMONITOR monitor = MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return;

    ScreenRect area = screenRect(info.rcWork);
    RECT ownerRect{};
    if (owner != nullptr && GetWindowRect(owner, &ownerRect)) area = screenRect(ownerRect);
    const ScreenPoint position = centeredPosition(area, screenRect(info.rcWork), width, height);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, kMoveOnly);
}

}  // namespace kite
