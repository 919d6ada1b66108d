// One launch, stage by stage:
//  1. the command line and the start-up settings (settings/), and the main
//     jar's manifest (jar/);
//  2. the single-instance guard (instance/): a later start hands its
//     arguments to the primary and ends with its reply;
//  3. runtime discovery (discovery/): the JVM library to load, or the paired
//     executable to start in this one's place;
//  4. the library path and the JVM library (jvm/java_vm), then the options
//     (jvm/option_assembly);
//  5. the Java main thread (jvm/main_invocation): the VM, the output files
//     and main; a windowed start keeps the JVM's output (jvm/start_output);
//  6. the teardown: the VM is destroyed once its last non-daemon thread has
//     ended (main may return before), the guard released;
//  7. the restart (instance/restart): when the application ended with the
//     "Restart Code", the executable starts again as a new process. On
//     System.exit this happens in the VM's exit hook, the guard released
//     first, just before the process ends.
// In service mode the service host (service/) runs steps 4 and 5 and the
// VM's destruction when the service manager starts the service: it is
// reported running once main is called, and stopped once the VM has ended.
#include "launcher/launcher.h"

#include "discovery/runtime_discovery.h"
#include "foundation/message_catalog.h"
#include "instance/instance_guard.h"
#include "instance/restart.h"
#include "jar/main_jar.h"
#include "jvm/archive_creation.h"
#include "jvm/class_data_archive.h"
#include "jvm/java_vm.h"
#include "jvm/main_invocation.h"
#include "jvm/option_assembly.h"
#include "jvm/start_output.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "service/service_host.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "settings/launch_settings.h"
#include "settings/message_settings.h"

namespace kite {

namespace {

// The options handed to the JVM, one per trace line, credentials masked;
// VM creation appends its two hooks after them.
void traceJvmOptions(Platform& platform, const Trace& trace, const std::vector<std::string>& options) {
    if (!trace.on()) return;
    trace.write([&] {
        return u"JVM options (" + traceNumber(static_cast<std::int64_t>(options.size())) +
               u", then the hooks \"abort\" and \"exit\"):";
    });
    for (const std::string& option : options) {
        trace.write([&] { return u"  " + traceOption(platform.env.widenText(option)); });
    }
}

// The stages' results, in the order the sequence makes them. Members are
// destroyed in reverse order, and the destructor's body runs first: the VM is
// destroyed while the service objects still live, since its exit hook may
// run during that teardown and then finds a live listener.
class Launch : private VmExitListener {
public:
    Launch(Platform& platform, ServiceControl& serviceControl, MessageSink* messages, OutputCapture* output)
        : platform_(platform),
          trace_(platform.env, platform.fs),
          javaVm_(platform, trace_),
          startOutput_(platform, output),
          guard_(platform, trace_, javaVm_, settings_.mainClass),
          serviceHost_(serviceControl),
          serviceAdapter_(serviceHost_, platform, javaVm_, settings_,
                          [this](const WideStringList& arguments, const std::vector<std::string>& leadingOptions,
                                 const MainEvents& events) { return run(arguments, leadingOptions, events); }) {
        // In service mode every error line also goes to the service log.
        setErrorLog(&serviceAdapter_);
        setMessageSink(messages);
    }
    ~Launch() {
        serviceAdapter_.waitForStopThreads();
        setMessageSink(nullptr);
        setErrorLog(nullptr);
        javaVm_.destroy();
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    std::int32_t main();
    // The restart to make once the launch has ended: none unless main was
    // called.
    RestartSettings restartSettings() const { return applicationRan_ ? settings_.restart : RestartSettings{}; }

private:
    // System.exit: the start output's box for a start that ended before
    // main shows first. With the restart code the new process is started from
    // the exit hook, which the process does not leave.
    void onVmExit(std::int32_t exitCode) override {
        startOutput_.onVmExit(exitCode);
        if (!settings_.restart.enabled || exitCode != settings_.restart.code) return;
        guard_.release();
        restartIfAsked(platform_, trace_, settings_.restart, exitCode);
    }
    void onVmAbort() override { startOutput_.onVmAbort(); }

    bool start();
    // serviceEvents: what the service adapter learns about main.
    std::int32_t run(const WideStringList& serviceArguments, const std::vector<std::string>& leadingOptions,
                     const MainEvents& serviceEvents);

    Platform& platform_;
    Trace trace_;
    WideStringList arguments_;
    LaunchSettings settings_;
    ChosenRuntime runtime_;
    JavaVm javaVm_;
    StartOutput startOutput_;
    InstanceGuard guard_;
    JvmOptions jvm_;
    ServiceHost serviceHost_;
    ServiceAdapter serviceAdapter_;
    bool applicationRan_ = false;
};

// Everything before the JVM library is loaded. True when the start goes on
// (a later start of a single instance goes on to wait for the primary).
bool Launch::start() {
    // The publisher's language and texts, before anything can be reported.
    applyMessageSettings(platform_, trace_);
    parseCommandLine(platform_, arguments_);
    if (!readLaunchSettings(platform_, settings_)) return false;
    if (!readMainJar(platform_, trace_, settings_)) return false;
    if (!guard_.setUp(arguments_)) return false;
    if (guard_.isSecondary()) return true;  // arguments handed to the primary
    if (settings_.overrideWorkingDir) applyWorkingDirectory(platform_);
    if (!RuntimeDiscovery(platform_, settings_.requirements, trace_).discover(runtime_)) return false;
    if (!runtime_.pickedFolder.empty()) recordJrePath(platform_, settings_, runtime_.pickedFolder);
    return true;
}

std::int32_t Launch::run(const WideStringList& serviceArguments, const std::vector<std::string>& leadingOptions,
                         const MainEvents& serviceEvents) {
    if (runtime_.launchPairProduct) {
        trace_.write([&] { return u"paired executable " + settings_.pair.product + u" starts in this one's place"; });
        return platform_.processes.startPairedProcess(settings_.pair.product, settings_.pair.returnCode);
    }
    if (guard_.isSecondary()) return guard_.waitForPrimary();
    for (const WideString& argument : serviceArguments) arguments_.append(argument);
    jvm_.options = leadingOptions;
    if (!setUpLibraryPath(platform_, trace_, settings_, runtime_.jvmLibraryPath, jvm_.options)) return -1;
    if (!javaVm_.loadLibrary(runtime_.jvmLibraryPath)) return -1;
    if (!assembleJvmOptions(platform_, trace_, settings_, runtime_, arguments_, jvm_)) return -1;
    traceJvmOptions(platform_, trace_, jvm_.options);
    javaVm_.setKeepThreadsAttached(runtime_.ibm);
    // A windowed start (never a service) keeps what the JVM prints.
    const bool windowed = !settings_.service.serviceMode && startOutput_.windowed();
    if (windowed && startOutput_.begin(jvm_.output, settings_.product.name) && jvm_.vfprintfHook == nullptr) {
        jvm_.vfprintfHook = vmOutputHook(platform_.env);
    }
    // Never set in service mode, where the service adapter listens.
    if (settings_.restart.enabled || windowed) javaVm_.setExitListener(this);
    // The archive the JVM writes is published once the VM has ended, at
    // DestroyJavaVM or in the exit hook.
    javaVm_.setEndAction([this] { publishClassDataArchive(platform_, trace_, jvm_.archive); });
    MainEvents events;
    events.starting = [this, &serviceEvents] {
        // A later start of a single-instance application waits for main.
        guard_.signalMainStarted();
        startOutput_.mainStarting();
        if (serviceEvents.starting) serviceEvents.starting();
    };
    events.returned = [this, &serviceEvents](bool threw) {
        startOutput_.mainReturned(threw);
        if (serviceEvents.returned) serviceEvents.returned(threw);
    };
    const WideString mainJar = settings_.jar.jarMode ? settings_.jar.path : WideString();
    const MainOutcome outcome = runJavaMain(platform_, javaVm_, jvm_, settings_.mainClass, mainJar, events);
    if (outcome.threw && !settings_.service.serviceMode) startOutput_.reportUncaught();
    // As with the java command, the application runs on while non-daemon
    // threads do after main has returned: DestroyJavaVM waits for them. A
    // service is reported stopped only after that.
    javaVm_.destroy();
    if (!outcome.called) return -1;
    applicationRan_ = true;
    return outcome.threw ? 1 : 0;
}

std::int32_t Launch::main() {
    const bool started = start();
    if (!settings_.service.serviceMode) return started ? run({}, {}, {}) : -1;
    WideString module;
    if (!modulePath(platform_, module)) return -1;
    // A service whose start failed still reports to the service manager, so
    // that the failure shows and its recovery actions run.
    if (!started) serviceHost_.setStartFailure(-1);
    serviceHost_.setApplication(&serviceAdapter_);
    javaVm_.setExitListener(&serviceAdapter_);
    const std::int32_t exitCode = serviceHost_.runDispatcher();
    return started ? exitCode : -1;
}

}  // namespace

std::int32_t launcherMain(Platform& platform, ServiceControl& serviceControl, MessageSink* messages,
                          OutputCapture* output) {
    platform.env.initLocale();
    // This executable started again to make a class-data archive.
    if (WideStringList words; parseCommandLine(platform, words), isArchiveHelperStart(platform, words))
        return runArchiveHelper(platform, words);
    std::int32_t exitCode = 0;
    RestartSettings restart;
    {
        Launch launch(platform, serviceControl, messages, output);
        exitCode = launch.main();
        restart = launch.restartSettings();
    }
    // The VM has ended and the single-instance objects are released, so the
    // new process can become the primary.
    restartIfAsked(platform, Trace(platform.env, platform.fs), restart, exitCode);
    return exitCode;
}

}  // namespace kite
