// The platform side of service mode: the service control manager on Windows
// (dispatcher, control handler, status reports), or on Linux a foreground
// process whose SIGTERM and SIGINT are the stop control and which speaks the
// systemd notify protocol when NOTIFY_SOCKET is set.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/wide_string.h"

namespace kite {

// The seven fields of a service status report, as the service manager takes them.
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServiceAcceptStop = 1;
inline constexpr std::uint32_t kServiceAcceptShutdown = 4;
inline constexpr std::uint32_t kServiceControlStop = 1;
inline constexpr std::uint32_t kServiceControlInterrogate = 4;
inline constexpr std::uint32_t kServiceControlShutdown = 5;
// ERROR_SERVICE_SPECIFIC_ERROR: the service-specific field holds the exit code.
inline constexpr std::uint32_t kErrorServiceSpecificError = 1066;

// What the dispatcher calls back.
class ServiceCallbacks {
public:
    virtual ~ServiceCallbacks() = default;
    // The service's main function, on a thread of its own, with the start arguments.
    virtual void serviceMain(const WideStringList& arguments) = 0;
    // A control code from the service manager.
    virtual void control(std::uint32_t code) = 0;
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    // Runs the dispatcher until the service has stopped: 0 when it returned
    // normally, otherwise the platform's error code (1063 when the process
    // was not started by the service manager).
    virtual std::int32_t runDispatcher(ServiceCallbacks& callbacks) = 0;
    // Registers the control handler; called from serviceMain.
    virtual bool registerHandler() = 0;
    // Reports status. While the last report is START_PENDING, the Windows
    // binding repeats it with the next checkpoint every few seconds, so that
    // the service manager does not give up on a slow VM start; the service
    // takes stop controls from its first report on.
    virtual bool reportStatus(const ServiceStatus& status) = 0;
    // Runs action while no other thread runs one: keeps each change of the
    // shared status record and its report together.
    virtual void serialized(const std::function<void()>& action) = 0;
    // Writes an error line where a service's failures are kept, since a service
    // has no console: the Application event log (event source named after the
    // executable) on Windows, standard error (the journal) on Linux.
    virtual void logError(const WideString& line) = 0;
};

}  // namespace kite
