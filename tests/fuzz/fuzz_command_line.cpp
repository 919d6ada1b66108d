// splitCommandLine on arbitrary text (UTF-8 input), with the properties the
// rule promises: without quotes the pieces are the runs between spaces, and
// pieces without quotes or spaces survive being quoted and split again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/utf.h"
#include "settings/command_line.h"

namespace {

// The pieces of a text without double quotes: cut at runs of spaces.
kite::WideStringList spaceRuns(const kite::WideString& text) {
    kite::WideStringList pieces;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t space = text.find(u' ', position);
        if (space == kite::WideString::npos) {
            pieces.append(text.substr(position));
            break;
        }
        pieces.append(text.substr(position, space - position));
        position = text.find_first_not_of(u' ', space);
        if (position == kite::WideString::npos) break;
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kite::WideString text = kite::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    kite::WideStringList pieces{u"kept"};
    kite::splitCommandLine(text, pieces);
    if (pieces.empty() || pieces[0] != u"kept") __builtin_trap();

    std::size_t total = 0;
    for (std::size_t i = 1; i < pieces.size(); ++i) total += pieces[i].size();
    if (total > text.size()) __builtin_trap();

    if (text.find(u'"') == kite::WideString::npos) {
        kite::WideStringList expected{u"kept"};
        for (const kite::WideString& piece : spaceRuns(text)) expected.append(piece);
        if (pieces != expected) __builtin_trap();
    }

    // Quote every piece that holds neither a quote nor a space; the split gives them back.
    kite::WideString joined;
    kite::WideStringList plain;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (pieces[i].find_first_of(u"\" ") != kite::WideString::npos) continue;
        plain.append(pieces[i]);
        joined += u"\"" + pieces[i] + u"\" ";
    }
    kite::WideStringList again;
    kite::splitCommandLine(joined, again);
    if (again != plain) __builtin_trap();
    return 0;
}
