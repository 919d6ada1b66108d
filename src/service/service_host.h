// Runs the launcher as a service: the dispatcher, the control handler and the
// status reports, with the Java "stop" on a stop or shutdown control.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/message_catalog.h"
#include "jvm/java_vm.h"
#include "settings/launch_settings.h"
#include "platform/service_control.h"

namespace kite {

// What the service host drives.
class ServiceApplication {
public:
    virtual ~ServiceApplication() = default;
    // Runs the application until it ends.
    virtual std::int32_t run(const WideStringList& arguments) = 0;
    // Starts the application's stop and returns at once.
    virtual void requestStop() = 0;
};

class ServiceHost : public ServiceCallbacks {
public:
    explicit ServiceHost(ServiceControl& control) : control_(control) {}

    void setApplication(ServiceApplication* application) { application_ = application; }
    // The start has already failed with exitCode: the service main reports
    // it as stopped with that code and runs nothing.
    void setStartFailure(std::int32_t exitCode) { startFailure_ = exitCode; }
    // Enters the dispatcher: its error code when the call fails, otherwise
    // the application's exit code.
    std::int32_t runDispatcher();

    void serviceMain(const WideStringList& arguments) override;
    void control(std::uint32_t code) override;
    // Reports SERVICE_STOPPED (the VM exits, or run returned). A non-zero
    // exitCode is reported as ERROR_SERVICE_SPECIFIC_ERROR with the code as
    // the service-specific code, so that the service manager's recovery sees
    // the failure.
    void reportStopped(std::int32_t exitCode);
    void logError(const WideString& line) { control_.logError(line); }

    ServiceStatus status() const { return status_; }

private:
    bool report();

    ServiceControl& control_;
    ServiceApplication* application_ = nullptr;
    ServiceStatus status_;
    std::int32_t startFailure_ = 0;
    // Stays -1 when the service main ends without running the application
    // (the handler registration or the first report failed).
    std::atomic<std::int32_t> exitCode_{-1};
};

class Platform;

// Calls the main class's static "stop()" on the calling thread, attached to
// the VM for the call; nothing when there is no VM.
void callJavaStop(Platform& platform, JavaVm& javaVm, const WideString& mainClass);

// Runs the application for the service: arguments come after the command
// line's, leadingOptions before every other JVM option.
using ServiceRun =
    std::function<std::int32_t(const WideStringList& arguments, const std::vector<std::string>& leadingOptions)>;

// Connects the host and the JVM's exit hook to the launch, and in service
// mode the error lines to the host's log.
class ServiceAdapter : public ServiceApplication, public VmExitListener, public ErrorLog {
public:
    // settings are read when the adapter is used, not when it is made.
    ServiceAdapter(ServiceHost& host, Platform& platform, JavaVm& javaVm, const LaunchSettings& settings,
                   ServiceRun run)
        : host_(host), platform_(platform), javaVm_(javaVm), settings_(settings), run_(std::move(run)) {}

    std::int32_t run(const WideStringList& arguments) override;
    void requestStop() override;
    void onVmExit(std::int32_t exitCode) override;
    void onVmAbort() override {}
    // Passes the line on to the service log in service mode.
    void write(const WideString& line) override;

    // The body of a stop thread: waits until the VM exists (or the launch has
    // ended), then calls the Java "stop".
    void stopWhenVmExists();
    // Waits until every stop thread has finished with the adapter and the
    // VM; called before either is destroyed.
    void waitForStopThreads();

private:
    ServiceHost& host_;
    Platform& platform_;
    JavaVm& javaVm_;
    const LaunchSettings& settings_;
    ServiceRun run_;
    std::atomic<bool> runFinished_{false};
    std::atomic<int> stopThreads_{0};
};

}  // namespace kite
