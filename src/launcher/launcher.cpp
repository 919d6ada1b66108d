#include "launcher/launcher.h"

#include "launcher/command_line.h"
#include "launcher/file_locations.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "service/service_host.h"

namespace kite {

Launcher* currentLauncher = nullptr;

namespace {

// The options handed to the JVM, one per trace line; VM creation appends
// its two hooks after them.
void traceJvmOptions(Launcher& launcher) {
    if (!launcher.trace.on()) return;
    launcher.trace.write([&] {
        return u"JVM options (" + traceNumber(static_cast<std::int64_t>(launcher.jvmOptions.size())) +
               u", then the hooks \"abort\" and \"exit\"):";
    });
    for (const std::string& option : launcher.jvmOptions) {
        launcher.trace.write([&] { return u"  " + launcher.platform().widenText(option); });
    }
}

}  // namespace

Launcher::Launcher(Platform& platform) : trace(platform), platform_(platform) { currentLauncher = this; }

Launcher::~Launcher() {
    destroyJavaVm();
    // Stops the single-instance listener and releases the shared objects.
    instanceChannel.reset();
    if (currentLauncher == this) currentLauncher = nullptr;
}

bool Launcher::init() {
    parseCommandLine(platform_, arguments);
    if (!readLauncherSettings()) return false;
    if (!setUpInstanceGuard()) return false;
    if (singleInstance && !isPrimary) return true;  // arguments handed to the primary
    if (overrideWorkingDir) applyWorkingDirectory();
    return discoverRuntime();
}

std::int32_t Launcher::run() {
    if (launchPairProduct) {
        trace.write([&] { return u"paired executable " + pairProduct + u" starts in this one's place"; });
        return runPairedProduct();
    }
    if (singleInstance && !isPrimary) return waitForPrimary();
    setUpLibraryPath();
    if (!loadJvmLibrary(jvmLibraryPath)) return -1;
    // Without a class path the VM would look for the main class in the
    // current folder, so the start ends here.
    if (!assembleJvmOptions()) return -1;
    traceJvmOptions(*this);
    return runJavaMain() == 0 ? 0 : -1;
}

std::int32_t launcherMain(Platform& platform, ServiceControl& serviceControl) {
    std::int32_t exitCode = -1;
    Launcher launcher(platform);
    ServiceHost serviceHost(serviceControl);
    ServiceAdapter serviceAdapter(serviceHost, launcher);
    platform.initLocale();
    if (!launcher.init()) return exitCode;
    if (launcher.serviceMode) {
        WideString module;
        if (modulePath(platform, module)) {
            serviceHost.setApplication(&serviceAdapter);
            launcher.vmExitListener = &serviceAdapter;
            exitCode = serviceHost.runDispatcher();
        }
    } else {
        exitCode = launcher.run();
    }
    return exitCode;
}

}  // namespace kite
