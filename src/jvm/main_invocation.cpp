#include "jvm/main_invocation.h"

#include "foundation/message_catalog.h"
#include "jvm/java_strings.h"
#include "jvm/jvm_interface.h"
#include "jvm/main_method.h"
#include "jvm/output_redirection.h"
#include "platform/platform.h"

namespace kite {

namespace {

// What the Java main thread works with.
struct MainThread {
    Platform& platform;
    JavaVm& javaVm;
    JvmOptions& jvm;
    const WideString& mainClass;
    const WideString& mainJar;
    const MainEvents& events;
    MainOutcome outcome;
};

void describePendingException(JNIEnv* env) {
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
}

// The JDK's own launcher class loads the main class by its dotted name, or
// from a jar's manifest as for java -jar, applying the manifest's module and
// agent attributes (and prints its own errors); null when it is not
// available or fails.
jclass loadThroughLauncherHelper(MainThread& thread, JNIEnv* env) {
    if (thread.javaVm.findClassFromBootLoader() == nullptr) return nullptr;
    auto findClass = reinterpret_cast<FindClassFromBootLoaderFunction>(thread.javaVm.findClassFromBootLoader());
    jclass helper = findClass(env, "sun/launcher/LauncherHelper");
    if (helper == nullptr) return nullptr;
    jmethodID checkAndLoadMain =
        env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    if (checkAndLoadMain == nullptr) return nullptr;
    const jint loadByClassName = 1;
    const jint loadFromJar = 2;
    WideString what = thread.mainJar;
    if (what.empty()) {
        what = thread.mainClass;
        for (char16_t& c : what) {
            if (c == u'/') c = u'.';
        }
    }
    jstring name = makeJavaString(what, env);
    if (name == nullptr) return nullptr;
    const jint mode = thread.mainJar.empty() ? loadByClassName : loadFromJar;
    return static_cast<jclass>(env->CallStaticObjectMethod(helper, checkAndLoadMain, JNI_TRUE, mode, name));
}

jclass loadThroughFindClass(MainThread& thread, JNIEnv* env) {
    Platform& platform = thread.platform;
    jstring name = makeJavaString(thread.mainClass, env);
    if (name == nullptr) {
        printMessage(platform, MessageId::MainClassLoadFailed, {thread.mainClass});
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
bool callMain(MainThread& thread, JNIEnv* env) {
    jclass mainClass = loadThroughLauncherHelper(thread, env);
    if (mainClass == nullptr) mainClass = loadThroughFindClass(thread, env);
    if (mainClass == nullptr) return false;
    MainMethod main;
    const MainSelection selection = selectMainMethod(env, mainClass, main);
    if (selection != MainSelection::Found) {
        // A missing main that the VM reported as an exception needs no line
        // of its own; a class that cannot be instantiated always gets one.
        const bool reported = env->ExceptionOccurred() != nullptr;
        describePendingException(env);
        if (!reported || selection == MainSelection::NoConstructor) {
            printMessage(thread.platform, MessageId::MainMethodNotFound, {});
        }
        return false;
    }
    jobjectArray arguments = nullptr;
    if (main.takesArguments) {
        arguments = makeJavaStringArray(thread.jvm.mainArguments, env);
        if (arguments == nullptr) {
            describePendingException(env);
            return false;
        }
    }
    if (thread.events.starting) thread.events.starting();
    callMainMethod(env, mainClass, main, arguments);
    thread.outcome.threw = env->ExceptionOccurred() != nullptr;
    if (thread.events.returned) thread.events.returned(thread.outcome.threw);
    return true;
}

// Everything on the Java main thread, up to its detach.
std::uint32_t javaMainThread(MainThread& thread) {
    if (!thread.javaVm.create(thread.jvm.options, thread.jvm.vfprintfHook)) return 1;
    redirectOutputStreams(thread.platform, thread.javaVm.env(), thread.jvm.output);
    const bool mainCalled = callMain(thread, thread.javaVm.env());
    // A runtime from the IBM registry key keeps the Java main thread: the
    // process then ends through System.exit or from outside.
    if (mainCalled && thread.javaVm.keepsThreadsAttached()) thread.platform.processes.sleepForever();
    // Detach on every path, failures included: a thread that created the VM
    // and ends attached makes the teardown's DestroyJavaVM wait for ever.
    const bool detached = thread.javaVm.vm()->DetachCurrentThread() == JNI_OK;
    thread.outcome.called = mainCalled && detached;
    return thread.outcome.called ? 0 : 1;
}

}  // namespace

MainOutcome runJavaMain(Platform& platform, JavaVm& javaVm, JvmOptions& jvm, const WideString& mainClass,
                        const WideString& mainJar, const MainEvents& events) {
    if (jvm.mainThreadStackSize == 0) {
        jvm.mainThreadStackSize = static_cast<std::uint32_t>(javaVm.defaultThreadStackSize());
    }
    MainThread thread{platform, javaVm, jvm, mainClass, mainJar, events, {}};
    auto body = [&thread] { return javaMainThread(thread); };
    if (auto started = platform.processes.startThread(body, jvm.mainThreadStackSize)) {
        started->join();
    } else {
        body();
    }
    return thread.outcome;
}

}  // namespace kite
