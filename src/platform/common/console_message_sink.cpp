#include "platform/common/console_message_sink.h"

#include "foundation/message_catalog.h"
#include "platform/environment.h"

namespace kite {

void ConsoleMessageSink::deliverError(const WideString& text, const WideString&, const WideString&) {
    console_.writeStdout(errorLine(text));
}

}  // namespace kite
