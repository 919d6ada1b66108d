// The scripted behaviour of the application's Java code: the steps of main,
// stop and secondaryMain, its threads, System.exit and the VM's abort.
#pragma once

#include <string>
#include <vector>

#include "script.h"
#include "vm_state.h"

namespace jvm_double {

// Runs the steps on the calling thread (lock not held). False when a step
// threw: the exception is then pending on the thread.
bool runSteps(ThreadEnv& thread, const std::vector<Step>& steps);

// System.exit(code): the VM's exit hook, then the process ends with code.
[[noreturn]] void systemExit(ThreadEnv& thread, int code);

// The VM aborts: the abort hook, then the process is aborted.
[[noreturn]] void vmAbort(ThreadEnv& thread);

// How the VM prints an exception: "Exception in thread ..." on System.err.
void printException(const std::string& threadName, const JavaObject& throwable);

}  // namespace jvm_double
