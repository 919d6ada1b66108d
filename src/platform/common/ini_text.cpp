#include "platform/common/ini_text.h"

#include <optional>

#include "foundation/utf.h"

namespace kite::ini {

namespace {

using View = std::u16string_view;

bool isBlank(char16_t c, Rules rules) {
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f') return true;
    return rules == Rules::Windows && (c == u'\n' || c == 0x1A);
}

View trim(View text, Rules rules = Rules::Portable) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin], rules)) ++begin;
    while (end > begin && isBlank(text[end - 1], rules)) --end;
    return text.substr(begin, end - begin);
}

char16_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    // Latin-1 capitals (except the multiplication sign).
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

bool equalNames(View a, View b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The section name of a header line, or nothing when the line is no header.
// As GetPrivateProfileStringW on Windows reads it: a line starting with '['
// is a header; the name ends at the first ']', or at the line's end when
// there is none. (Wine takes the last ']' and skips a line without one.)
std::optional<View> sectionHeader(View line, Rules rules) {
    const View t = trim(line, rules);
    if (t.empty() || t.front() != u'[') return std::nullopt;
    const std::size_t close = t.find(u']');
    return trim(t.substr(1, close == View::npos ? View::npos : close - 1), rules);
}

struct KeyLine {
    View key;
    View value;
};

std::optional<KeyLine> keyLine(View line, Rules rules) {
    const View t = trim(line, rules);
    if (t.empty() || t.front() == u'[') return std::nullopt;
    if (t.front() == u';' && rules == Rules::Portable) return std::nullopt;
    const std::size_t eq = t.find(u'=');
    if (eq == View::npos) return std::nullopt;
    KeyLine result{trim(t.substr(0, eq), rules), trim(t.substr(eq + 1), rules)};
    if (result.key.empty()) return std::nullopt;
    const char16_t quote = result.value.empty() ? u'\0' : result.value.front();
    const bool quoted = quote == u'"' || (quote == u'\'' && rules == Rules::Windows);
    if (quoted && result.value.size() >= 2 && result.value.back() == quote) {
        result.value = result.value.substr(1, result.value.size() - 2);
    }
    return result;
}

WideString fromUtf16(std::string_view bytes, bool bigEndian) {
    WideString text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8)));
    }
    return text;
}

WideString decode(std::string_view bytes, Encoding& encoding) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        encoding = Encoding::Utf16Le;
        return fromUtf16(bytes.substr(2), false);
    }
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        encoding = Encoding::Utf8Bom;
        return fromUtf8(bytes.substr(3));
    }
    encoding = Encoding::Utf8;
    return fromUtf8(bytes);
}

// Cuts document.text into lines. Only lines that can mean something are
// kept: a blank line is left out, as a serialized document does not need it
// (the writer copies the text between kept lines as it is).
void splitLines(Document& document) {
    const WideString& text = document.text;
    // The profile functions break at carriage returns where no line feed
    // follows anywhere.
    const char16_t lineEnd =
        document.rules == Rules::Windows && text.find(u'\n') == WideString::npos ? u'\r' : u'\n';
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(lineEnd, start);
        if (end == WideString::npos) end = text.size();
        std::size_t size = end - start;
        if (size > 0 && text[start + size - 1] == u'\r') {
            --size;
            document.crlf = true;
        }
        if (!trim(View(text).substr(start, size), document.rules).empty()) {
            document.lines.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(size)});
        }
        start = end + 1;
    }
}

}  // namespace

bool namesEqual(const WideString& a, const WideString& b) { return equalNames(a, b); }

Document parse(std::string_view bytes) {
    Document document;
    document.text = decode(bytes, document.encoding);
    splitLines(document);
    return document;
}

Document parseWindows(std::string_view bytes, WideString (*decodeAnsi)(std::string_view)) {
    Document document;
    document.rules = Rules::Windows;
    const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF")) {
        document.encoding = Encoding::Utf8Bom;
        document.text = fromUtf8(bytes.substr(3));
    } else if (startsWith("\xFF\xFE")) {
        document.encoding = Encoding::Utf16Le;
        document.text = fromUtf16(bytes.substr(2), false);
    } else if (startsWith("\xFE\xFF")) {
        document.text = fromUtf16(bytes.substr(2), true);
    } else {
        document.text = decodeAnsi(bytes);
    }
    splitLines(document);
    return document;
}

std::string serialize(const Document& document) {
    if (document.encoding == Encoding::Utf16Le) {
        std::string bytes = "\xFF\xFE";
        bytes.reserve(2 + document.text.size() * 2);
        for (char16_t c : document.text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        return bytes;
    }
    std::string bytes = document.encoding == Encoding::Utf8Bom ? "\xEF\xBB\xBF" : "";
    return bytes + toUtf8(document.text);
}

WideString value(const Document& document, const WideString& section, const WideString& key) {
    bool inSection = false;
    for (const Document::Line& entry : document.lines) {
        const View line = document.line(entry);
        if (const auto header = sectionHeader(line, document.rules)) {
            // Only the first section of that name counts, as with the
            // Windows profile functions: a later one of the same name is
            // not read.
            if (inSection) break;
            inSection = equalNames(*header, section);
            continue;
        }
        if (!inSection) continue;
        if (const auto found = keyLine(line, document.rules); found && equalNames(found->key, key)) {
            return WideString(found->value);
        }
    }
    return {};
}

WideStringList sectionNames(const Document& document) {
    WideStringList names;
    for (const Document::Line& entry : document.lines) {
        const auto header = sectionHeader(document.line(entry), document.rules);
        if (header && !header->empty()) names.append(WideString(*header));
    }
    return names;
}

void setValue(Document& document, const WideString& section, const WideString& key,
              const WideString& value) {
    const WideString lineEnd = document.crlf ? u"\r\n" : u"\n";
    const WideString newLine = key + u"=" + value;
    WideString& text = document.text;
    bool inSection = false;
    std::size_t insertAt = WideString::npos;  // the end of the section's last line
    for (const Document::Line& entry : document.lines) {
        const View line = document.line(entry);
        if (sectionHeader(line, document.rules)) {
            if (inSection) break;  // the section ended without the key
            inSection = equalNames(*sectionHeader(line, document.rules), section);
            if (inSection) insertAt = entry.begin + entry.size;
            continue;
        }
        if (!inSection) continue;
        if (const auto found = keyLine(line, document.rules); found && equalNames(found->key, key)) {
            text.replace(entry.begin, entry.size, newLine);
            insertAt = WideString::npos;
            break;
        }
        insertAt = entry.begin + entry.size;
    }
    if (insertAt != WideString::npos) {
        text.insert(insertAt, lineEnd + newLine);
    } else if (!inSection) {
        if (!text.empty() && text.back() != u'\n') text += lineEnd;
        text += u"[" + section + u"]" + lineEnd + newLine + lineEnd;
    }
    document.lines.clear();
    splitLines(document);
}

}  // namespace kite::ini
