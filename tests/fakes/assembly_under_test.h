// JVM option assembly with the inputs it takes, for the unit tests: the
// settings and the chosen runtime a test sets, the command-line arguments,
// the trace, and what assembly produced.
#pragma once

#include "fake_platform.h"
#include "jvm/option_assembly.h"

namespace kite::testing {

struct AssemblyUnderTest {
    explicit AssemblyUnderTest(FakePlatform& platform) : platform(platform), trace(platform, platform) {}
    bool setUpLibraryPath() {
        return kite::setUpLibraryPath(platform, trace, settings, runtime.jvmLibraryPath, jvm.options);
    }
    bool assemble() { return assembleJvmOptions(platform, trace, settings, runtime, arguments, jvm); }

    FakePlatform& platform;
    Trace trace;
    LaunchSettings settings;
    ChosenRuntime runtime;
    WideStringList arguments;
    JvmOptions jvm;
};

}  // namespace kite::testing
