// The service control manager binding of the Windows builds.
#pragma once

#include "platform/service_control.h"

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
};

}  // namespace kite
