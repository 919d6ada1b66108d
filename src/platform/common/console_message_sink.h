// The console builds' delivery: the error line on standard output.
#pragma once

#include "platform/message_sink.h"

namespace kite {

class Platform;

class ConsoleMessageSink : public MessageSink {
public:
    explicit ConsoleMessageSink(Platform& platform) : platform_(platform) {}
    void deliverError(const WideString& text, const WideString& productName) override;

private:
    Platform& platform_;
};

}  // namespace kite
