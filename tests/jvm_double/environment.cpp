#include "environment.h"

#include <windows.h>

#include <string_view>

#include "text_encoding.h"

namespace jvm_double {

namespace {

// Wine's drive Z: maps the Unix root: /x/y is Z:\x\y.
std::u16string windowsPath(std::u16string path) {
    if (!path.empty() && path[0] == u'/') {
        for (char16_t& c : path) {
            if (c == u'/') c = u'\\';
        }
        path.insert(0, u"Z:");
    }
    return path;
}

// The file a service's double reads in place of its environment, which the
// service manager does not pass on: jvm_double.script beside this library.
std::u16string besideScriptPath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&besideScriptPath), &self)) {
        return {};
    }
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(self, buffer, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return {};
    std::u16string path(reinterpret_cast<const char16_t*>(buffer), length);
    path.resize(path.find_last_of(u'\\') + 1);
    path += u"jvm_double.script";
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
    return path;
}

// The value of the "record=" line of the script at path, empty without one.
std::u16string recordLineOf(const std::u16string& path) {
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    std::string_view rest = content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.rfind("record=", 0) == 0) return utf16FromUtf8(line.substr(7));
    }
    return {};
}

}  // namespace

std::u16string environmentValue(const char16_t* name) {
    auto wideName = reinterpret_cast<const wchar_t*>(name);
    const DWORD size = GetEnvironmentVariableW(wideName, nullptr, 0);
    if (size == 0) return {};
    std::u16string value(size, u'\0');
    const DWORD length = GetEnvironmentVariableW(wideName, reinterpret_cast<wchar_t*>(value.data()), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::u16string pathFromEnvironment(const char16_t* name) {
    std::u16string path = environmentValue(name);
    if (!path.empty()) return windowsPath(path);
    // Not set (a service gets no environment from its test): the script beside
    // the library stands in for both variables.
    const std::u16string variable(name);
    if (variable != u"KITE_DOUBLE_SCRIPT" && variable != u"KITE_DOUBLE_RECORD") return {};
    const std::u16string script = besideScriptPath();
    if (script.empty() || variable == u"KITE_DOUBLE_SCRIPT") return script;
    return windowsPath(recordLineOf(script));
}

}  // namespace jvm_double
