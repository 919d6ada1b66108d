// The primary's delivery of one forwarded start: the main class's static
// secondaryMain is called with the secondary's arguments on a thread attached
// to the VM, and the secondary gets its exit code from the reply, or a
// refusal when there is no secondaryMain.
#include <jni.h>

#include "instance/argument_area.h"
#include "jvm/java_strings.h"
#include "instance/instance_guard.h"
#include "jvm/java_vm.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"

namespace kite {

namespace {

// Everything after the attach, up to and including the call. False when the
// main class or its secondaryMain cannot be found, with no exception pending;
// otherwise returns with a Java exception possibly pending, which the caller
// describes.
bool callSecondaryMain(Platform& platform, const WideString& mainClassName, JNIEnv* env, ForwardedStart& start) {
    jclass mainClass = env->FindClass(platform.env.narrowText(mainClassName).c_str());
    bool returning = false;
    jmethodID method = nullptr;
    if (mainClass != nullptr) {
        method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)V");
        if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
        if (method == nullptr) {
            method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)I");
            returning = true;
        }
    }
    if (method == nullptr) {
        // The look-up's NoSuchMethodError (or NoClassDefFoundError) is the
        // expected answer here, not a fault of the application.
        if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
        return false;
    }

    ArgumentArea area{};
    start.readArgumentArea(area);
    jobjectArray arguments = makeJavaStringArray(readArgumentArea(area.data(), area.size()), env);
    if (arguments == nullptr) return true;
    if (returning) {
        const jint value = env->CallStaticIntMethod(mainClass, method, arguments);
        start.reply(value);
    } else {
        // The secondary is released before the method runs.
        start.reply(0);
        env->CallStaticVoidMethod(mainClass, method, arguments);
    }
    return true;
}

}  // namespace

void InstanceGuard::deliver(ForwardedStart& start) {
    start.waitMainStarted();
    // Without a start event the wait returns at once, possibly before the VM
    // exists: the delivery then ends without a reply.
    JNIEnv* env = javaVm_.attachCurrentThread();
    if (env == nullptr) return;
    if (!callSecondaryMain(platform_, mainClass_, env, start)) {
        // The secondary ends at once with its error line; the primary says
        // why in the trace, once.
        start.refuse();
        if (!noReceiverTraced_.exchange(true)) {
            trace_.write([&] {
                WideString dotted = mainClass_;
                for (char16_t& c : dotted) {
                    if (c == u'/') c = u'.';
                }
                return u"single instance: the main class " + traceQuoted(dotted) +
                       u" has no static secondaryMain(String[]); later starts are refused";
            });
        }
    }
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
    // A runtime from the IBM registry key keeps its threads attached.
    javaVm_.detachCurrentThread();
}

}  // namespace kite
