#include <jni.h>

#include "jvm/java_vm.h"
#include "platform/platform.h"
#include "service/service_host.h"

namespace kite {

namespace {

// System.exit(exitCode): the VM runs its shutdown hooks, then the exit hook,
// and ends the process. Returns only when the call fails.
void exitJava(JNIEnv* env, std::int32_t exitCode) {
    jclass system = env->FindClass("java/lang/System");
    if (system == nullptr) return;
    jmethodID exit = env->GetStaticMethodID(system, "exit", "(I)V");
    if (exit == nullptr) return;
    jvalue code{};
    code.i = static_cast<jint>(exitCode);
    env->CallStaticVoidMethodA(system, exit, &code);
}

}  // namespace

void callJavaStop(Platform& platform, JavaVm& javaVm, const WideString& mainClass, std::int32_t exitCode) {
    JNIEnv* env = javaVm.attachCurrentThread();
    if (env == nullptr) return;
    const std::string className = platform.env.narrowText(mainClass);
    jmethodID stop = nullptr;
    jclass mainType = env->FindClass(className.c_str());
    if (mainType != nullptr) {
        stop = env->GetStaticMethodID(mainType, "stop", "()V");
        // A main class without "stop" is the usual case, not an error to show.
        if (stop == nullptr) env->ExceptionClear();
    }
    if (stop != nullptr) {
        env->CallStaticVoidMethodA(mainType, stop, nullptr);
    } else {
        if (env->ExceptionOccurred()) env->ExceptionDescribe();
        exitJava(env, exitCode);
    }
    if (env->ExceptionOccurred()) env->ExceptionDescribe();
    // A runtime from the IBM registry key keeps its threads attached.
    javaVm.detachCurrentThread();
}

}  // namespace kite
