// java.io.FileOutputStream, java.io.PrintStream and System.out/System.err of
// the double, with the file semantics of the JDK on Windows.
#pragma once

#include <string>
#include <string_view>

#include "vm_state.h"

namespace jvm_double {

// System.out and System.err on the process's console handles. Lock held.
void initStandardStreams();

// new FileOutputStream(name, append): creates a missing file, truncates an
// existing one unless appending; on failure a FileNotFoundException is left
// pending and null returned. Lock held.
JavaObject* openFileOutputStream(ThreadEnv& thread, const std::u16string& name, bool append);

// The file name behind a PrintStream ("console" for the standard ones).
std::string streamTarget(const JavaObject* printStream);

// println on System.out or System.err as they are now: the UTF-8 text and
// the platform's line separator "\r\n". Takes the lock.
void printLine(bool toErr, std::string_view text);

}  // namespace jvm_double
