// The JVM of one launch: the loaded JVM library, the VM created from it and
// the two hooks through which the VM reports its exit and abort. The VM is
// destroyed with this object.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "foundation/wide_string.h"

struct JavaVM_;
struct JNIEnv_;

namespace kite {

class Platform;

// Receiver of the JVM's exit and abort events: the service adapter in
// service mode, the launch's restart otherwise.
class VmExitListener {
public:
    virtual ~VmExitListener() = default;
    virtual void onVmExit(std::int32_t exitCode) = 0;
    virtual void onVmAbort() = 0;
};

class JavaVm {
public:
    // The hooks find the JavaVm through one process-wide anchor: the latest
    // JavaVm made, until it is destroyed.
    JavaVm(Platform& platform, const Trace& trace);
    ~JavaVm();
    JavaVm(const JavaVm&) = delete;
    JavaVm& operator=(const JavaVm&) = delete;

    // Loads the JVM library and finds its entry points; false after the
    // error line. The library stays loaded for the life of the process.
    bool loadLibrary(const WideString& path);
    // The library's default thread stack size in bytes; 0 when it names none.
    std::int32_t defaultThreadStackSize() const;
    // Creates the VM with options, then the hooks ("vfprintf" when given,
    // "abort" and "exit"), on the calling thread; false after the error line.
    bool create(std::vector<std::string>& options, void* vfprintfHook = nullptr);
    // Waits until every non-daemon Java thread has ended, destroys the VM
    // and runs the end action. Does nothing more the second time.
    void destroy();

    // Null until the VM exists; safe to read from any thread.
    JavaVM_* vm() const { return vm_.load(); }
    // The creating thread's JNI environment.
    JNIEnv_* env() const { return env_; }
    // "JVM_FindClassFromBootLoader", or null when the library has none.
    void* findClassFromBootLoader() const { return findClassFromBootLoader_; }

    // A runtime from the IBM registry key: threads that call into Java stay
    // attached, and the Java main thread stays in the VM after main.
    void setKeepThreadsAttached(bool keep) { keepThreadsAttached_ = keep; }
    bool keepsThreadsAttached() const { return keepThreadsAttached_; }
    // The calling thread attached to the VM; null when there is no VM or the
    // attach fails.
    JNIEnv_* attachCurrentThread();
    void detachCurrentThread();

    // Receives the VM's exit and abort.
    void setExitListener(VmExitListener* listener) { exitListener_ = listener; }
    // Runs once the VM has ended: after DestroyJavaVM returned, or in the exit
    // hook when the application calls System.exit. Runs once.
    void setEndAction(std::function<void()> action) { endAction_ = std::move(action); }

    // The hooks' bodies.
    void onExit(std::int32_t code);
    void onAbort();

private:
    void runEndAction();

    Platform& platform_;
    const Trace& trace_;
    void* createJavaVm_ = nullptr;
    void* getDefaultJavaVmInitArgs_ = nullptr;
    void* findClassFromBootLoader_ = nullptr;
    std::atomic<JavaVM_*> vm_{nullptr};
    JNIEnv_* env_ = nullptr;
    bool keepThreadsAttached_ = false;
    VmExitListener* exitListener_ = nullptr;
    std::function<void()> endAction_;
};

}  // namespace kite
