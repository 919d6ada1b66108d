// Conversions between the text forms that meet in the double: UTF-16 Java
// strings, the UTF-8 script and record, modified UTF-8 for JNI and the
// narrow ANSI text of the VM options.
#pragma once

#include <string>
#include <string_view>

namespace jvm_double {

// UTF-8; a lone surrogate is encoded on its own as three bytes, so that
// every UTF-16 sequence survives the trip into the record.
std::string utf8FromUtf16(std::u16string_view text);

// The JNI form: every surrogate separately in three bytes, U+0000 as C0 80.
std::string modifiedUtf8FromUtf16(std::u16string_view text);

// Malformed bytes become U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

// Narrow text in the process's ANSI code page, the encoding the VM reads
// option strings in.
std::string utf8FromAnsi(std::string_view text);

std::string hex(unsigned long long value);

}  // namespace jvm_double
