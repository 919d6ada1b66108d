#include "platform/win32/message_box_sink.h"

#include <windows.h>

#include "platform/win32/module_file_name.h"
#include "platform/win32/win32_handles.h"

namespace kite {

namespace {

// Standard output goes to a file or pipe: a script started the program and
// reads the line there.
bool stdoutRedirected() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(out);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// False in a window station nobody sees (a service's): a box there would
// wait for a click that never comes.
bool windowsVisible() {
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (station == nullptr ||
        !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
        return true;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// The executable's file name without its extension: the caption when the
// settings name no product.
WideString executableName() {
    std::wstring module;
    if (!moduleFileName(module)) return u"Kite";
    WideString path(reinterpret_cast<const char16_t*>(module.data()), module.size());
    path.erase(0, path.find_last_of(u"\\/") + 1);
    const std::size_t dot = path.rfind(u'.');
    if (dot != WideString::npos && dot > 0) path.erase(dot);
    return path;
}

}  // namespace

MessageBoxSink::MessageBoxSink(Environment& console) : console_(console), stdoutRedirected_(stdoutRedirected()) {}

void MessageBoxSink::deliverError(const WideString& text, const WideString& productName, const WideString& details) {
    if (stdoutRedirected_) console_.deliverError(text, productName, details);
    if (!windowsVisible()) return;
    const WideString caption = productName.empty() ? executableName() : productName;
    WideString shown = text;
    if (!details.empty()) {
        while (!shown.empty() && shown.back() == u'\n') shown.pop_back();
        shown += u"\n\n" + details;
    }
    MessageBoxW(nullptr, wide(shown), wide(caption), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace kite
