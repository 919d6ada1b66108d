// The diagnostic trace: with the environment variable KITE_TRACE set to 1
// the launcher writes one line per decision of a start (sources tried,
// registry keys and sub-keys, ranking, the chosen library, the image check,
// the JVM options) to standard error, each beginning with "kite: ". Standard
// output is left alone: it carries the error lines. The trace texts are
// English, whatever language the messages to users are in.
//
// With KITE_TRACE_FILE set to a path the lines are appended to that file
// instead (UTF-8), start after start. The platform creates the file for the
// user alone and does not follow a symbolic link at the path. When the file
// cannot be written, one line says why and standard error takes that line
// and all later ones. A windowed build has a standard error only when it
// was redirected, so there the file is the usual place.
//
// The trace is meant to be sent with bug reports: values of -D options that
// look like credentials are shown as *** (see traceOption).
//
// The variables are read once, when the trace is made. Lines are built by a
// callable that runs only when the trace is on, so a start without the
// variable pays one environment lookup and nothing else.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "foundation/wide_string.h"

namespace kite {

class Environment;
class FileSystem;

class Trace {
public:
    Trace(Environment& environment, FileSystem& files);

    bool on() const { return on_; }
    // Writes "kite: " + make() + newline when the trace is on.
    template <typename Make>
    void write(Make&& make) const {
        if (on_) emit(std::forward<Make>(make)());
    }

private:
    void emit(const WideString& text) const;

    Environment& environment_;
    FileSystem& files_;
    bool on_ = false;
    WideString file_;  // KITE_TRACE_FILE; empty: standard error
    // Set by the first line the file refused; the VM's exit hook may trace
    // from another thread.
    mutable std::atomic<bool> fileFailed_{false};
};

// Small formatters for trace texts.
WideString traceNumber(std::int64_t value);
WideString traceHex(std::uint32_t value);  // 0x014C
WideString traceQuoted(const WideString& text);  // "text"
// A JVM option as the trace shows it: -D<name>=*** when the property name
// contains "password", "secret" or "token" in any letter case, otherwise
// the option as it is. Only the trace's copy changes; the VM gets the value.
WideString traceOption(const WideString& option);

}  // namespace kite
