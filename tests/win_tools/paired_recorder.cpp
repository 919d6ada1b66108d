// Stands in for a paired executable in the end-to-end tests: appends its own
// command line as one UTF-8 line to the file named by KITE_RECORDER_FILE,
// waits KITE_RECORDER_SLEEP milliseconds (0 when unset) and exits with the
// code in KITE_RECORDER_EXIT (0 when unset).
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring environmentValue(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::string utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

}  // namespace

int wmain() {
    const std::wstring file = environmentValue(L"KITE_RECORDER_FILE");
    if (!file.empty()) {
        HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            const std::string line = utf8(GetCommandLineW()) + "\n";
            DWORD written = 0;
            WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(out);
        }
    }
    const std::wstring sleep = environmentValue(L"KITE_RECORDER_SLEEP");
    if (!sleep.empty()) Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    const std::wstring code = environmentValue(L"KITE_RECORDER_EXIT");
    return code.empty() ? 0 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
