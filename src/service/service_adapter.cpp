#include <atomic>

#include "platform/common/os_conventions.h"
#include "platform/platform.h"
#include "service/service_host.h"

namespace kite {

std::int32_t ServiceAdapter::run(const WideStringList& arguments) {
    // The first start argument is the service's name.
    WideStringList passed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0 && settings_.service.omitServiceName) continue;
        passed.append(arguments[i]);
    }
    std::vector<std::string> leadingOptions;
    if (conventions(platform_.style()).serviceStopIsSignal) {
        // SIGTERM and SIGINT are the service's stop control: the JVM must not
        // take them over for its own shutdown.
        leadingOptions.push_back("-Xrs");
    }
    const MainEvents events{[this] { mainStarting(); },
                            [this](bool threw) { stopExitCode_ = threw ? 1 : 0; }};
    return run_(passed, leadingOptions, events);
}

void ServiceAdapter::mainStarting() {
    // The service runs from here on; a stop held during the start goes ahead
    // now. (The host does not report running once a stop has come.)
    mainStarted_ = true;
    host_.reportRunning();
    if (stopHeld_.exchange(false)) startStopThread();
}

void ServiceAdapter::requestStop() {
    if (!mainStarted_) {
        // Held until main is called. When main starts meanwhile, whichever of
        // the two takes the held stop back starts it, so it starts once.
        stopHeld_ = true;
        if (!mainStarted_ || !stopHeld_.exchange(false)) return;
    }
    startStopThread();
}

void ServiceAdapter::startStopThread() {
    // The thread handle is closed at once; the thread runs on by itself, and
    // the teardown waits for it (waitForStopThreads).
    ++stopThreads_;
    auto thread = platform_.processes.startThread(
        [this] {
            callJavaStop(platform_, javaVm_, settings_.mainClass, stopExitCode_.load());
            --stopThreads_;
            return std::uint32_t{0};
        },
        0);
    if (!thread) --stopThreads_;
}

void ServiceAdapter::waitForStopThreads() {
    // A stop thread ends soon after the launch has: it either finds no VM or
    // returns from the Java "stop", which the VM's destruction would wait for too.
    while (stopThreads_.load() > 0) platform_.processes.sleepMilliseconds(10);
}

void ServiceAdapter::onVmExit(std::int32_t exitCode) { host_.reportStopped(exitCode); }

void ServiceAdapter::write(const WideString& line) {
    if (settings_.service.serviceMode) host_.logError(line);
}

}  // namespace kite
