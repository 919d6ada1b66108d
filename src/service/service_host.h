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
#include "jvm/main_invocation.h"
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
    // The wait hint of the start-pending reports, in milliseconds; the
    // Windows binding renews it with a new checkpoint every few seconds.
    static constexpr std::uint32_t kStartWaitHint = 10000;

    explicit ServiceHost(ServiceControl& control) : control_(control) {}

    void setApplication(ServiceApplication* application) { application_ = application; }
    // The start has already failed with exitCode: the service main reports
    // it as stopped with that code and runs nothing.
    void setStartFailure(std::int32_t exitCode) { startFailure_ = exitCode; }
    // Enters the dispatcher: its error code when the call fails, otherwise
    // the application's exit code.
    std::int32_t runDispatcher();

    // Reports START_PENDING, runs the application and reports its end.
    void serviceMain(const WideStringList& arguments) override;
    void control(std::uint32_t code) override;
    // Reports SERVICE_RUNNING once main is being called, unless a stop has
    // come during the start: the service is then already stop pending.
    void reportRunning();
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

// Stops the Java application from the calling thread, attached to the VM for
// the call; nothing when there is no VM. The main class's static "stop()"
// when it has one; otherwise System.exit(exitCode), which runs the shutdown
// hooks as the java command's SIGTERM does and does not return.
void callJavaStop(Platform& platform, JavaVm& javaVm, const WideString& mainClass, std::int32_t exitCode);

// Runs the application for the service: arguments come after the command
// line's, leadingOptions before every other JVM option. Returns once the VM
// has ended.
using ServiceRun = std::function<std::int32_t(
    const WideStringList& arguments, const std::vector<std::string>& leadingOptions, const MainEvents& events)>;

// Connects the host and the JVM's exit hook to the launch, and in service
// mode the error lines to the host's log.
class ServiceAdapter : public ServiceApplication, public VmExitListener, public ErrorLog {
public:
    // settings are read when the adapter is used, not when it is made.
    ServiceAdapter(ServiceHost& host, Platform& platform, JavaVm& javaVm, const LaunchSettings& settings,
                   ServiceRun run)
        : host_(host), platform_(platform), javaVm_(javaVm), settings_(settings), run_(std::move(run)) {}

    std::int32_t run(const WideStringList& arguments) override;
    // Stops the application on a thread of its own; a stop that comes before
    // main has been called is held until then, and dropped when the launch
    // ends without calling main.
    void requestStop() override;
    void onVmExit(std::int32_t exitCode) override;
    void onVmAbort() override {}
    // Passes the line on to the service log in service mode.
    void write(const WideString& line) override;

    // Waits until every stop thread has finished with the adapter and the
    // VM; called before either is destroyed.
    void waitForStopThreads();

private:
    void mainStarting();
    void startStopThread();

    ServiceHost& host_;
    Platform& platform_;
    JavaVm& javaVm_;
    const LaunchSettings& settings_;
    ServiceRun run_;
    std::atomic<bool> mainStarted_{false};
    // A stop requested before main was called, not yet started.
    std::atomic<bool> stopHeld_{false};
    // The code System.exit ends the VM with on a stop: 1 once main has
    // thrown, as a failure stays a failure when the service is stopped.
    std::atomic<std::int32_t> stopExitCode_{0};
    std::atomic<int> stopThreads_{0};
};

}  // namespace kite
