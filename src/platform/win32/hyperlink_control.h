// A static text control of a dialog turned into a hyperlink: underlined text
// in the browser's link colours, a hand cursor and a tooltip over the text,
// keyboard focus on click, and activation (click, Enter or Space) through
// the shell.
#pragma once

#include <windows.h>

#include <optional>

#include "foundation/wide_string.h"
#include "ui/link_colors.h"

namespace kite {

// A font handle that is deleted when the holder created it.
class FontHandle {
public:
    FontHandle() = default;
    ~FontHandle() { reset(); }
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;

    void reset(HFONT font = nullptr, bool owned = false) {
        if (owned_ && font_ != nullptr) DeleteObject(font_);
        font_ = font;
        owned_ = owned;
    }
    HFONT get() const { return font_; }
    bool owned() const { return owned_; }

private:
    HFONT font_ = nullptr;
    bool owned_ = false;
};

// A window that is destroyed with its holder (unless it is gone already).
class WindowHandle {
public:
    WindowHandle() = default;
    ~WindowHandle() { reset(); }
    WindowHandle(const WindowHandle&) = delete;
    WindowHandle& operator=(const WindowHandle&) = delete;

    void reset(HWND window = nullptr) {
        if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
        window_ = window;
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

class HyperlinkControl {
public:
    HyperlinkControl() = default;
    ~HyperlinkControl();
    HyperlinkControl(const HyperlinkControl&) = delete;
    HyperlinkControl& operator=(const HyperlinkControl&) = delete;

    // Before attach: the font to underline (not owned, e.g. the dialog's font),
    // the painted text and what activation opens (both default to the control's text).
    void setNormalFont(HFONT font) { normalFont_.reset(font, false); }
    void setLabel(WideString label) { label_ = std::move(label); }
    void setTarget(WideString target) { target_ = std::move(target); }

    // Takes over the message handling of an existing static control; the
    // previous handling gets the messages the link does not handle and is put
    // back when the control is destroyed.
    bool attach(HWND control);
    // Opens the target with the shell; true when the shell reports success.
    bool activate();

    bool visited() const { return visited_; }
    COLORREF linkColor() const { return linkColor_.packed(); }
    COLORREF visitedColor() const { return visitedColor_.packed(); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT callPrevious(UINT message, WPARAM wParam, LPARAM lParam);
    void setUp();
    void detach();
    void createLinkFont();
    void createTooltip();
    void readBrowserColors();
    void computeLinkRect();
    void paint();
    bool cursorInLink() const;
    UINT alignment() const;
    const WideString* shownText() const;

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    std::optional<WideString> label_;
    std::optional<WideString> target_;
    FontHandle normalFont_;
    FontHandle linkFont_;
    RECT linkRect_{};
    WindowHandle tooltip_;
    LinkColor linkColor_ = kDefaultLinkColor;
    LinkColor visitedColor_ = kDefaultVisitedColor;
    // The shared system hand cursor: owned by the system, never destroyed.
    HCURSOR linkCursor_ = nullptr;
    bool visited_ = false;
};

}  // namespace kite
