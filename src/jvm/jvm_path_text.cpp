// Paths as the JVM receives them. The JVM reads its options and the name it
// was loaded under in the narrow encoding (the ANSI code page on Windows, the
// locale's code set on Linux), so a path with a character that encoding
// lacks would reach it with '?' in its place and name another file. Each
// component of such a path is replaced by its short (8.3) name; a path that
// has none ends the start.
#include "foundation/message_catalog.h"
#include "foundation/path_helpers.h"
#include "jvm/option_assembly.h"
#include "platform/platform.h"

namespace kite {

namespace {

bool survivesNarrowing(Environment& text, const WideString& path) {
    return text.widenText(text.narrowText(path)) == path;
}

}  // namespace

bool jvmPathForm(Platform& platform, const Trace& trace, const WideString& path, WideString& form) {
    if (survivesNarrowing(platform, path)) {
        form = path;
        return true;
    }
    const OsStyle style = platform.style();
    // Only the components that need it change: each is replaced by the last
    // component of the short form of the path up to it.
    WideString result;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = start;
        while (end < path.size() && !isPathSeparator(style, path[end])) ++end;
        const WideString component = path.substr(start, end - start);
        if (survivesNarrowing(platform, component)) {
            result += component;
        } else {
            WideString shortPath;
            WideString shortName;
            if (platform.fs.shortPathName(path.substr(0, end), shortPath)) {
                const std::size_t cut = lastPathSeparator(style, shortPath);
                shortName = cut == WideString::npos ? shortPath : shortPath.substr(cut + 1);
            }
            // A volume without short names answers with the long name.
            if (shortName.empty() || !survivesNarrowing(platform, shortName)) {
                printMessage(platform, MessageId::PathNotRepresentable, {path});
                return false;
            }
            result += shortName;
        }
        if (end < path.size()) result.push_back(path[end]);
        start = end + 1;
    }
    trace.write([&] { return u"short form: " + path + u" given to the JVM as " + result; });
    form = std::move(result);
    return true;
}

bool jvmPathListText(Platform& platform, const Trace& trace, const WideStringList& entries, std::string& text) {
    const char separator = static_cast<char>(pathListSeparator(platform.style()));
    text.clear();
    WideString form;
    for (const WideString& entry : entries) {
        // The JVM reads an empty entry, a trailing separator too, as the
        // current folder: whatever produced one (a variable ending in a
        // separator, an empty expansion), it names nothing here.
        if (entry.empty()) continue;
        if (!jvmPathForm(platform, trace, entry, form)) return false;
        if (!text.empty()) text.push_back(separator);
        text += platform.env.narrowText(form);
    }
    return true;
}

void appendListPieces(OsStyle style, const WideString& text, WideStringList& pieces) {
    const char16_t separator = pathListSeparator(style);
    std::size_t start = 0;
    for (std::size_t end = text.find(separator); end != WideString::npos; end = text.find(separator, start)) {
        pieces.append(text.substr(start, end - start));
        start = end + 1;
    }
    pieces.append(start == 0 ? text : text.substr(start));
}

}  // namespace kite
