// The windowed builds' output capture: one named pipe that takes the
// missing standard streams, read by a thread of its own with overlapped
// reads, so that a request to settle can take what a pending read holds
// and what the pipe still holds without waiting for more.
#pragma once

#include <windows.h>

#include "platform/output_capture.h"
#include "platform/win32/win32_handles.h"

namespace kite {

class Win32OutputCapture : public OutputCapture {
public:
    Win32OutputCapture();
    ~Win32OutputCapture() override;
    Win32OutputCapture(const Win32OutputCapture&) = delete;
    Win32OutputCapture& operator=(const Win32OutputCapture&) = delete;

    bool start(CapturedOutputReceiver& receiver, bool output, bool error) override;
    void settle() override;
    void exclusive(const std::function<void()>& action) override;
    void stop() override;

private:
    static DWORD WINAPI readerMain(void* self);
    void readLoop();
    // Reads what the pipe holds now, without waiting for more.
    void takeAvailable(OVERLAPPED& overlapped, char* buffer, DWORD size);
    void hand(const char* data, DWORD size);

    CRITICAL_SECTION handing_;   // held while the receiver gets a piece
    CRITICAL_SECTION settling_;  // one settle or stop at a time
    CapturedOutputReceiver* receiver_ = nullptr;
    KernelHandle readEnd_;
    KernelHandle writeEnd_;
    KernelHandle readDone_;
    KernelHandle settleRequest_;
    KernelHandle settled_;
    KernelHandle stopRequest_;
    KernelHandle thread_;
};

}  // namespace kite
