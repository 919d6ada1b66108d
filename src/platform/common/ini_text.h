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
// ANSI code page, a value loses one pair of matching single or double quotes,
// ';' starts no comment, Ctrl-Z counts as white space, and a file without any
// line feed breaks its lines at carriage returns.
//
// Section headers follow Windows on every build, so that one file means the
// same everywhere: a line that starts with '[' starts a section, whose name
// ends at the first ']' (the rest of the line is ignored) or, without one, at
// the line's end.
//
// A document holds the decoded text once and each line as a position in it,
// so that a file of many short lines costs a few bytes per line, not a
// string each; a file over kMaxFileBytes is not read at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/wide_string.h"

namespace kite::ini {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };
enum class Rules { Portable, Windows };

// Settings files larger than this are no settings files: the platforms read
// them as missing (and refuse to rewrite them), so that a huge or endless
// file cannot make a start allocate without bound.
inline constexpr std::size_t kMaxFileBytes = 4u << 20;

struct Document {
    struct Line {
        std::uint32_t begin = 0;
        std::uint32_t size = 0;
    };
    Encoding encoding = Encoding::Utf8;
    Rules rules = Rules::Portable;
    bool crlf = false;
    WideString text;  // the decoded file
    std::vector<Line> lines;

    std::u16string_view line(const Line& entry) const {
        return std::u16string_view(text).substr(entry.begin, entry.size);
    }
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
