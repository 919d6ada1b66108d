#include "foundation/trace.h"

#include <string>

#include "foundation/utf.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace kite {

Trace::Trace(Environment& environment, FileSystem& files) : environment_(environment), files_(files) {
    WideString value;
    on_ = environment_.getEnvironment(u"KITE_TRACE", value) && value == u"1";
    if (on_ && !environment_.getEnvironment(u"KITE_TRACE_FILE", file_)) file_.clear();
}

void Trace::emit(const WideString& text) const {
    const WideString line = u"kite: " + text + u"\n";
    if (!file_.empty() && !fileFailed_.load()) {
        const Status written = files_.appendToFile(file_, line);
        if (written) return;
        if (!fileFailed_.exchange(true)) {
            environment_.writeStderr(u"kite: trace file " + file_ + u" cannot be written (error " +
                                     traceNumber(written.code()) + u"), the trace goes to standard error\n");
        }
    }
    environment_.writeStderr(line);
}

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

WideString traceOption(const WideString& option) {
    if (!option.starts_with(u"-D")) return option;
    const std::size_t equals = option.find(u'=');
    if (equals == WideString::npos) return option;
    WideString name = option.substr(2, equals - 2);
    for (char16_t& c : name) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    for (const char16_t* secret : {u"password", u"secret", u"token"}) {
        if (name.find(secret) != WideString::npos) return option.substr(0, equals + 1) + u"***";
    }
    return option;
}

}  // namespace kite
