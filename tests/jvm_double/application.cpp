#include "application.h"

#include <cstdlib>

#include "hook_call.h"
#include "java_streams.h"
#include "record.h"

namespace jvm_double {

namespace {

struct JavaThreadStart {
    ThreadEnv* thread;
    long long milliseconds;
    std::string line;
    bool exits;
    int exitCode;
};

DWORD WINAPI javaThreadMain(void* parameter) {
    JavaThreadStart* start = static_cast<JavaThreadStart*>(parameter);
    Sleep(static_cast<DWORD>(start->milliseconds));
    if (!start->line.empty()) printLine(false, start->line);
    if (start->exits) systemExit(*start->thread, start->exitCode);
    {
        VmLock lock;
        recordFact("thread_ended=" + start->thread->name);
        detachThread(*start->thread);
    }
    delete start;
    return 0;
}

// A non-daemon Java thread: attached before this returns, so that a
// DestroyJavaVM that follows at once still waits for it.
void startJavaThread(long long milliseconds, const std::string& line, bool exits = false, int exitCode = 0) {
    VmLock lock;
    auto start = new JavaThreadStart{nullptr, milliseconds, line, exits, exitCode};
    DWORD threadId = 0;
    HANDLE handle = CreateThread(nullptr, 0, javaThreadMain, start, CREATE_SUSPENDED, &threadId);
    if (handle == nullptr) fatal("cannot create a Java thread");
    start->thread = &attachThread(threadId, nextThreadName());
    recordFact("thread_started=" + start->thread->name);
    ResumeThread(handle);
    CloseHandle(handle);
}

}  // namespace

bool runSteps(ThreadEnv& thread, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        switch (step.kind) {
        case Step::Kind::PrintOut: printLine(false, step.text); break;
        case Step::Kind::PrintErr: printLine(true, step.text); break;
        case Step::Kind::Exit: systemExit(thread, static_cast<int>(step.number));
        case Step::Kind::Abort: vmAbort(thread);
        case Step::Kind::Throw: {
            VmLock lock;
            throwNew(thread, step.text, step.detail);
            return false;
        }
        case Step::Kind::Sleep: Sleep(static_cast<DWORD>(step.number)); break;
        case Step::Kind::WaitStop:
            recordFact("waiting_for_stop thread=" + thread.name);
            WaitForSingleObject(vm().stopEvent, INFINITE);
            break;
        case Step::Kind::Thread: startJavaThread(step.number, step.text); break;
        case Step::Kind::ThreadExit:
            startJavaThread(step.number, {}, true, static_cast<int>(step.exitCode));
            break;
        }
    }
    return true;
}

void systemExit(ThreadEnv& thread, int code) {
    recordFact("system_exit=" + std::to_string(code) + " thread=" + thread.name);
    if (auto hook = vm().exitHook) {
        callHook("exit", hook, static_cast<jint>(code));
        recordFact("exit_hook_returned");
    }
    ExitProcess(static_cast<UINT>(code));
}

void vmAbort(ThreadEnv& thread) {
    recordFact("vm_abort thread=" + thread.name);
    if (auto hook = vm().abortHook) {
        callHook("abort", hook);
        recordFact("abort_hook_returned");
    }
    std::abort();
}

void printException(const std::string& threadName, const JavaObject& throwable) {
    std::string line = "Exception in thread \"" + threadName + "\" " + throwable.throwableClass;
    if (!throwable.message.empty()) line += ": " + throwable.message;
    printLine(true, line);
}

}  // namespace jvm_double
