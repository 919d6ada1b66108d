// %NAME% expansion on arbitrary text: with no variable defined the text
// comes back unchanged; with some defined, every defined reference is
// replaced and nothing else changes length.
#include <cstddef>
#include <cstdint>

#include "platform/common/percent_expansion.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kite::WideString text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    const auto none = [](const kite::WideString&, kite::WideString&) { return false; };
    check(kite::expandPercentReferences(text, none) == text);

    // Names of one unit are defined as an empty value, names of two as a
    // value that holds percent signs itself (never expanded again).
    std::size_t lookups = 0;
    const auto some = [&lookups](const kite::WideString& name, kite::WideString& value) {
        ++lookups;
        if (name.size() == 1) value.clear();
        else if (name.size() == 2) value = u"%" + name + u"%";
        else return false;
        return true;
    };
    const kite::WideString expanded = kite::expandPercentReferences(text, some);
    check(expanded.size() <= text.size() + lookups);
    check(lookups <= text.size() / 2 + 1);
    return 0;
}
