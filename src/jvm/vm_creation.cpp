// Creating the Java VM with the assembled options and the launcher's hooks,
// forwarding the VM's exit and abort, and destroying the VM at teardown.
#include <vector>

#include "foundation/message_catalog.h"
#include "jvm/archive_creation.h"
#include "jvm/jvm_interface.h"
#include "jvm/output_redirection.h"
#include "jvm/splash_screen.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace kite {

void JNICALL exitHook(jint code) {
    Launcher* launcher = currentLauncher;
    // System.exit: the JVM has written its archive and ends the process next.
    if (launcher != nullptr) launcher->publishClassDataArchive();
    if (launcher != nullptr && launcher->vmExitListener != nullptr) launcher->vmExitListener->onVmExit(code);
}

void JNICALL abortHook() {
    Launcher* launcher = currentLauncher;
    if (launcher != nullptr && launcher->vmExitListener != nullptr) launcher->vmExitListener->onVmAbort();
}

bool Launcher::createVm() {
    // The option texts are owned by jvmOptions; the array lives for this call.
    std::vector<JavaVMOption> options;
    options.reserve(jvmOptions.size() + 3);
    for (std::string& option : jvmOptions) options.push_back({option.data(), nullptr});
    // A recording start drops the line that announces the recording.
    if (!archiveRecording.empty())
        options.push_back({const_cast<char*>("vfprintf"), recordingOutputHook(platform_.env)});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});

    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;

    const jint result = reinterpret_cast<CreateJavaVmFunction>(createJavaVm)(
        &javaVm, reinterpret_cast<void**>(&jniEnv), &initArgs);
    if (result != JNI_OK) {
        javaVm = nullptr;
        jniEnv = nullptr;
        closeSplashScreen();
        printMessage(platform_, MessageId::JniErrorWithReason,
                     {MessageCatalog::text(MessageId::CreateJavaVmFailed), jniReasonText(result)});
        return false;
    }
    redirectOutputStreams(*this);
    return true;
}

void Launcher::destroyJavaVm() {
    // Waits until every non-daemon Java thread has ended.
    if (javaVm != nullptr) javaVm->DestroyJavaVM();
    publishClassDataArchive();
}

}  // namespace kite
