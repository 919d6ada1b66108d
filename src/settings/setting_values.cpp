#include "settings/setting_values.h"

namespace kite {

bool equalsIgnoringCase(const WideString& a, const WideString& b) {
    if (a.size() != b.size()) return false;
    auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace kite
