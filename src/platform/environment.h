// The process's environment and text: command line, own path, console,
// narrow encoding, environment variables, current folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/wide_string.h"
#include "platform/status.h"

namespace kite {

class Environment {
public:
    virtual ~Environment() = default;
    // Fixes the narrow encoding before the first conversion (thread locale on
    // Windows, setlocale on Linux).
    virtual void initLocale() = 0;
    // The whole command line as one text, program name included (Windows).
    virtual WideString commandLine() = 0;
    // True when the platform hands over a ready argument vector (Linux): out
    // then holds the arguments after the program name, unchanged.
    virtual bool argumentVector(WideStringList& out) = 0;
    // The running executable's full path.
    virtual Status modulePath(WideString& out) = 0;
    // The error code of the last failed platform call of this thread, of any
    // slice, for the calls that answer without a Status.
    virtual std::int32_t lastError() = 0;

    virtual void writeStdout(const WideString& text) = 0;
    // Diagnostic trace output (standard error).
    virtual void writeStderr(const WideString& text) = 0;

    // Writes bytes the JVM prints through its output hook to stream (a FILE*
    // of the JVM's C runtime: its standard output or error) to the same
    // standard stream of this process, at once and unbuffered.
    virtual void writeVmStream(void* stream, const char* data, std::size_t size) = 0;

    // The process's narrow encoding (ANSI code page of the thread locale on
    // Windows, the locale's code set on Linux).
    virtual std::string narrowText(const WideString& text) = 0;
    virtual WideString widenText(const std::string& text) = 0;

    virtual bool getEnvironment(const WideString& name, WideString& value) = 0;
    virtual void setEnvironment(const WideString& name, const WideString& value) = 0;
    // %NAME% references by the platform's rule; false leaves text unchanged.
    virtual bool expandEnvironment(WideString& text) = 0;
    virtual bool setCurrentDirectory(const WideString& path) = 0;
    // The full path of path taken against the current folder (Windows: also
    // its drive-relative and root-relative forms); an absolute path comes
    // back as it is. False when the current folder cannot be read.
    virtual bool absolutePath(const WideString& path, WideString& out) = 0;
};

}  // namespace kite
