// How an error message reaches the user. The console builds print the error
// line on standard output (ConsoleMessageSink); the windowed builds show a
// message box (platform/win32/message_box_sink.h). The process entry picks
// one and hands it to launcherMain; the logic never asks which it got.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // One error message: text is the catalog text without the "Error: "
    // frame; productName is the "Product Name" setting, empty when it is
    // missing or the settings are not read yet; details is the JVM's own
    // text of the failure, empty when there is none (only a message box
    // shows it).
    virtual void deliverError(const WideString& text, const WideString& productName, const WideString& details) = 0;
};

}  // namespace kite
