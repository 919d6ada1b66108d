// The record: what the double saw, one fact per line, appended to the file
// that KITE_DOUBLE_RECORD names. Every fact is written through at once, so
// nothing is lost when the process ends abruptly (System.exit, abort).
#pragma once

#include <string_view>

namespace jvm_double {

// Opens the record file (if the variable is set); called once at load.
void openRecord();

// Appends one line (a newline is added). Safe from any thread.
void recordFact(std::string_view fact);

// Writes all bytes to a file handle (a Windows HANDLE); stops at an error.
void writeFully(void* handle, std::string_view bytes);

// Writes the text to the process's standard error as it is.
void writeConsoleError(std::string_view text);

// An unexpected use of the double: reported on standard error and in the
// record, then the process is aborted.
[[noreturn]] void fatal(std::string_view what);

}  // namespace jvm_double
