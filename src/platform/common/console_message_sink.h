// The console builds' delivery: the error line on standard output.
#pragma once

#include "platform/message_sink.h"

namespace kite {

class Environment;

class ConsoleMessageSink : public MessageSink {
public:
    explicit ConsoleMessageSink(Environment& console) : console_(console) {}
    void deliverError(const WideString& text, const WideString& productName, const WideString& details) override;

private:
    Environment& console_;
};

}  // namespace kite
