#include <jni.h>

#include "launcher/launcher.h"
#include "platform/platform.h"

namespace kite {

// Calls the main class's static "stop()" on the calling thread, attached to
// the VM for the duration of the call.
bool Launcher::callJavaStop() {
    JavaVM* vm = javaVm;
    JNIEnv* env = nullptr;
    if (vm == nullptr || vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) < 0) return true;
    const std::string className = platform_.env.narrowText(settings.mainClass);
    if (jclass mainType = env->FindClass(className.c_str())) {
        if (jmethodID stop = env->GetStaticMethodID(mainType, "stop", "()V")) {
            env->CallStaticVoidMethodA(mainType, stop, nullptr);
        }
    }
    if (env->ExceptionOccurred()) env->ExceptionDescribe();
    // A runtime from the IBM registry key keeps its threads attached.
    if (!runtime.ibm) vm->DetachCurrentThread();
    return true;
}

}  // namespace kite
