// The service control manager binding of the Windows builds.
#pragma once

#include "platform/service_control.h"
#include "platform/win32/win32_handles.h"

namespace kite {

class Win32ServiceControl : public ServiceControl {
public:
    Win32ServiceControl();
    ~Win32ServiceControl() override;
    std::int32_t runDispatcher(ServiceCallbacks& callbacks) override;
    bool registerHandler() override;
    bool reportStatus(const ServiceStatus& status) override;
    void serialized(const std::function<void()>& action) override;
    void logError(const WideString& line) override;

private:
    static DWORD WINAPI startProgress(void* self);
    void endStartProgress();

    // The last report, repeated with the next checkpoint while it is START_PENDING.
    SERVICE_STATUS lastReport_{};
    // Set when the start-pending reports end; the thread that repeats them.
    KernelHandle startSettled_;
    KernelHandle progressThread_;
};

}  // namespace kite
