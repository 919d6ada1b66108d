#include "platform/win32/win32_output_capture.h"

#include <cstdint>
#include <string>

namespace kite {

namespace {

constexpr DWORD kPieceSize = 8192;

// A handle the process can write to as it is: a console, a file or a pipe
// that the starter gave it.
bool usable(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

}  // namespace

Win32OutputCapture::Win32OutputCapture() {
    InitializeCriticalSection(&handing_);
    InitializeCriticalSection(&settling_);
}

Win32OutputCapture::~Win32OutputCapture() {
    stop();
    DeleteCriticalSection(&settling_);
    DeleteCriticalSection(&handing_);
}

bool Win32OutputCapture::start(CapturedOutputReceiver& receiver, bool output, bool error) {
    if (thread_.valid()) return false;
    const bool takeOutput = output && !usable(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool takeError = error && !usable(GetStdHandle(STD_ERROR_HANDLE));
    if (!takeOutput && !takeError) return false;
    // A name of this process and object alone; the first instance only, so
    // that no other process can have made it first.
    const std::wstring name = L"\\\\.\\pipe\\kite-output-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(reinterpret_cast<std::uintptr_t>(this));
    readEnd_.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                    64 * 1024, 0, nullptr));
    if (!readEnd_.valid()) return false;
    writeEnd_.reset(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    readDone_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    settleRequest_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    settled_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    stopRequest_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!writeEnd_.valid() || !readDone_.valid() || !settleRequest_.valid() || !settled_.valid() ||
        !stopRequest_.valid()) {
        return false;
    }
    receiver_ = &receiver;
    thread_.reset(CreateThread(nullptr, 0, &Win32OutputCapture::readerMain, this, 0, nullptr));
    if (!thread_.valid()) return false;
    // The JVM reads the handles when it is created: the C runtime for its
    // own messages, java.io.FileDescriptor for System.out and System.err.
    if (takeOutput) SetStdHandle(STD_OUTPUT_HANDLE, writeEnd_.get());
    if (takeError) SetStdHandle(STD_ERROR_HANDLE, writeEnd_.get());
    return true;
}

void Win32OutputCapture::settle() {
    EnterCriticalSection(&settling_);
    if (thread_.valid()) {
        SetEvent(settleRequest_.get());
        // The reader answers, or has ended and never will.
        HANDLE waits[] = {settled_.get(), thread_.get()};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    LeaveCriticalSection(&settling_);
}

void Win32OutputCapture::exclusive(const std::function<void()>& action) {
    EnterCriticalSection(&handing_);
    action();
    LeaveCriticalSection(&handing_);
}

void Win32OutputCapture::stop() {
    EnterCriticalSection(&settling_);
    if (thread_.valid()) {
        SetEvent(stopRequest_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        // No one reads any more: a write to the standard handles that still
        // name the pipe fails at once instead of blocking once the pipe's
        // buffer is full.
        readEnd_.reset();
    }
    receiver_ = nullptr;
    LeaveCriticalSection(&settling_);
}

DWORD WINAPI Win32OutputCapture::readerMain(void* self) {
    static_cast<Win32OutputCapture*>(self)->readLoop();
    return 0;
}

void Win32OutputCapture::readLoop() {
    char buffer[kPieceSize];
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.get();
    for (;;) {
        ResetEvent(readDone_.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = readDone_.get();
        DWORD got = 0;
        if (!ReadFile(readEnd_.get(), buffer, kPieceSize, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
            return;
        }
        HANDLE waits[] = {readDone_.get(), settleRequest_.get(), stopRequest_.get()};
        const DWORD which = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) {
            if (!GetOverlappedResult(readEnd_.get(), &overlapped, &got, FALSE)) return;
            hand(buffer, got);
            continue;
        }
        // Settle or stop: what the pending read holds came first, then what
        // the pipe holds.
        CancelIo(readEnd_.get());
        if (GetOverlappedResult(readEnd_.get(), &overlapped, &got, TRUE)) hand(buffer, got);
        takeAvailable(overlapped, buffer, kPieceSize);
        if (which != WAIT_OBJECT_0 + 1) return;
        SetEvent(settled_.get());
    }
}

void Win32OutputCapture::takeAvailable(OVERLAPPED& overlapped, char* buffer, DWORD size) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd_.get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
        ResetEvent(readDone_.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = readDone_.get();
        DWORD got = 0;
        if (!ReadFile(readEnd_.get(), buffer, available < size ? available : size, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            return;
        }
        // The bytes are there: the read ends at once.
        if (!GetOverlappedResult(readEnd_.get(), &overlapped, &got, TRUE)) return;
        hand(buffer, got);
    }
}

void Win32OutputCapture::hand(const char* data, DWORD size) {
    if (size == 0) return;
    EnterCriticalSection(&handing_);
    if (receiver_ != nullptr) receiver_->received(data, size);
    LeaveCriticalSection(&handing_);
}

}  // namespace kite
