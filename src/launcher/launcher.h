// The one object per process that carries all state of a launch, with the
// start-up sequence (init), the launch itself (run) and the teardown.
// The JVM-hosting, discovery, service and single-instance operations are
// members too; each is defined in the subsystem folder that owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "discovery/runtime_requirements.h"
#include "jvm/archive_creation.h"
#include "settings/launch_settings.h"
#include "foundation/trace.h"
#include "foundation/wide_string.h"

struct JavaVM_;
struct JNIEnv_;

namespace kite {

class Platform;
class ServiceControl;
class ThreadHandle;
class RuntimeNotFoundPrompt;
class InstanceChannel;
class ForwardedStart;
class SettingsStore;
class MessageSink;

// Receiver of the JVM's exit and abort events (service mode only).
class VmExitListener {
public:
    virtual ~VmExitListener() = default;
    virtual void onVmExit(std::int32_t exitCode) = 0;
    virtual void onVmAbort() = 0;
};

class Launcher {
public:
    explicit Launcher(Platform& platform);
    ~Launcher();  // the teardown
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // --- start-up sequence (launcher/) -----------------------------------------
    bool init();
    std::int32_t run();

    // --- JVM hosting (jvm/) -------------------------------------------------------
    // False after the error line when a path of the library path option
    // cannot be given to the JVM.
    bool setUpLibraryPath();
    bool assembleJvmOptions();
    bool loadJvmLibrary(const WideString& path);
    std::int32_t defaultThreadStackSize();
    bool createVm();
    void destroyJavaVm();
    std::uint32_t runJavaMain();
    bool invokeMain();
    // "Class Data Archive" (jvm/class_data_archive.cpp): adds the archive
    // options after the others; publishes a newly written archive once the
    // VM has ended (at DestroyJavaVM or in the exit hook).
    void addClassDataArchiveOptions(SettingsStore& store, const WideStringList& classPath);
    void publishClassDataArchive();

    // --- service mode (service/) ------------------------------------------------
    bool callJavaStop();

    // --- single instance and paired process (instance/) ------------------------
    bool setUpInstanceGuard();
    std::int32_t waitForPrimary();
    void deliverForwardedArguments(ForwardedStart& start);
    std::int32_t runPairedProduct();

    Platform& platform() { return platform_; }

    // --- fields, in the order of the data model ------------------------------
    VmExitListener* vmExitListener = nullptr;
    JavaVM_* javaVm = nullptr;
    JNIEnv_* jniEnv = nullptr;
    WideStringList arguments;
    // The start-up settings, and the runtime discovery chose.
    LaunchSettings settings;
    ChosenRuntime runtime;
    std::vector<std::string> jvmOptions;
    // Single-instance state: the platform channel owns the shared block,
    // mapping, listener thread and start event.
    std::unique_ptr<InstanceChannel> instanceChannel;
    bool isPrimary = false;
    bool singleInstance = false;
    WideString outputFile;
    WideString errorFile;
    bool outputAppend = false;
    bool errorAppend = false;
    WideString cmdArguments;
    std::uint32_t mainThreadStackSize = 0;
    // main ended with an exception: the launch ends with 1, as the java command does.
    bool mainThrew = false;
    void* createJavaVm = nullptr;
    void* getDefaultJavaVmInitArgs = nullptr;
    void* findClassFromBootLoader = nullptr;
    // The archive this start has the JVM write, and its final name without
    // "<size>.jsa".
    WideString archiveBeingCreated;
    WideString archiveFinalPrefix;
    // A two-step archive (jvm/archive_creation.h): the recording this start
    // makes, and the helper's job that makes the archive from it afterwards.
    WideString archiveRecording;
    ArchiveHelperJob archiveCreation;
    // The diagnostic trace (KITE_TRACE=1), decided once when the Launcher is made.
    Trace trace;

private:
    Platform& platform_;
};

// The process-wide pointer through which the JVM hooks find the Launcher.
extern Launcher* currentLauncher;

// The process entry: runs one launch and returns the exit code. messages
// receives the error messages (null: the console line on standard output).
std::int32_t launcherMain(Platform& platform, ServiceControl& serviceControl, MessageSink* messages = nullptr);

}  // namespace kite
