#include "platform/common/ini_text.h"

#include <optional>

#include "foundation/utf.h"

namespace kite::ini {

namespace {

bool isBlank(char16_t c, Rules rules) {
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f') return true;
    return rules == Rules::Windows && (c == u'\n' || c == 0x1A);
}

WideString trim(const WideString& text, Rules rules = Rules::Portable) {
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

// The section name of a header line, or nothing when the line is no header.
std::optional<WideString> sectionHeader(const WideString& line, Rules rules) {
    const WideString t = trim(line, rules);
    if (t.size() < 2 || t.front() != u'[') return std::nullopt;
    const std::size_t close = rules == Rules::Windows ? t.rfind(u']') : t.find(u']');
    if (close == WideString::npos || close == 0) return std::nullopt;
    return trim(t.substr(1, close - 1), rules);
}

struct KeyLine {
    WideString key;
    WideString value;
};

std::optional<KeyLine> keyLine(const WideString& line, Rules rules) {
    const WideString t = trim(line, rules);
    if (t.empty() || t.front() == u'[') return std::nullopt;
    if (t.front() == u';' && rules == Rules::Portable) return std::nullopt;
    const std::size_t eq = t.find(u'=');
    if (eq == WideString::npos) return std::nullopt;
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

void splitLines(const WideString& text, Document& document) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        // The profile functions break at carriage returns where no line
        // feed follows anywhere.
        if (end == WideString::npos && document.rules == Rules::Windows) end = text.find(u'\r', start);
        if (end == WideString::npos) end = text.size();
        WideString line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
            document.crlf = true;
        }
        document.lines.push_back(std::move(line));
        start = end + 1;
    }
}

}  // namespace

bool namesEqual(const WideString& a, const WideString& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

Document parse(std::string_view bytes) {
    Document document;
    splitLines(decode(bytes, document.encoding), document);
    return document;
}

Document parseWindows(std::string_view bytes, WideString (*decodeAnsi)(std::string_view)) {
    Document document;
    document.rules = Rules::Windows;
    const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    WideString text;
    if (startsWith("\xEF\xBB\xBF")) {
        document.encoding = Encoding::Utf8Bom;
        text = fromUtf8(bytes.substr(3));
    } else if (startsWith("\xFF\xFE")) {
        document.encoding = Encoding::Utf16Le;
        text = fromUtf16(bytes.substr(2), false);
    } else if (startsWith("\xFE\xFF")) {
        text = fromUtf16(bytes.substr(2), true);
    } else {
        text = decodeAnsi(bytes);
    }
    splitLines(text, document);
    return document;
}

std::string serialize(const Document& document) {
    WideString text;
    for (const WideString& line : document.lines) {
        text += line;
        text += document.crlf ? u"\r\n" : u"\n";
    }
    if (document.encoding == Encoding::Utf16Le) {
        std::string bytes = "\xFF\xFE";
        bytes.reserve(2 + text.size() * 2);
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        return bytes;
    }
    std::string bytes = document.encoding == Encoding::Utf8Bom ? "\xEF\xBB\xBF" : "";
    return bytes + toUtf8(text);
}

WideString value(const Document& document, const WideString& section, const WideString& key) {
    bool inSection = false;
    for (const WideString& line : document.lines) {
        if (const auto header = sectionHeader(line, document.rules)) {
            // Only the first section of that name counts, as with the
            // Windows profile functions: a later one of the same name is
            // not read.
            if (inSection) break;
            inSection = namesEqual(*header, section);
            continue;
        }
        if (!inSection) continue;
        if (const auto entry = keyLine(line, document.rules); entry && namesEqual(entry->key, key)) return entry->value;
    }
    return {};
}

WideStringList sectionNames(const Document& document) {
    WideStringList names;
    for (const WideString& line : document.lines) {
        if (const auto header = sectionHeader(line, document.rules); header && !header->empty()) names.append(*header);
    }
    return names;
}

void setValue(Document& document, const WideString& section, const WideString& key,
              const WideString& value) {
    const WideString newLine = key + u"=" + value;
    bool inSection = false;
    std::optional<std::size_t> lastOfSection;
    for (std::size_t i = 0; i < document.lines.size(); ++i) {
        const WideString& line = document.lines[i];
        if (const auto header = sectionHeader(line, document.rules)) {
            if (inSection) break;  // the section ended without the key
            inSection = namesEqual(*header, section);
            if (inSection) lastOfSection = i;
            continue;
        }
        if (!inSection) continue;
        if (const auto entry = keyLine(line, document.rules); entry && namesEqual(entry->key, key)) {
            document.lines[i] = newLine;
            return;
        }
        if (!trim(line).empty()) lastOfSection = i;
    }
    if (lastOfSection) {
        document.lines.insert(document.lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection) + 1,
                              newLine);
        return;
    }
    document.lines.push_back(u"[" + section + u"]");
    document.lines.push_back(newLine);
}

}  // namespace kite::ini
