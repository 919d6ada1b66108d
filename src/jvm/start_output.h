// What a windowed start does with the output that its process has nowhere
// to write: what the JVM and the JDK print before main has started is kept
// in memory and shown below the error message when the start fails; from
// main's start on, the output goes to a log file kept to its last mebibyte.
// An exception that ends main is shown in a box of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/message_catalog.h"
#include "foundation/wide_string.h"
#include "jvm/java_vm.h"
#include "jvm/jvm_options.h"
#include "platform/output_capture.h"

namespace kite {

class FileSystem;
class Platform;

// What a message box can hold of the JVM's text.
inline constexpr std::size_t kBoxLines = 20;
inline constexpr std::size_t kBoxLineLength = 160;
// The log file's size at most.
inline constexpr std::uint64_t kStartLogLimit = 1024 * 1024;

enum class KeptLines { First, Last };

// The text shortened to what a message box shows: at most maxLines lines
// (the first or the last ones), each at most maxLength characters; "…"
// stands for a cut line's rest and, on a line of its own, for the dropped
// lines. Line ends are "\r\n" or "\n"; blank lines at either end go.
WideString shortenForBox(const WideString& text, KeptLines kept, std::size_t maxLines, std::size_t maxLength);

// %LOCALAPPDATA%\<product folder name, else executable name>\<executable
// name>.log, the executable name without its extension; empty when the
// environment names no LOCALAPPDATA.
WideString startLogPath(Platform& platform, const WideString& productName);

// A log file kept to its last bytes: an append that would make it larger
// than limit rewrites it with the newest three quarters of limit, from the
// start of a line. The folders on the way are made with the first append.
class TrimmedLog {
public:
    TrimmedLog(FileSystem& files, WideString path, std::uint64_t limit);
    void append(std::string_view bytes);

private:
    FileSystem& files_;
    WideString path_;
    std::uint64_t limit_;
    std::uint64_t size_ = 0;
    bool opened_ = false;
};

class StartOutput : public CapturedOutputReceiver, public VmExitListener, public ErrorDetails {
public:
    // capture null: a console build, where nothing changes.
    StartOutput(Platform& platform, OutputCapture* capture);
    ~StartOutput() override;
    StartOutput(const StartOutput&) = delete;
    StartOutput& operator=(const StartOutput&) = delete;

    // A windowed build: its boxes show whether or not a stream is captured.
    bool windowed() const { return capture_ != nullptr; }
    // Before the VM is created: captures the streams that no "Output File"
    // or "Error File" takes, and supplies the JVM's text to every error
    // message from now on. False when nothing is captured.
    bool begin(const OutputFiles& files, const WideString& productName);
    // main is called next: what follows goes to the log.
    void mainStarting();
    // main has returned, the Java main thread not yet detached; threw: an
    // exception is pending, which the VM prints at the detach.
    void mainReturned(bool threw);
    // After an exception ended main: the box with its first lines.
    void reportUncaught();

    void received(const char* data, std::size_t size) override;
    // System.exit before main has started (the JDK's launcher class when the
    // main class is missing) ends the start with a box, in a windowed build
    // also when its streams were redirected and nothing is captured.
    void onVmExit(std::int32_t exitCode) override;
    void onVmAbort() override;
    WideString details() override;

private:
    enum class Phase { Starting, Running, Ending };

    Platform& platform_;
    OutputCapture* capture_;
    bool active_ = false;
    // Set on the Java main thread, read in the VM's exit hook.
    std::atomic<bool> mainStarted_ = false;
    Phase phase_ = Phase::Starting;
    // Before main: the newest bytes; after an exception: the first ones.
    std::string kept_;
    std::optional<TrimmedLog> log_;
};

}  // namespace kite
