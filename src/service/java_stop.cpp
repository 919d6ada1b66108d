#include <jni.h>

#include "jvm/java_vm.h"
#include "platform/platform.h"
#include "service/service_host.h"

namespace kite {

// Calls the main class's static "stop()" on the calling thread, attached to
// the VM for the duration of the call.
void callJavaStop(Platform& platform, JavaVm& javaVm, const WideString& mainClass) {
    JNIEnv* env = javaVm.attachCurrentThread();
    if (env == nullptr) return;
    const std::string className = platform.env.narrowText(mainClass);
    if (jclass mainType = env->FindClass(className.c_str())) {
        if (jmethodID stop = env->GetStaticMethodID(mainType, "stop", "()V")) {
            env->CallStaticVoidMethodA(mainType, stop, nullptr);
        }
    }
    if (env->ExceptionOccurred()) env->ExceptionDescribe();
    // A runtime from the IBM registry key keeps its threads attached.
    javaVm.detachCurrentThread();
}

}  // namespace kite
