// The INI reader and writer used where the platform has no profile functions
// (Linux) and by the in-memory fake of the unit tests.
//
// Syntax: sections in square brackets, key=value lines, names matched without
// regard to case, ';' comment lines, white space around names and values
// trimmed, one pair of double quotes around a value removed. Files in UTF-8
// (with or without BOM) and UTF-16LE with BOM are read; a malformed line is
// skipped. Writing a key keeps every other line as it was.
//
// The Windows build reads its settings files with the profile functions'
// own rules instead (Rules::Windows), so that one read of the file answers
// exactly as those functions would: a file without byte-order mark is in the
// ANSI code page, a header runs to the line's last ']', a value loses one
// pair of matching single or double quotes, ';' starts no comment, Ctrl-Z
// counts as white space, and a file without any line feed breaks its lines
// at carriage returns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/wide_string.h"

namespace kite::ini {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };
enum class Rules { Portable, Windows };

struct Document {
    Encoding encoding = Encoding::Utf8;
    Rules rules = Rules::Portable;
    bool crlf = false;
    std::vector<WideString> lines;
};

Document parse(std::string_view bytes);
// A settings file read with the Windows profile functions' rules; decodeAnsi
// turns text without byte-order mark into UTF-16. Read-only: such a document
// is never serialized (the profile functions write the file).
Document parseWindows(std::string_view bytes, WideString (*decodeAnsi)(std::string_view));
std::string serialize(const Document& document);

// The value of key in section; empty when absent.
WideString value(const Document& document, const WideString& section, const WideString& key);
// Section names in file order.
WideStringList sectionNames(const Document& document);
// Sets key in section, adding the section or key when missing.
void setValue(Document& document, const WideString& section, const WideString& key,
              const WideString& value);

// Case-insensitive comparison used for section and key names.
bool namesEqual(const WideString& a, const WideString& b);

}  // namespace kite::ini
