// The Java main thread: creates the VM, finds the main class, calls its
// main method with the arguments and detaches.
#include "foundation/message_catalog.h"
#include "jvm/java_strings.h"
#include "jvm/jvm_interface.h"
#include "jvm/main_method.h"
#include "launcher/launcher.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"

namespace kite {

namespace {

std::uint32_t javaMainThread(Launcher& launcher) {
    if (!launcher.createVm()) return 1;
    return launcher.invokeMain() ? 0 : 1;
}

void describePendingException(JNIEnv* env) {
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
}

// The JDK's own launcher class loads the main class by its dotted name
// (and prints its own errors); null when it is not available or fails.
jclass loadThroughLauncherHelper(Launcher& launcher, JNIEnv* env) {
    if (launcher.findClassFromBootLoader == nullptr) return nullptr;
    auto findClass = reinterpret_cast<FindClassFromBootLoaderFunction>(launcher.findClassFromBootLoader);
    jclass helper = findClass(env, "sun/launcher/LauncherHelper");
    if (helper == nullptr) return nullptr;
    jmethodID checkAndLoadMain =
        env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    if (checkAndLoadMain == nullptr) return nullptr;
    WideString dottedName = launcher.settings.mainClass;
    for (char16_t& c : dottedName) {
        if (c == u'/') c = u'.';
    }
    jstring name = makeJavaString(dottedName, env);
    if (name == nullptr) return nullptr;
    const jint loadByClassName = 1;
    return static_cast<jclass>(env->CallStaticObjectMethod(helper, checkAndLoadMain, JNI_TRUE, loadByClassName, name));
}

jclass loadThroughFindClass(Launcher& launcher, JNIEnv* env) {
    Platform& platform = launcher.platform();
    jstring name = makeJavaString(launcher.settings.mainClass, env);
    if (name == nullptr) {
        printMessage(platform, MessageId::MainClassLoadFailed, {launcher.settings.mainClass});
        return nullptr;
    }
    const char* utf = env->GetStringUTFChars(name, nullptr);
    if (utf == nullptr) {
        describePendingException(env);
        return nullptr;
    }
    jclass mainClass = env->FindClass(utf);
    if (mainClass == nullptr) {
        describePendingException(env);
        printMessage(platform, MessageId::MainClassNotFound, {platform.env.widenText(utf)});
    }
    env->ReleaseStringUTFChars(name, utf);
    return mainClass;
}

// Everything up to and including the call of main; false when main could
// not be called. An exception thrown by main is left pending: the VM reports
// it as uncaught when the thread detaches, and the launch ends with 1.
bool callMain(Launcher& launcher, JNIEnv* env) {
    jclass mainClass = loadThroughLauncherHelper(launcher, env);
    if (mainClass == nullptr) mainClass = loadThroughFindClass(launcher, env);
    if (mainClass == nullptr) return false;
    MainMethod main;
    const MainSelection selection = selectMainMethod(env, mainClass, main);
    if (selection != MainSelection::Found) {
        // A missing main that the VM reported as an exception needs no line
        // of its own; a class that cannot be instantiated always gets one.
        const bool reported = env->ExceptionOccurred() != nullptr;
        describePendingException(env);
        if (!reported || selection == MainSelection::NoConstructor) {
            printMessage(launcher.platform(), MessageId::MainMethodNotFound, {});
        }
        return false;
    }
    jobjectArray arguments = nullptr;
    if (main.takesArguments) {
        arguments = makeJavaStringArray(launcher.arguments, env);
        if (arguments == nullptr) {
            describePendingException(env);
            return false;
        }
    }
    // A second start of a single-instance application waits for this.
    if (launcher.instanceChannel) launcher.instanceChannel->signalMainStarted();
    callMainMethod(env, mainClass, main, arguments);
    launcher.mainThrew = env->ExceptionOccurred() != nullptr;
    return true;
}

}  // namespace

std::uint32_t Launcher::runJavaMain() {
    if (mainThreadStackSize == 0) mainThreadStackSize = static_cast<std::uint32_t>(defaultThreadStackSize());
    auto thread = platform_.processes.startThread([this] { return javaMainThread(*this); }, mainThreadStackSize);
    if (!thread) return javaMainThread(*this);
    return thread->join();
}

bool Launcher::invokeMain() {
    const bool mainCalled = callMain(*this, jniEnv);
    // A runtime from the IBM registry key keeps the Java main thread: the
    // process then ends through System.exit or from outside.
    if (mainCalled && runtime.ibm) platform_.processes.sleepForever();
    // Detach on every path, failures included: a thread that created the VM
    // and ends attached makes the teardown's DestroyJavaVM wait for ever.
    const bool detached = javaVm->DetachCurrentThread() == JNI_OK;
    return mainCalled && detached;
}

}  // namespace kite
