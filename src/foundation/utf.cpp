#include "foundation/utf.h"

#include <cstdint>

namespace kite {

namespace {
void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(WideString& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}
}  // namespace

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

WideString fromUtf8(std::string_view bytes) {
    WideString out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<std::uint8_t>(bytes[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1; cp = b0 & 0x1F; min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2; cp = b0 & 0x0F; min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3; cp = b0 & 0x07; min = 0x10000;
        } else {
            appendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + static_cast<std::size_t>(extra) < bytes.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto b = static_cast<std::uint8_t>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            appendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

WideString fromAscii(std::string_view ascii) {
    WideString out;
    out.reserve(ascii.size());
    for (char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace kite
