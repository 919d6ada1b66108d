#include "record.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "environment.h"

namespace jvm_double {

namespace {

HANDLE recordFile = INVALID_HANDLE_VALUE;
CRITICAL_SECTION recordLock;

class RecordGuard {
public:
    RecordGuard() { EnterCriticalSection(&recordLock); }
    ~RecordGuard() { LeaveCriticalSection(&recordLock); }
    RecordGuard(const RecordGuard&) = delete;
    RecordGuard& operator=(const RecordGuard&) = delete;
};

}  // namespace

void writeFully(void* handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return;
        if (written == 0) return;
        bytes.remove_prefix(written);
    }
}

void openRecord() {
    InitializeCriticalSection(&recordLock);
    const std::u16string path = pathFromEnvironment(u"KITE_DOUBLE_RECORD");
    if (path.empty()) return;
    // Appending: several processes (or loads) may share one record.
    recordFile = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
}

void recordFact(std::string_view fact) {
    if (recordFile == INVALID_HANDLE_VALUE) return;
    std::string line(fact);
    line += '\n';
    RecordGuard guard;
    writeFully(recordFile, line);
}

void writeConsoleError(std::string_view text) {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) writeFully(handle, text);
}

void fatal(std::string_view what) {
    writeConsoleError("jvm double: " + std::string(what) + "\r\n");
    recordFact("fatal=" + std::string(what));
    std::abort();
}

}  // namespace jvm_double
