// UTF-8 (command line, messages) to UTF-16 (version strings, resource names)
// and back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kite::brand {

// Nothing for malformed UTF-8 (overlong forms, surrogates, cut sequences).
std::optional<std::u16string> utf16FromUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);
std::u16string asciiToUtf16(std::string_view ascii);

}  // namespace kite::brand
