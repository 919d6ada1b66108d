// The Windows face of the runtime-not-found dialog: dialog template 201,
// shown modally; the state rules come from RuntimeNotFoundDialog.
#pragma once

#include <windows.h>

#include "platform/win32/hyperlink_control.h"
#include "ui/runtime_not_found_dialog.h"

namespace kite {

class RuntimeNotFoundWindow {
public:
    explicit RuntimeNotFoundWindow(RuntimeNotFoundDialog& dialog) : dialog_(dialog) {}
    RuntimeNotFoundWindow(const RuntimeNotFoundWindow&) = delete;
    RuntimeNotFoundWindow& operator=(const RuntimeNotFoundWindow&) = delete;

    // 1 (OK), 2 (Cancel, Escape, close box) or -1 when the dialog could not be created.
    int show(HWND owner);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void initialize();
    void browse();

    RuntimeNotFoundDialog& dialog_;
    HWND window_ = nullptr;
    HyperlinkControl downloadLink_;
};

}  // namespace kite
