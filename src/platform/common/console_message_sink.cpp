#include "platform/common/console_message_sink.h"

#include "foundation/message_catalog.h"
#include "platform/platform.h"

namespace kite {

void ConsoleMessageSink::deliverError(const WideString& text, const WideString&) {
    platform_.writeStdout(errorLine(text));
}

}  // namespace kite
