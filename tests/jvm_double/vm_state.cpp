#include "vm_state.h"

#include "jni_functions.h"
#include "record.h"

namespace jvm_double {

namespace {

Vm* theVm = nullptr;

}  // namespace

Vm& vm() { return *theVm; }

void initVm() {
    theVm = new Vm();  // lives until the process ends
    InitializeCriticalSection(&theVm->lock);
    theVm->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

JavaObject* newObject(JavaObject::Kind kind) {
    JavaObject& object = vm().objects.emplace_back();
    object.kind = kind;
    return &object;
}

JavaObject* classObject(ClassId id) {
    JavaObject*& slot = vm().classes[static_cast<int>(id)];
    if (slot == nullptr) {
        slot = newObject(JavaObject::Kind::Class);
        slot->classId = id;
    }
    return slot;
}

jobject newLocalRef(ThreadEnv& thread, JavaObject* object) {
    if (object == nullptr) return nullptr;
    LocalRef& ref = vm().refs.emplace_back(LocalRef{object, &thread});
    vm().liveRefs.insert(&ref);
    thread.refs.push_back(&ref);
    return reinterpret_cast<jobject>(&ref);
}

JavaObject* resolve(ThreadEnv& thread, jobject reference, const char* slot) {
    if (reference == nullptr) return nullptr;
    auto ref = reinterpret_cast<const LocalRef*>(reference);
    if (vm().liveRefs.count(ref) == 0) {
        if (vm().deletedRefs.count(ref) != 0) {
            fatal(std::string(slot) + ": a deleted local reference (or one of a detached thread) was used");
        }
        fatal(std::string(slot) + ": not a reference handed out by this VM");
    }
    if (ref->owner != &thread) {
        fatal(std::string(slot) + ": a local reference of thread \"" + ref->owner->name + "\" was used on thread \"" +
              thread.name + "\"");
    }
    return ref->object;
}

JavaObject* resolveAs(ThreadEnv& thread, jobject reference, JavaObject::Kind kind, const char* slot) {
    JavaObject* object = resolve(thread, reference, slot);
    if (object != nullptr && object->kind != kind) {
        fatal(std::string(slot) + ": an object of the wrong kind was passed");
    }
    return object;
}

ThreadEnv& threadOf(JNIEnv* env, const char* slot) {
    for (auto& thread : vm().threads) {
        if (&thread->env != env) continue;
        if (!thread->attached) {
            fatal(std::string(slot) + ": the JNIEnv of thread \"" + thread->name + "\" was used after it detached");
        }
        if (thread->threadId != GetCurrentThreadId()) {
            fatal(std::string(slot) + ": the JNIEnv of thread \"" + thread->name + "\" was used on another thread");
        }
        return *thread;
    }
    fatal(std::string(slot) + ": a JNIEnv that belongs to no attached thread was used (detached already?)");
}

ThreadEnv* currentThread() {
    for (auto& thread : vm().threads) {
        if (thread->threadId == GetCurrentThreadId()) return thread.get();
    }
    return nullptr;
}

ThreadEnv& attachThread(DWORD threadId, std::string name) {
    auto thread = std::make_unique<ThreadEnv>();
    thread->env.functions = &jniFunctionTable;
    thread->threadId = threadId;
    thread->name = std::move(name);
    vm().threads.push_back(std::move(thread));
    return *vm().threads.back();
}

void detachThread(ThreadEnv& thread) {
    for (LocalRef* ref : thread.refs) {
        vm().liveRefs.erase(ref);
        vm().deletedRefs.insert(ref);
    }
    thread.refs.clear();
    thread.attached = false;
    // The record stays (its env pointer is never reused) so that a later use
    // of the stale JNIEnv is recognised; it just no longer counts as attached.
    thread.threadId = 0;
}

std::string nextThreadName() { return "Thread-" + std::to_string(vm().nextThreadNumber++); }

std::size_t attachedThreadsOtherThan(const ThreadEnv* self, std::string* names) {
    std::size_t count = 0;
    for (auto& thread : vm().threads) {
        if (!thread->attached || thread.get() == self) continue;
        ++count;
        if (names != nullptr) *names += (names->empty() ? "" : ",") + thread->name;
    }
    return count;
}

void throwNew(ThreadEnv& thread, std::string className, std::string message) {
    JavaObject* throwable = newObject(JavaObject::Kind::Throwable);
    throwable->throwableClass = std::move(className);
    throwable->message = std::move(message);
    thread.pending = throwable;
}

}  // namespace jvm_double
