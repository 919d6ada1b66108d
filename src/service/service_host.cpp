#include "service/service_host.h"

namespace kite {

bool ServiceHost::report() { return control_.reportStatus(status_); }

void ServiceHost::serviceMain(const WideStringList& arguments) {
    if (!control_.registerHandler()) return;
    bool reported = false;
    control_.serialized([&] {
        status_ = ServiceStatus{};
        status_.serviceType = kServiceWin32OwnProcess;
        status_.currentState = kServiceRunning;
        status_.controlsAccepted = kServiceAcceptStop | kServiceAcceptShutdown;
        reported = report();
    });
    if (!reported || application_ == nullptr) return;
    application_->run(arguments);
    reportStopped();
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

void ServiceHost::reportStopped() {
    control_.serialized([&] {
        status_.currentState = kServiceStopped;
        report();
    });
}

}  // namespace kite
