#include "platform/win32/module_file_name.h"

#include <windows.h>

namespace kite {

bool moduleFileName(std::wstring& path) {
    // Extended-length paths end at 32767 characters.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        path.assign(size, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) return false;
        if (length < size) {
            path.resize(length);
            return true;
        }
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

}  // namespace kite
