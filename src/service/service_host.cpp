#include "service/service_host.h"

namespace kite {

bool ServiceHost::report() { return control_.reportStatus(status_); }

std::int32_t ServiceHost::runDispatcher() {
    const std::int32_t error = control_.runDispatcher(*this);
    return error != 0 ? error : exitCode_.load();
}

void ServiceHost::serviceMain(const WideStringList& arguments) {
    if (!control_.registerHandler()) return;
    if (startFailure_ != 0) {
        // No running state for a start that has already failed.
        control_.serialized([&] {
            status_ = ServiceStatus{};
            status_.serviceType = kServiceWin32OwnProcess;
        });
        reportStopped(startFailure_);
        return;
    }
    // Start pending until main is called (reportRunning): the VM is created
    // meanwhile, which may take a while. A stop is taken already.
    bool reported = false;
    control_.serialized([&] {
        status_ = ServiceStatus{};
        status_.serviceType = kServiceWin32OwnProcess;
        status_.currentState = kServiceStartPending;
        status_.controlsAccepted = kServiceAcceptStop | kServiceAcceptShutdown;
        status_.checkPoint = 1;
        status_.waitHint = kStartWaitHint;
        reported = report();
    });
    if (!reported || application_ == nullptr) return;
    reportStopped(application_->run(arguments));
}

void ServiceHost::reportRunning() {
    control_.serialized([&] {
        if (status_.currentState != kServiceStartPending) return;
        status_.currentState = kServiceRunning;
        status_.checkPoint = 0;
        status_.waitHint = 0;
        report();
    });
}

void ServiceHost::control(std::uint32_t code) {
    if (code != kServiceControlStop && code != kServiceControlShutdown) {
        control_.serialized([&] { report(); });
        return;
    }
    bool reported = false;
    control_.serialized([&] {
        status_.win32ExitCode = 0;
        status_.checkPoint = 0;
        status_.currentState = kServiceStopPending;
        status_.waitHint = 3000;
        reported = report();
    });
    if (reported && application_ != nullptr) application_->requestStop();
}

void ServiceHost::reportStopped(std::int32_t exitCode) {
    exitCode_ = exitCode;
    control_.serialized([&] {
        // The start's wait hint does not outlive it; a stop's stays in the last report.
        if (status_.currentState == kServiceStartPending) status_.waitHint = 0;
        status_.checkPoint = 0;
        status_.currentState = kServiceStopped;
        if (exitCode != 0) {
            status_.win32ExitCode = kErrorServiceSpecificError;
            status_.serviceSpecificExitCode = static_cast<std::uint32_t>(exitCode);
        }
        report();
    });
}

}  // namespace kite
