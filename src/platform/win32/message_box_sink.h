// The windowed builds' delivery: a message box with the catalog text and,
// below it, the JVM's own text of the failure; and the console line as well
// when standard output was redirected when the process started.
#pragma once

#include "platform/common/console_message_sink.h"

namespace kite {

class MessageBoxSink : public MessageSink {
public:
    explicit MessageBoxSink(Environment& console);
    void deliverError(const WideString& text, const WideString& productName, const WideString& details) override;

private:
    ConsoleMessageSink console_;
    // Read before a windowed start points its missing standard streams at
    // its own pipe.
    bool stdoutRedirected_;
};

}  // namespace kite
