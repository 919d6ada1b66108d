// The launch sequence: the one place that knows the order of the stages.
#pragma once

#include <cstdint>

namespace kite {

class Platform;
class ServiceControl;
class MessageSink;
class OutputCapture;

// The process entry: runs one launch and returns the exit code. messages
// receives the error messages (null: the console line on standard output).
// output takes the standard streams that a windowed process lacks (null:
// they stay as they are).
std::int32_t launcherMain(Platform& platform, ServiceControl& serviceControl, MessageSink* messages = nullptr,
                          OutputCapture* output = nullptr);

}  // namespace kite
