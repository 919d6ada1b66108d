#include "platform/win32/hyperlink_control.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/win32_handles.h"

namespace kite {

namespace {

// The window property through which the subclassed control finds its object.
constexpr wchar_t kInstanceProperty[] = L"Kite.HyperlinkControl";
// IDC_HAND, named as a wide resource.
const auto kHandCursor = MAKEINTRESOURCEW(32649);

POINT pointFrom(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Releases a window's device context when it goes out of scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A colour setting of the browser: a text value of at most 11 characters.
void readColor(HKEY key, const wchar_t* name, LinkColor& color) {
    wchar_t buffer[kMaxColorTextLength + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return;  // missing, or longer than the buffer (ERROR_MORE_DATA)
    if (type != REG_SZ && type != REG_EXPAND_SZ) return;
    WideString text = fromWide(buffer, size / sizeof(wchar_t));
    const std::size_t end = text.find(u'\0');
    if (end != WideString::npos) text.resize(end);
    if (const auto parsed = parseLinkColor(text)) color = *parsed;
}

}  // namespace

HyperlinkControl::~HyperlinkControl() { detach(); }

bool HyperlinkControl::attach(HWND control) {
    if (window_ != nullptr || control == nullptr) return false;
    if (!SetPropW(control, kInstanceProperty, this)) return false;
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperlinkControl::windowProc)));
    if (previous_ == nullptr) {
        RemovePropW(control, kInstanceProperty);
        return false;
    }
    window_ = control;
    setUp();
    return true;
}

void HyperlinkControl::detach() {
    tooltip_.reset();
    linkFont_.reset();
    normalFont_.reset();
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(window_, kInstanceProperty);
    }
    window_ = nullptr;
    previous_ = nullptr;
}

void HyperlinkControl::setUp() {
    // A static control reports clicks (and hit-tests as itself) only with the notify style.
    wchar_t className[32] = {};
    if (GetClassNameW(window_, className, 32) > 0 && lstrcmpiW(className, L"static") == 0) {
        SetWindowLongPtrW(window_, GWL_STYLE, GetWindowLongPtrW(window_, GWL_STYLE) | SS_NOTIFY);
    }
    linkCursor_ = LoadCursorW(nullptr, kHandCursor);
    if (normalFont_.get() == nullptr) {
        LOGFONTW font{};
        if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0))
            normalFont_.reset(CreateFontIndirectW(&font), true);
    }
    if (linkFont_.get() == nullptr) createLinkFont();

    createTooltip();
    if (!label_) {
        const int length = GetWindowTextLengthW(window_);
        if (length > 0) {
            std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
            const int copied = GetWindowTextW(window_, text.data(), length + 1);
            label_ = fromWide(text.data(), static_cast<std::size_t>(copied));
        }
    }
    computeLinkRect();
    if (!target_ && label_) target_ = *label_;
    if (target_ && tooltip_.get() != nullptr) {
        SendMessageW(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);
        // Version 6 of the platform takes the full record, earlier ones its older, shorter form.
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExW(&version);
        TTTOOLINFOW tool{};
        tool.cbSize = version.dwMajorVersion >= 6 ? sizeof(TTTOOLINFOW) : TTTOOLINFOW_V2_SIZE;
        tool.hwnd = window_;
        tool.uId = 1;
        tool.rect = linkRect_;
        tool.lpszText = const_cast<wchar_t*>(wide(*target_));
        SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    readBrowserColors();
}

void HyperlinkControl::createLinkFont() {
    HGDIOBJ base = normalFont_.get() != nullptr ? static_cast<HGDIOBJ>(normalFont_.get()) : GetStockObject(SYSTEM_FONT);
    LOGFONTW font{};
    if (GetObjectW(base, sizeof font, &font) != sizeof font) {
        linkFont_.reset();
        return;
    }
    font.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectW(&font), true);
}

void HyperlinkControl::createTooltip() {
    // Without a tooltip the link still works.
    tooltip_.reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr), nullptr));
}

void HyperlinkControl::readBrowserColors() {
    // Only read here: asking for write access would lose the colours of a
    // user whose key is read-only.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return;
    const RegistryKey owner(key);
    readColor(key, L"Anchor Color", linkColor_);
    readColor(key, L"Anchor Color Visited", visitedColor_);
}

const WideString* HyperlinkControl::shownText() const {
    if (label_) return &*label_;
    if (target_) return &*target_;
    return nullptr;
}

UINT HyperlinkControl::alignment() const {
    switch (GetWindowLongPtrW(window_, GWL_STYLE) & SS_TYPEMASK) {
        case SS_CENTER:
            return DT_CENTER;
        case SS_RIGHT:
            return DT_RIGHT;
        default:
            return DT_LEFT;
    }
}

void HyperlinkControl::computeLinkRect() {
    linkRect_ = RECT{};
    const WideString* text = shownText();
    if (window_ == nullptr || text == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    RECT box = client;
    const UINT align = alignment();
    {
        WindowDc dc(window_);
        if (dc.get() == nullptr) return;
        HFONT font = linkFont_.get() != nullptr ? linkFont_.get() : normalFont_.get();
        HGDIOBJ previousFont = font != nullptr ? SelectObject(dc.get(), font) : nullptr;
        DrawTextW(dc.get(), wide(*text), static_cast<int>(text->size()), &box, DT_CALCRECT | DT_WORDBREAK | align);
        if (previousFont != nullptr) SelectObject(dc.get(), previousFont);
    }
    if (align == DT_CENTER) OffsetRect(&box, (client.right - box.right) / 2, 0);
    else if (align == DT_RIGHT) OffsetRect(&box, client.right - box.right, 0);
    linkRect_ = box;
    if (tooltip_.get() != nullptr && target_) {
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = window_;
        tool.uId = 1;
        tool.rect = linkRect_;
        SendMessageW(tooltip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool HyperlinkControl::cursorInLink() const {
    POINT point{};
    if (!GetCursorPos(&point) || !ScreenToClient(window_, &point)) return false;
    return PtInRect(&linkRect_, point) != 0;
}

bool HyperlinkControl::activate() {
    if (!target_ || window_ == nullptr) return false;
    HINSTANCE result = ShellExecuteW(window_, L"open", wide(*target_), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) return false;
    visited_ = true;
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    return true;
}

void HyperlinkControl::paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    if (dc == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    // The dialog's brush for static controls; without one nothing is erased.
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(window_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
    if (brush != nullptr) FillRect(dc, &client, brush);

    if (const WideString* text = shownText()) {
        const COLORREF color = !IsWindowEnabled(window_) ? GetSysColor(COLOR_GRAYTEXT)
                               : visited_                ? visitedColor_.packed()
                                                         : linkColor_.packed();
        const int previousMode = SetBkMode(dc, TRANSPARENT);
        const COLORREF previousColor = SetTextColor(dc, color);
        HFONT font = linkFont_.get() != nullptr ? linkFont_.get() : normalFont_.get();
        HGDIOBJ previousFont = font != nullptr ? SelectObject(dc, font) : nullptr;
        RECT box = linkRect_;
        DrawTextW(dc, wide(*text), static_cast<int>(text->size()), &box, DT_WORDBREAK | alignment());
        if (GetFocus() == window_) DrawFocusRect(dc, &linkRect_);
        if (previousFont != nullptr) SelectObject(dc, previousFont);
        SetTextColor(dc, previousColor);
        SetBkMode(dc, previousMode);
    }
    EndPaint(window_, &paint);
}

LRESULT HyperlinkControl::callPrevious(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(previous_, window_, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkControl::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<HyperlinkControl*>(GetPropW(window, kInstanceProperty));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT HyperlinkControl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && tooltip_.get() != nullptr) {
        // The tooltip learns of the pointer only through relayed messages.
        MSG relayed{window_, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        GetCursorPos(&relayed.pt);
        SendMessageW(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    switch (message) {
        case WM_DESTROY: {
            const HWND window = window_;
            const WNDPROC previous = previous_;
            detach();
            return CallWindowProcW(previous, window, message, wParam, lParam);
        }
        case WM_MOUSEMOVE: {
            const POINT point = pointFrom(lParam);
            if (PtInRect(&linkRect_, point)) SetCursor(linkCursor_);
            return 0;
        }
        case WM_SETCURSOR:
            if (cursorInLink()) {
                SetCursor(linkCursor_);
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN: {
            const POINT point = pointFrom(lParam);
            if (PtInRect(&linkRect_, point)) {
                SetFocus(window_);
                SetCapture(window_);
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            if (GetCapture() != window_) return 0;
            ReleaseCapture();
            const POINT point = pointFrom(lParam);
            if (PtInRect(&linkRect_, point)) activate();
            return 0;
        }
        case WM_GETDLGCODE: {
            // Characters (Space) come as WM_CHAR; Enter would press the
            // dialog's default button unless the key itself is asked for.
            LRESULT code = DLGC_WANTCHARS;
            const auto* pending = reinterpret_cast<const MSG*>(lParam);
            if (pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_CHAR:
            if (wParam == 13 || wParam == 32) activate();
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(window_, nullptr, TRUE);
            return 0;
        case WM_ENABLE:
            InvalidateRect(window_, nullptr, TRUE);
            UpdateWindow(window_);
            return 0;
        case WM_SIZE:
            computeLinkRect();
            InvalidateRect(window_, nullptr, TRUE);
            return 0;
        case WM_SETFONT: {
            const bool recreateLinkFont = linkFont_.owned() || linkFont_.get() == nullptr;
            normalFont_.reset(reinterpret_cast<HFONT>(wParam), false);
            if (recreateLinkFont) createLinkFont();
            computeLinkRect();
            if (LOWORD(lParam)) {
                InvalidateRect(window_, nullptr, TRUE);
                UpdateWindow(window_);
            }
            return 0;
        }
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(normalFont_.get());
        case WM_ERASEBKGND:
            return 1;
        case WM_UPDATEUISTATE:
            return 0;
        case WM_PAINT:
            paint();
            return 0;
        default:
            break;
    }
    return callPrevious(message, wParam, lParam);
}

}  // namespace kite
