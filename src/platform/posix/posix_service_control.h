// Service mode on Linux: the process stays in the foreground, SIGTERM and
// SIGINT are the stop control, and the systemd notify protocol is spoken when
// NOTIFY_SOCKET is set.
#pragma once

#include <pthread.h>

#include <string>

#include "platform/service_control.h"

namespace kite {

class PosixServiceControl : public ServiceControl {
public:
    explicit PosixServiceControl(std::string programName);
    ~PosixServiceControl() override;
    std::int32_t runDispatcher(ServiceCallbacks& callbacks) override;
    bool registerHandler() override;
    bool reportStatus(const ServiceStatus& status) override;
    void serialized(const std::function<void()>& action) override;
    void logError(const WideString& line) override;

private:
    void notify(const char* message);

    std::string programName_;
    pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
    bool stopControlReady_ = false;
    bool stoppingSent_ = false;
};

}  // namespace kite
