#include "platform/win32/runtime_not_found_window.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include "foundation/message_catalog.h"
#include "platform/win32/center_window.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace kite {

namespace {

// IDI_ERROR, named as a wide resource; a shared icon that is never destroyed.
const auto kErrorIcon = MAKEINTRESOURCEW(32513);

// The folder browser and the shell need COM on this thread while the dialog is up.
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialized_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

// An item id list handed out by the shell; freed with the task allocator.
class ItemIdList {
public:
    explicit ItemIdList(PIDLIST_ABSOLUTE list) : list_(list) {}
    ~ItemIdList() { CoTaskMemFree(list_); }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    PIDLIST_ABSOLUTE get() const { return list_; }

private:
    PIDLIST_ABSOLUTE list_;
};

// The template's texts from the catalog in use, so that the dialog speaks
// the language the settings chose and carries the publisher's replacements.
void setCatalogTexts(HWND dialog) {
    SetWindowTextW(dialog, wide(MessageCatalog::text(MessageId::DialogTitle)));
    const struct {
        int control;
        MessageId id;
    } texts[] = {
        {RuntimeNotFoundDialog::kFrame, MessageId::DialogFrame},
        {RuntimeNotFoundDialog::kHintText, MessageId::DialogHint},
        {RuntimeNotFoundDialog::kFolderLabel, MessageId::DialogFolderLabel},
        {RuntimeNotFoundDialog::kBrowseButton, MessageId::DialogBrowse},
        {RuntimeNotFoundDialog::kOkButton, MessageId::DialogOk},
        {RuntimeNotFoundDialog::kCancelButton, MessageId::DialogCancel},
    };
    for (const auto& text : texts) SetDlgItemTextW(dialog, text.control, wide(MessageCatalog::text(text.id)));
}

void enableOk(HWND dialog, bool enabled) {
    EnableWindow(GetDlgItem(dialog, RuntimeNotFoundDialog::kOkButton), enabled ? TRUE : FALSE);
}

}  // namespace

int RuntimeNotFoundWindow::show(HWND owner) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    ComApartment com;
    // The object travels to the dialog procedure with WM_INITDIALOG and is
    // kept in the dialog's user data from then on.
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(RuntimeNotFoundDialog::kTemplateId), owner,
                        &RuntimeNotFoundWindow::dialogProc, reinterpret_cast<LPARAM>(this));
    if (result == RuntimeNotFoundDialog::kAccepted || result == RuntimeNotFoundDialog::kCancelled)
        return static_cast<int>(result);
    return RuntimeNotFoundDialog::kNotShown;
}

INT_PTR CALLBACK RuntimeNotFoundWindow::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<RuntimeNotFoundWindow*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        return self->handle(message, wParam, lParam);
    }
    auto* self = reinterpret_cast<RuntimeNotFoundWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR RuntimeNotFoundWindow::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            initialize();
            return FALSE;  // the focus was set by initialize
        case WM_COMMAND: {
            const auto outcome = dialog_.command(LOWORD(wParam));
            if (outcome.action == RuntimeNotFoundDialog::Action::End) EndDialog(window_, outcome.result);
            else if (outcome.action == RuntimeNotFoundDialog::Action::Browse) browse();
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void RuntimeNotFoundWindow::initialize() {
    HWND link = GetDlgItem(window_, RuntimeNotFoundDialog::kDownloadLink);
    downloadLink_.setNormalFont(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
    downloadLink_.attach(link);
    setCatalogTexts(window_);
    SetDlgItemTextW(window_, RuntimeNotFoundDialog::kMessageText, wide(dialog_.message()));
    enableOk(window_, false);
    // The template names the system's error icon; set it should the static not have found it.
    if (SendDlgItemMessageW(window_, RuntimeNotFoundDialog::kErrorIcon, STM_GETICON, 0, 0) == 0) {
        SendDlgItemMessageW(window_, RuntimeNotFoundDialog::kErrorIcon, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(nullptr, kErrorIcon)), 0);
    }
    centerWindow(window_);
    // OK is disabled: Browse is the next step.
    SetFocus(GetDlgItem(window_, RuntimeNotFoundDialog::kBrowseButton));
}

void RuntimeNotFoundWindow::browse() {
    const WideString title = MessageCatalog::text(MessageId::BrowseForJreTitle);
    BROWSEINFOW info{};
    info.hwndOwner = window_;
    info.pidlRoot = nullptr;  // the desktop
    info.lpszTitle = wide(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    ItemIdList chosen(SHBrowseForFolderW(&info));
    if (chosen.get() == nullptr) return;  // the browser was cancelled
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path)) return;  // no file-system folder
    SetDlgItemTextW(window_, RuntimeNotFoundDialog::kFolderField, path);
    enableOk(window_, dialog_.browsed(fromWide(path)));
}

int Win32Platform::runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                                         WideString& folder) {
    RuntimeNotFoundDialog dialog(*this, message, static_cast<JvmType>(jvmType));
    RuntimeNotFoundWindow window(dialog);
    return dialog.finish(window.show(GetActiveWindow()), jvmLibrary, folder);
}

}  // namespace kite
