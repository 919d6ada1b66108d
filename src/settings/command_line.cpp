#include "settings/command_line.h"

#include "platform/platform.h"

namespace kite {

namespace {

bool isWhiteSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' ||
           c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

WideString trimWhiteSpace(const WideString& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWhiteSpace(text[begin])) ++begin;
    while (end > begin && isWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

void parseCommandLine(Platform& platform, WideStringList& arguments) {
    WideStringList vector;
    if (platform.env.argumentVector(vector)) {
        for (const WideString& argument : vector) arguments.append(argument);
        return;
    }
    WideStringList pieces;
    splitCommandLine(trimWhiteSpace(platform.env.commandLine()), pieces);
    pieces.removeFirst();
    for (const WideString& piece : pieces) arguments.append(piece);
}

void splitCommandLine(const WideString& text, WideStringList& pieces) {
    const std::size_t n = text.size();
    std::size_t position = 0;
    while (position < n) {
        std::size_t next;
        if (text[position] == u'"') {
            const std::size_t close = text.find(u'"', position + 1);
            if (close == WideString::npos) {
                pieces.append(text.substr(position + 1));
                return;
            }
            pieces.append(text.substr(position + 1, close - position - 1));
            next = close + 1;
        } else {
            const std::size_t space = text.find(u' ', position);
            if (space == WideString::npos) {
                pieces.append(text.substr(position));
                return;
            }
            pieces.append(text.substr(position, space - position));
            next = space;
        }
        while (next < n && text[next] == u' ') ++next;
        position = next;
    }
}

}  // namespace kite
