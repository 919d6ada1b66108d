#include "platform/common/percent_expansion.h"

namespace kite {

WideString expandPercentReferences(const WideString& text,
                                   const std::function<bool(const WideString&, WideString&)>& lookup) {
    WideString out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find(u'%', i);
        if (open == WideString::npos) {
            out.append(text, i, WideString::npos);
            break;
        }
        out.append(text, i, open - i);
        const std::size_t close = text.find(u'%', open + 1);
        if (close == WideString::npos) {
            out.append(text, open, WideString::npos);
            break;
        }
        WideString value;
        const WideString name = text.substr(open + 1, close - open - 1);
        if (!name.empty() && lookup(name, value)) {
            out += value;
        } else {
            // "%NAME%" stays as written, both percent signs included; the
            // closing one opens no further reference.
            out.append(text, open, close - open + 1);
        }
        i = close + 1;
    }
    return out;
}

}  // namespace kite
