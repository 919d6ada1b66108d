// Processes, libraries and threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/wide_string.h"
#include "platform/status.h"

namespace kite {

struct InstanceChannelOpening;

// A started thread; the destructor closes the handle without waiting.
class ThreadHandle {
public:
    virtual ~ThreadHandle() = default;
    // Waits without time limit and returns the thread's exit code.
    virtual std::uint32_t join() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // The machine field of the launcher's own executable image: 0x014C (x86)
    // or 0x8664 (x64) for Windows builds, the ELF e_machine on Linux.
    virtual std::uint16_t imageMachine() const = 0;
    // Loads a shared library by full path (null on failure). Never unloaded.
    virtual Status loadLibrary(const WideString& path, void*& library) = 0;
    // An exported function or variable of a loaded library (null on failure).
    virtual Status findSymbol(void* library, const char* name, void*& symbol) = 0;
    // Starts a thread with the given stack size (0: default); null when it cannot be created.
    virtual std::unique_ptr<ThreadHandle> startThread(std::function<std::uint32_t()> body,
                                                      std::uint32_t stackSize) = 0;
    // Starts program with this process's own command line, unchanged. With
    // wait, returns its exit code once it has ended; 0 when the start or the
    // exit code query fails, and 0 at once without wait.
    virtual std::int32_t startPairedProcess(const WideString& program, bool wait) = 0;
    // Starts the launcher's own executable again in a new process, with this
    // process's command line unchanged, its current environment and its
    // standard handles or descriptors (no other descriptor on Linux), and
    // does not wait for it. Fails when it cannot be started.
    virtual Status restartOwnExecutable() = 0;
    // Starts program with arguments (after the program name, which the call
    // puts first) with standard input, output and error on the null device,
    // no console window and no other handle or descriptor inherited, in a
    // process group of its own. When markerVariable is not empty it is set to
    // "1" in the child's environment only. With wait, exitCode receives the
    // child's exit code once it has ended. Fails when it cannot be started.
    virtual Status startQuietProcess(const WideString& program, const WideStringList& arguments,
                                     const WideString& markerVariable, bool wait, std::int32_t& exitCode) = 0;
    // The single-instance objects named instanceName: created when none
    // exist yet (isPrimary true), otherwise opened (isPrimary false); no
    // channel when they can be neither created nor opened.
    virtual InstanceChannelOpening openInstanceChannel(const WideString& instanceName) = 0;
    virtual void sleepMilliseconds(std::uint32_t ms) = 0;
    // Never returns.
    [[noreturn]] virtual void sleepForever() = 0;
};

}  // namespace kite
