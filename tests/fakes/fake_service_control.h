// A service manager for the unit tests: records every status report and lets
// the test deliver controls while the service main runs.
#pragma once

#include <functional>
#include <vector>

#include "platform/service_control.h"

namespace kite::testing {

class FakeServiceControl : public ServiceControl {
public:
    std::int32_t dispatcherError = 0;  // non-zero: the dispatcher call fails with it
    bool registrationFails = false;
    int failReportNumber = -1;  // 0-based index of a report that fails
    WideStringList startArguments{u"KiteService"};
    std::vector<ServiceStatus> reports;
    std::vector<WideString> loggedLines;

    std::int32_t runDispatcher(ServiceCallbacks& callbacks) override {
        if (dispatcherError != 0) return dispatcherError;
        callbacks_ = &callbacks;
        callbacks.serviceMain(startArguments);
        return 0;
    }
    bool registerHandler() override {
        registered = !registrationFails;
        return registered;
    }
    bool reportStatus(const ServiceStatus& status) override {
        const bool ok = static_cast<int>(reports.size()) != failReportNumber;
        reports.push_back(status);
        return ok;
    }
    void serialized(const std::function<void()>& action) override { action(); }
    void logError(const WideString& line) override { loggedLines.push_back(line); }

    // Delivers a control as the dispatcher thread would.
    void sendControl(std::uint32_t code) { callbacks_->control(code); }

    bool registered = false;

private:
    ServiceCallbacks* callbacks_ = nullptr;
};

}  // namespace kite::testing
