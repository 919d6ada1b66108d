#include "foundation/trace.h"

#include <string>

#include "foundation/utf.h"
#include "platform/environment.h"

namespace kite {

Trace::Trace(Environment& environment) : environment_(environment) {
    WideString value;
    on_ = environment_.getEnvironment(u"KITE_TRACE", value) && value == u"1";
}

void Trace::emit(const WideString& text) const { environment_.writeStderr(u"kite: " + text + u"\n"); }

WideString traceNumber(std::int64_t value) { return fromAscii(std::to_string(value)); }

WideString traceHex(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (text.size() < 4) text.insert(text.begin(), '0');
    return fromAscii("0x" + text);
}

WideString traceQuoted(const WideString& text) { return u"\"" + text + u"\""; }

}  // namespace kite
