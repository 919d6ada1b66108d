#include "environment.h"

#include <windows.h>

namespace jvm_double {

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
    if (!path.empty() && path[0] == u'/') {
        for (char16_t& c : path) {
            if (c == u'/') c = u'\\';
        }
        path.insert(0, u"Z:");
    }
    return path;
}

}  // namespace jvm_double
