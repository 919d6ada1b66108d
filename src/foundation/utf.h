// Conversions between UTF-16 and UTF-8. Used where a byte encoding is fixed
// (console output to files and pipes, Linux file names, tests); the narrow
// text handed to the JVM goes through the platform's narrowText instead.
#pragma once

#include <string>
#include <string_view>

#include "foundation/wide_string.h"

namespace kite {

// Unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
// Malformed bytes become U+FFFD.
WideString fromUtf8(std::string_view bytes);
// ASCII-only convenience for constants.
WideString fromAscii(std::string_view ascii);

}  // namespace kite
