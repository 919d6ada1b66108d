// The windowed builds' delivery: a message box with the catalog text, and
// the console line as well when standard output is redirected.
#pragma once

#include "platform/common/console_message_sink.h"

namespace kite {

class MessageBoxSink : public MessageSink {
public:
    explicit MessageBoxSink(Environment& console) : console_(console) {}
    void deliverError(const WideString& text, const WideString& productName) override;

private:
    ConsoleMessageSink console_;
};

}  // namespace kite
