// The double's VM: the tables behind every handle it hands out (objects,
// local references, attached threads) and the one lock that guards them.
// Handles are pointers into these tables and are checked on every use, so a
// stale, foreign or deleted reference stops the process with a message.
#pragma once

#include <windows.h>

#include <jni.h>

#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace jvm_double {

enum class ClassId { String, System, FileOutputStream, PrintStream, LauncherHelper, Member, Application, Count };

struct MethodInfo;

struct JavaObject {
    // Instance: an object of the application class; Reflected: the
    // java.lang.reflect.Method or Constructor of one of its methods.
    enum class Kind { Class, String, CharArray, ObjectArray, FileStream, PrintStream, Throwable, Instance, Reflected };
    Kind kind;
    ClassId classId = ClassId::Count;     // Class: the class; ObjectArray: the element class
    std::u16string chars;                 // String, CharArray
    std::vector<JavaObject*> elements;    // ObjectArray
    HANDLE file = INVALID_HANDLE_VALUE;   // FileStream on a file
    DWORD standardHandle = 0;             // FileStream on the console: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
    std::string path;                     // FileStream: the file name (UTF-8), or "console"
    JavaObject* target = nullptr;         // PrintStream: its FileStream
    std::string throwableClass;           // Throwable: dotted class name
    std::string message;                  // Throwable: message, empty when none
    const MethodInfo* member = nullptr;   // Reflected: the method
};

struct ThreadEnv;

struct LocalRef {
    JavaObject* object;
    ThreadEnv* owner;
};

// One thread attached to the VM, with its own JNIEnv.
struct ThreadEnv {
    JNIEnv env;
    DWORD threadId = 0;
    std::string name;
    bool attached = true;
    JavaObject* pending = nullptr;
    std::vector<LocalRef*> refs;
};

struct Vm {
    CRITICAL_SECTION lock;
    JavaVM javaVm;
    bool created = false;
    bool destroyed = false;
    void(JNICALL* exitHook)(jint) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    std::deque<JavaObject> objects;  // never freed: handles stay checkable
    std::deque<LocalRef> refs;
    std::unordered_set<const LocalRef*> liveRefs;
    std::unordered_set<const LocalRef*> deletedRefs;
    std::vector<std::unique_ptr<ThreadEnv>> threads;
    std::unordered_set<const char*> utfChars;  // GetStringUTFChars results not yet released
    JavaObject* classes[static_cast<int>(ClassId::Count)] = {};
    JavaObject* systemOut = nullptr;
    JavaObject* systemErr = nullptr;
    int nextThreadNumber = 0;
    HANDLE stopEvent = nullptr;  // manual reset, set by the first stop()
};

Vm& vm();
void initVm();  // once, at load

class VmLock {
public:
    VmLock() { EnterCriticalSection(&vm().lock); }
    ~VmLock() { LeaveCriticalSection(&vm().lock); }
    VmLock(const VmLock&) = delete;
    VmLock& operator=(const VmLock&) = delete;
};

// The functions below expect the lock to be held.

JavaObject* newObject(JavaObject::Kind kind);
JavaObject* classObject(ClassId id);
jobject newLocalRef(ThreadEnv& thread, JavaObject* object);  // null gives null

// The object behind a reference; null for null. A reference that is unknown,
// deleted, or belongs to another thread is fatal.
JavaObject* resolve(ThreadEnv& thread, jobject reference, const char* slot);
// Like resolve, and the object must be of the kind (null allowed).
JavaObject* resolveAs(ThreadEnv& thread, jobject reference, JavaObject::Kind kind, const char* slot);

// The attached thread that owns the JNIEnv; it must be the calling thread.
ThreadEnv& threadOf(JNIEnv* env, const char* slot);
// The calling thread's attachment, or null.
ThreadEnv* currentThread();

// Registers a thread (the calling one or one just created) as attached.
ThreadEnv& attachThread(DWORD threadId, std::string name);
// Invalidates the thread's local references and removes its attachment.
void detachThread(ThreadEnv& thread);
std::string nextThreadName();  // "Thread-0", "Thread-1", ... as a JDK names them
std::size_t attachedThreadsOtherThan(const ThreadEnv* thread, std::string* names);

// Leaves a new exception pending on the thread.
void throwNew(ThreadEnv& thread, std::string className, std::string message);

}  // namespace jvm_double
