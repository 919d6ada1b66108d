// Drives the launcher's runtime-not-found dialog from outside its process,
// for the end-to-end suite under Wine:
//   dialog_driver find <ms>          waits until the dialog is shown
//   dialog_driver gone <ms>          waits until it is no longer shown
//   dialog_driver state              prints message, ok, folder, link, rect, work
//   dialog_driver texts              prints the caption and the texts of the frame, hint,
//                                    folder label and buttons, "<id>=<text>" (caption: 0)
//   dialog_driver command <id>       sends the command of a control (as a click does)
//   dialog_driver close              the close box (SC_CLOSE)
//   dialog_driver browse <folder>    presses Browse, selects folder (C:\a\b) in the
//                                    browser's tree and confirms it; "-" cancels the browser
//   dialog_driver box               prints a message box's text, icon and rect
// "--caption <text>" before the command looks for a dialog (or message box)
// of that caption instead of the runtime-not-found dialog.
// Output is UTF-8; the exit code is 0 on success, 1 when a window is missing.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

const wchar_t* caption = L"JRE nicht gefunden";

void print(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// WM_GETTEXT itself: GetWindowTextW would give an edit control of another
// process as it was created, not its current text.
std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

HWND findDialog() { return FindWindowW(L"#32770", caption); }

HWND waitForDialog(DWORD ms) {
    for (DWORD waited = 0;; waited += 50) {
        if (HWND dialog = findDialog()) return dialog;
        if (waited >= ms) return nullptr;
        Sleep(50);
    }
}

struct BrowserSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK matchBrowser(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<BrowserSearch*>(data);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        lstrcmpW(className, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The folder browser: the dialog window owned by the launcher's dialog.
HWND waitForBrowser(HWND dialog, DWORD ms) {
    for (DWORD waited = 0;; waited += 50) {
        BrowserSearch search{dialog, nullptr};
        EnumWindows(matchBrowser, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (waited >= ms) return nullptr;
        Sleep(50);
    }
}

BOOL CALLBACK printChildText(HWND child, LPARAM) {
    const std::wstring text = windowText(child);
    if (!text.empty()) print(L"browser-text=" + text + L"\n");
    return TRUE;
}

// The browser's folder tree lives in another process: item texts are read
// through a buffer allocated there. Where that memory cannot be reached as
// written (an emulated 32-bit process: qemu-i386-static puts it one page
// above the host addresses that Wine's server uses, which would read and
// write another page of the launcher), KITE_DRIVER_SELECT_TO_READ=1 has an
// item's text read by selecting it: the browser shows the selected folder's
// name in its edit field, whose text every process can ask for.
class RemoteTree {
public:
    RemoteTree(HWND tree, HWND nameField)
        : tree_(tree), nameField_(nameField), selectToRead_(GetEnvironmentVariableW(L"KITE_DRIVER_SELECT_TO_READ",
                                                                                     nullptr, 0) > 0) {
        if (selectToRead_) return;
        DWORD processId = 0;
        GetWindowThreadProcessId(tree, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId);
        if (process_ != nullptr)
            buffer_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, kBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteTree() {
        if (buffer_ != nullptr) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    bool usable() const { return selectToRead_ ? nameField_ != nullptr : buffer_ != nullptr; }

    std::wstring text(HTREEITEM item) {
        if (!selectToRead_) return textFromMemory(item);
        SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        return windowText(nameField_);
    }

    HTREEITEM next(HTREEITEM item, WPARAM relation) {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }

    // The first child of item (expanded first) whose text passes match.
    template <typename Match>
    HTREEITEM child(HTREEITEM item, Match match) {
        SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        for (HTREEITEM c = next(item, TVGN_CHILD); c != nullptr; c = next(c, TVGN_NEXT)) {
            if (match(text(c))) return c;
        }
        return nullptr;
    }

private:
    std::wstring textFromMemory(HTREEITEM item) {
        TVITEMW record{};
        record.mask = TVIF_TEXT | TVIF_HANDLE;
        record.hItem = item;
        record.pszText = reinterpret_cast<wchar_t*>(buffer_ + sizeof record);
        record.cchTextMax = MAX_PATH;
        wchar_t local[MAX_PATH] = {};
        if (!WriteProcessMemory(process_, buffer_, &record, sizeof record, nullptr) ||
            !SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer_)) ||
            !ReadProcessMemory(process_, buffer_ + sizeof record, local, sizeof local - sizeof(wchar_t), nullptr))
            return {};
        return local;
    }

    static constexpr SIZE_T kBufferSize = sizeof(TVITEMW) + (MAX_PATH + 1) * sizeof(wchar_t);
    HWND tree_;
    HWND nameField_;
    bool selectToRead_;
    HANDLE process_ = nullptr;
    char* buffer_ = nullptr;
};

HWND findChild(HWND parent, const wchar_t* className) {
    return FindWindowExW(parent, nullptr, className, nullptr);
}

// Selects a folder such as C:\a\b in the browser's tree as a user clicks
// through it: the drive below one of the desktop's items, then each folder.
// Empty when it is selected; otherwise the step that failed.
std::wstring selectInBrowser(HWND browser, const std::wstring& path) {
    HWND treeWindow = findChild(browser, L"SysTreeView32");
    if (treeWindow == nullptr) return L"no folder tree";
    if (path.size() < 2 || path[1] != L':') return L"not a path with a drive: " + path;
    RemoteTree tree(treeWindow, findChild(browser, L"Edit"));
    if (!tree.usable()) return L"no buffer in the browser's process, or no name field";
    HTREEITEM desktop = tree.next(nullptr, TVGN_ROOT);
    if (desktop == nullptr) return L"no root item";
    const std::wstring drive = path.substr(0, 2);
    const auto isDrive = [&](const std::wstring& text) {
        return text.find(L"(" + drive + L")") != std::wstring::npos || CompareStringOrdinal(
            text.c_str(), static_cast<int>(std::min<std::size_t>(text.size(), 2)), drive.c_str(), 2, TRUE) == CSTR_EQUAL;
    };
    HTREEITEM item = nullptr;
    std::wstring seen;  // the texts looked at, for the failure
    for (HTREEITEM top = tree.next(desktop, TVGN_CHILD); top != nullptr && item == nullptr; top = tree.next(top, TVGN_NEXT)) {
        seen += L" [" + tree.text(top) + L"]";
        item = tree.child(top, [&](const std::wstring& text) {
            seen += L" <" + text + L">";
            return isDrive(text);
        });
    }
    if (item == nullptr) return L"no item for drive " + drive + L" among" + seen;
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring name = path.substr(start, end - start);
        item = tree.child(item, [&](const std::wstring& text) {
            return CompareStringOrdinal(text.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
        });
        if (item == nullptr) return L"no item for folder " + name;
        start = end + 1;
    }
    SendMessageW(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return {};
}

void postCommand(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int browse(HWND dialog, const std::wstring& path) {
    postCommand(dialog, 202);
    HWND browser = waitForBrowser(dialog, 15000);
    if (browser == nullptr) {
        print(L"no folder browser\n");
        return 1;
    }
    EnumChildWindows(browser, printChildText, 0);
    if (path == L"-") {
        PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    } else {
        const std::wstring failure = selectInBrowser(browser, path);
        if (!failure.empty()) {
            print(L"selection failed: " + failure + L"\n");
            PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
            return 1;
        }
        PostMessageW(browser, WM_COMMAND, IDOK, 0);
    }
    for (int i = 0; i < 300 && IsWindow(browser); ++i) Sleep(50);
    // Let the dialog take the result before the next look at it.
    SendMessageW(dialog, WM_NULL, 0, 0);
    return IsWindow(browser) ? 1 : 0;
}

// A message box's parts are static controls: the icon and the text.
BOOL CALLBACK printBoxPart(HWND window, LPARAM) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (lstrcmpiW(className, L"Static") != 0) return TRUE;
    if ((GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        print(L"icon=" + std::to_wstring(SendMessageW(window, STM_GETICON, 0, 0) != 0 ? 1 : 0) + L"\n");
    } else if (const std::wstring text = windowText(window); !text.empty()) {
        print(L"text=" + text + L"\n");
    }
    return TRUE;
}

int box(HWND dialog) {
    EnumChildWindows(dialog, printBoxPart, 0);
    RECT rect{};
    GetWindowRect(dialog, &rect);
    print(L"rect=" + std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
          std::to_wstring(rect.right) + L"," + std::to_wstring(rect.bottom) + L"\n");
    return 0;
}

int state(HWND dialog) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    print(L"message=" + windowText(GetDlgItem(dialog, 203)) + L"\n");
    print(L"ok=" + std::to_wstring(IsWindowEnabled(GetDlgItem(dialog, 1)) ? 1 : 0) + L"\n");
    print(L"folder=" + windowText(GetDlgItem(dialog, 201)) + L"\n");
    print(L"link=" + windowText(GetDlgItem(dialog, 205)) + L"\n");
    print(L"icon=" + std::to_wstring(SendDlgItemMessageW(dialog, 204, STM_GETICON, 0, 0) != 0 ? 1 : 0) + L"\n");
    print(L"rect=" + std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
          std::to_wstring(rect.right) + L"," + std::to_wstring(rect.bottom) + L"\n");
    print(L"work=" + std::to_wstring(work.left) + L"," + std::to_wstring(work.top) + L"," +
          std::to_wstring(work.right) + L"," + std::to_wstring(work.bottom) + L"\n");
    return 0;
}

int texts(HWND dialog) {
    print(L"0=" + windowText(dialog) + L"\n");
    for (const int id : {207, 206, 208, 202, 1, 2}) {
        print(std::to_wstring(id) + L"=" + windowText(GetDlgItem(dialog, id)) + L"\n");
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 3 && std::wstring(argv[1]) == L"--caption") {
        caption = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    if (command == L"find") return waitForDialog(argc > 2 ? _wtoi(argv[2]) : 10000) ? 0 : 1;
    if (command == L"gone") {
        const DWORD ms = argc > 2 ? _wtoi(argv[2]) : 10000;
        for (DWORD waited = 0; findDialog() != nullptr; waited += 50) {
            if (waited >= ms) return 1;
            Sleep(50);
        }
        return 0;
    }
    HWND dialog = findDialog();
    if (dialog == nullptr) {
        print(L"no dialog\n");
        return 1;
    }
    if (command == L"state") return state(dialog);
    if (command == L"texts") return texts(dialog);
    if (command == L"box") return box(dialog);
    if (command == L"command" && argc > 2) {
        postCommand(dialog, _wtoi(argv[2]));
        return 0;
    }
    if (command == L"close") {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"browse" && argc > 2) return browse(dialog, argv[2]);
    return 2;
}
