// The Java main thread: creates the VM, installs the output files, finds the
// main class and calls its main method with the arguments.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/wide_string.h"
#include "jvm/java_vm.h"
#include "jvm/jvm_options.h"

namespace kite {

class Platform;

struct MainOutcome {
    // main was called; false after the error line (or the VM's own report).
    bool called = false;
    // main ended with an exception: the launch ends with 1, as the java
    // command does.
    bool threw = false;
};

// What the launch learns on the Java main thread, each when set.
struct MainEvents {
    // main is called next.
    std::function<void()> starting;
    // main has returned (threw: with an exception pending); the thread
    // detaches next.
    std::function<void(bool threw)> returned;
};

// Runs the Java main thread on a thread of its own with the stack size of
// jvm (the VM's default when none is set), or on the calling thread when no
// thread can be started, and waits for it. mainClass has '/' in place of '.'.
// With mainJar set, the JDK's launcher class reads the main class from that
// jar's manifest; mainClass (the manifest's Main-Class) serves a runtime
// without that class.
MainOutcome runJavaMain(Platform& platform, JavaVm& javaVm, JvmOptions& jvm, const WideString& mainClass,
                        const WideString& mainJar, const MainEvents& events);

}  // namespace kite
