// Runs the launcher as a service: the dispatcher, the control handler and the
// status reports, with the Java "stop" on a stop or shutdown control.
#pragma once

#include <atomic>
#include <cstdint>

#include "launcher/launcher.h"
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
    // Enters the dispatcher; its result is the process exit code.
    std::int32_t runDispatcher() { return control_.runDispatcher(*this); }

    void serviceMain(const WideStringList& arguments) override;
    void control(std::uint32_t code) override;
    // Reports SERVICE_STOPPED (the VM exits with 0, or run returned).
    void reportStopped();

    ServiceStatus status() const { return status_; }

private:
    bool report();

    ServiceControl& control_;
    ServiceApplication* application_ = nullptr;
    ServiceStatus status_;
};

// Connects the host and the JVM's exit hook to the Launcher.
class ServiceAdapter : public ServiceApplication, public VmExitListener {
public:
    ServiceAdapter(ServiceHost& host, Launcher& launcher) : host_(host), launcher_(launcher) {}

    std::int32_t run(const WideStringList& arguments) override;
    void requestStop() override;
    void onVmExit(std::int32_t exitCode) override;
    void onVmAbort() override {}

    // The body of a stop thread: waits until the VM exists (or the launch has
    // ended), then calls the Java "stop".
    void stopWhenVmExists();
    // Waits until every stop thread has finished with the adapter and the
    // Launcher; called before either is destroyed.
    void waitForStopThreads();

private:
    ServiceHost& host_;
    Launcher& launcher_;
    std::atomic<bool> runFinished_{false};
    std::atomic<int> stopThreads_{0};
};

}  // namespace kite
