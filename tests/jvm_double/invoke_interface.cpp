#include "invoke_interface.h"

#include <string>

#include "application.h"
#include "record.h"
#include "script.h"
#include "vm_state.h"

namespace jvm_double {

namespace {

void checkVm(JavaVM* javaVm, const char* slot) {
    if (javaVm != &vm().javaVm) fatal(std::string(slot) + ": not the JavaVM of this VM");
}

// Returns once the calling thread is the VM's last non-daemon thread: every
// other attached thread (the double's own Java threads included) has
// detached. A thread that ended without detaching keeps it waiting for
// ever, as with a real VM; the record then says which one.
jint JNICALL destroyJavaVm(JavaVM* javaVm) {
    checkVm(javaVm, "DestroyJavaVM");
    {
        VmLock lock;
        ThreadEnv* self = currentThread();
        recordFact("destroy_called thread=" + (self != nullptr ? self->name : std::string("unattached")));
    }
    bool reported = false;
    for (;;) {
        {
            VmLock lock;
            std::string names;
            if (attachedThreadsOtherThan(currentThread(), &names) == 0) break;
            if (!reported) recordFact("destroy_waiting=" + names);
            reported = true;
        }
        Sleep(10);
    }
    VmLock lock;
    if (ThreadEnv* self = currentThread()) detachThread(*self);
    if (!vm().utfChars.empty()) recordFact("utf_chars_unreleased=" + std::to_string(vm().utfChars.size()));
    vm().destroyed = true;
    recordFact("destroy_returned");
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM* javaVm, void** penv, void* arguments) {
    checkVm(javaVm, "AttachCurrentThread");
    if (penv == nullptr) fatal("AttachCurrentThread: null penv");
    VmLock lock;
    if (ThreadEnv* thread = currentThread()) {
        recordFact("attached_again=" + thread->name);
        *penv = &thread->env;
        return JNI_OK;
    }
    *penv = nullptr;
    const jint scripted = script().attachResult;
    if (vm().destroyed || scripted != JNI_OK) {
        const jint result = vm().destroyed ? JNI_ERR : scripted;
        recordFact("attach_failed=" + std::to_string(result));
        return result;
    }
    std::string name;
    if (arguments != nullptr) {
        auto attachArguments = static_cast<JavaVMAttachArgs*>(arguments);
        if (attachArguments->name != nullptr) name = attachArguments->name;
    }
    if (name.empty()) name = nextThreadName();
    ThreadEnv& thread = attachThread(GetCurrentThreadId(), name);
    recordFact("attached=" + thread.name + " args=" + (arguments == nullptr ? "null" : "set"));
    *penv = &thread.env;
    return JNI_OK;
}

// An exception still pending here is uncaught: the VM prints it, as a JDK
// does for a thread that ends with one.
jint JNICALL detachCurrentThread(JavaVM* javaVm) {
    checkVm(javaVm, "DetachCurrentThread");
    std::string name;
    JavaObject* uncaught = nullptr;
    {
        VmLock lock;
        ThreadEnv* thread = currentThread();
        if (thread == nullptr) {
            recordFact("detach_unattached");
            return JNI_OK;
        }
        name = thread->name;
        uncaught = thread->pending;
    }
    if (uncaught != nullptr) {
        std::string fact = "uncaught=" + uncaught->throwableClass;
        if (!uncaught->message.empty()) fact += ": " + uncaught->message;
        recordFact(fact + " thread=" + name);
        printException(name, *uncaught);
    }
    VmLock lock;
    detachThread(*currentThread());
    recordFact("detached=" + name);
    return JNI_OK;
}

jint JNICALL getEnv(JavaVM* javaVm, void** penv, jint version) {
    checkVm(javaVm, "GetEnv");
    if (penv == nullptr) fatal("GetEnv: null penv");
    *penv = nullptr;
    if (!supportedJniVersion(version)) return JNI_EVERSION;
    VmLock lock;
    ThreadEnv* thread = currentThread();
    if (thread == nullptr) return JNI_EDETACHED;
    *penv = &thread->env;
    return JNI_OK;
}

void JNICALL unexpectedReserved() { fatal("unexpected JavaVM call: a reserved slot"); }

jint JNICALL unexpectedAttachAsDaemon(JavaVM*, void**, void*) {
    fatal("unexpected JavaVM call: AttachCurrentThreadAsDaemon");
}

const JNIInvokeInterface_ invokeTable = {
    reinterpret_cast<void*>(&unexpectedReserved),
    reinterpret_cast<void*>(&unexpectedReserved),
    reinterpret_cast<void*>(&unexpectedReserved),
    destroyJavaVm,
    attachCurrentThread,
    detachCurrentThread,
    getEnv,
    unexpectedAttachAsDaemon,
};

}  // namespace

bool supportedJniVersion(jint version) {
    switch (version) {
    case JNI_VERSION_1_2:
    case JNI_VERSION_1_4:
    case JNI_VERSION_1_6:
    case JNI_VERSION_1_8:
    case JNI_VERSION_9:
    case JNI_VERSION_10: return true;
    default: return false;
    }
}

void initInvokeInterface(JavaVM& javaVm) { javaVm.functions = &invokeTable; }

}  // namespace jvm_double
