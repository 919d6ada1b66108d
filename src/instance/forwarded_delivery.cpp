// The primary's delivery of one forwarded start: the main class's static
// secondaryMain is called with the secondary's arguments on a thread attached
// to the VM, and the secondary gets its exit code from the reply.
#include <jni.h>

#include "instance/argument_area.h"
#include "jvm/java_strings.h"
#include "instance/instance_guard.h"
#include "jvm/java_vm.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"

namespace kite {

namespace {

// Everything after the attach, up to and including the call. Returns with a
// Java exception possibly pending; the caller describes it.
void callSecondaryMain(Platform& platform, const WideString& mainClassName, JNIEnv* env, ForwardedStart& start) {
    jclass mainClass = env->FindClass(platform.env.narrowText(mainClassName).c_str());
    if (mainClass == nullptr) return;
    bool returning = false;
    jmethodID method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)V");
    if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
    if (method == nullptr) {
        // The failed look-up of this one stays pending and is described.
        method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)I");
        returning = true;
    }
    if (method == nullptr) return;

    ArgumentArea area{};
    start.readArgumentArea(area);
    jobjectArray arguments = makeJavaStringArray(readArgumentArea(area.data(), area.size()), env);
    if (arguments == nullptr) return;
    if (returning) {
        const jint value = env->CallStaticIntMethod(mainClass, method, arguments);
        start.reply(value);
    } else {
        // The secondary is released before the method runs.
        start.reply(0);
        env->CallStaticVoidMethod(mainClass, method, arguments);
    }
}

}  // namespace

void InstanceGuard::deliver(ForwardedStart& start) {
    start.waitMainStarted();
    // Without a start event the wait returns at once, possibly before the VM
    // exists: the delivery then ends without a reply.
    JNIEnv* env = javaVm_.attachCurrentThread();
    if (env == nullptr) return;
    callSecondaryMain(platform_, mainClass_, env, start);
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
    // A runtime from the IBM registry key keeps its threads attached.
    javaVm_.detachCurrentThread();
}

}  // namespace kite
