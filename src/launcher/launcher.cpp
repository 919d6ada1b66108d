#include "launcher/launcher.h"

#include "discovery/runtime_discovery.h"
#include "foundation/message_catalog.h"
#include "jvm/archive_creation.h"
#include "launcher/command_line.h"
#include "settings/file_locations.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "service/service_host.h"

namespace kite {

Launcher* currentLauncher = nullptr;

namespace {

// The options handed to the JVM, one per trace line, credentials masked;
// VM creation appends its two hooks after them.
void traceJvmOptions(Launcher& launcher) {
    if (!launcher.trace.on()) return;
    launcher.trace.write([&] {
        return u"JVM options (" + traceNumber(static_cast<std::int64_t>(launcher.jvmOptions.size())) +
               u", then the hooks \"abort\" and \"exit\"):";
    });
    for (const std::string& option : launcher.jvmOptions) {
        launcher.trace.write([&] { return u"  " + traceOption(launcher.platform().env.widenText(option)); });
    }
}

}  // namespace

Launcher::Launcher(Platform& platform) : trace(platform.env, platform.fs), platform_(platform) { currentLauncher = this; }

Launcher::~Launcher() {
    destroyJavaVm();
    // Stops the single-instance listener and releases the shared objects.
    instanceChannel.reset();
    if (currentLauncher == this) currentLauncher = nullptr;
}

bool Launcher::init() {
    parseCommandLine(platform_, arguments);
    if (!readLaunchSettings(platform_, settings)) return false;
    if (!setUpInstanceGuard()) return false;
    if (singleInstance && !isPrimary) return true;  // arguments handed to the primary
    if (settings.overrideWorkingDir) applyWorkingDirectory(platform_);
    if (!RuntimeDiscovery(platform_, settings.requirements, trace).discover(runtime)) return false;
    if (!runtime.pickedFolder.empty()) recordJrePath(platform_, settings, runtime.pickedFolder);
    return true;
}

std::int32_t Launcher::run() {
    if (runtime.launchPairProduct) {
        trace.write([&] { return u"paired executable " + settings.pair.product + u" starts in this one's place"; });
        return runPairedProduct();
    }
    if (singleInstance && !isPrimary) return waitForPrimary();
    if (!setUpLibraryPath()) return -1;
    if (!loadJvmLibrary(runtime.jvmLibraryPath)) return -1;
    // Without a class path the VM would look for the main class in the
    // current folder, so the start ends here.
    if (!assembleJvmOptions()) return -1;
    traceJvmOptions(*this);
    if (runJavaMain() != 0) return -1;
    return mainThrew ? 1 : 0;
}

namespace {

// The objects of one launch. Members are destroyed in reverse order, so the
// Launcher's teardown, which destroys the Java VM, runs while the service
// objects still live: the VM's exit hook may run during that teardown and then
// finds a live listener. After the Launcher is gone the hook finds none.
struct Launch {
    Launch(Platform& platform, ServiceControl& serviceControl, MessageSink* messages)
        : serviceHost(serviceControl), serviceAdapter(serviceHost, launcher), launcher(platform) {
        // In service mode every error line also goes to the service log.
        setErrorLog(&serviceAdapter);
        setMessageSink(messages);
    }
    ~Launch() {
        serviceAdapter.waitForStopThreads();
        setMessageSink(nullptr);
        setErrorLog(nullptr);
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    ServiceHost serviceHost;
    // Keeps only a reference to the Launcher, made next.
    ServiceAdapter serviceAdapter;
    Launcher launcher;
};

}  // namespace

std::int32_t launcherMain(Platform& platform, ServiceControl& serviceControl, MessageSink* messages) {
    platform.env.initLocale();
    // This executable started again to make a class-data archive.
    if (WideStringList words; parseCommandLine(platform, words), isArchiveHelperStart(platform, words))
        return runArchiveHelper(platform, words);
    Launch launch(platform, serviceControl, messages);
    Launcher& launcher = launch.launcher;
    const bool started = launcher.init();
    if (!launcher.settings.service.serviceMode) return started ? launcher.run() : -1;
    WideString module;
    if (!modulePath(platform, module)) return -1;
    // A service whose start failed still reports to the service manager, so
    // that the failure shows and its recovery actions run.
    if (!started) launch.serviceHost.setStartFailure(-1);
    launch.serviceHost.setApplication(&launch.serviceAdapter);
    launcher.vmExitListener = &launch.serviceAdapter;
    const std::int32_t exitCode = launch.serviceHost.runDispatcher();
    return started ? exitCode : -1;
}

}  // namespace kite
