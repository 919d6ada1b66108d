// The class path from the "Class Path" setting: absolute entries are taken on
// trust, wildcard and relative entries go through the directory search.
// Entries are collected in a list and joined once, so a class path of
// thousands of jars is built in time proportional to its length.
#include "foundation/path_helpers.h"
#include "jvm/option_assembly.h"
#include "platform/platform.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

WideString pathListText(OsStyle style, const WideStringList& entries) {
    const char16_t separator = style == OsStyle::Windows ? u';' : u':';
    std::size_t length = 0;
    for (const WideString& entry : entries) length += entry.size() + 1;
    WideString text;
    text.reserve(length);
    for (const WideString& entry : entries) {
        // The JVM reads an empty entry, also a trailing separator, as the
        // current folder.
        if (entry.empty()) continue;
        if (!text.empty()) text.push_back(separator);
        text += entry;
    }
    return text;
}

WideStringList classPathPieces(OsStyle style, const WideStringList& entries) {
    WideStringList pieces;
    WideStringList all;
    for (const WideString& entry : entries) {
        // An entry taken on trust may hold separators of its own after its
        // environment references were expanded; its empty pieces are dropped too.
        all.clear();
        appendListPieces(style, entry, all);
        for (const WideString& piece : all) {
            if (!piece.empty()) pieces.append(piece);
        }
    }
    return pieces;
}

WideString classPathText(OsStyle style, const WideStringList& entries) {
    return pathListText(style, classPathPieces(style, entries));
}

WideStringList buildClassPath(Platform& platform, SettingsStore& store) {
    const OsStyle style = platform.style();
    WideString value;
    store.getValue(u"Class Path", u"Class Path", value);
    // A value supplied by the "Class Path+" section arrives with a leading
    // blank; as part of the first entry it would make that entry name nothing.
    const std::size_t first = value.find_first_not_of(u' ');
    value.erase(0, first == WideString::npos ? value.size() : first);
    WideStringList configured;
    splitAtSeparator(value, u";", configured);
    WideStringList entries;
    for (WideString entry : configured) {
        // An empty entry names nothing; searched, it would name the folder
        // of the executable on one build and nothing on the other.
        if (entry.empty()) continue;
        expandEnvironment(platform, entry);
        // A variable defined but empty contributes nothing; searched, the
        // empty entry would name the executable's folder.
        if (entry.empty()) continue;
        if (entry == u".") {
            // Written so, the entry names the current folder, as the JVM reads it.
            entries.append(entry);
        } else if (entry.find(u'*') == WideString::npos && isAbsolutePath(style, entry)) {
            entries.append(nativePath(style, entry));
        } else {
            expandClassPathEntry(platform, entry, entries);
        }
    }
    return entries;
}

void expandClassPathEntry(Platform& platform, const WideString& entry, WideStringList& entries) {
    const OsStyle style = platform.style();
    WideString pattern = nativePath(style, entry);
    if (!isAbsolutePath(style, entry)) {
        // Relative entries name files beside the executable. \lib\*.jar is
        // joined to the folder directly; lib\*.jar gets the separator that
        // it lacks, so that both forms name the same files.
        WideString module;
        if (!platform.env.modulePath(module)) return;
        const std::size_t cut = lastPathSeparator(style, module);
        WideString folder = cut == WideString::npos ? WideString() : module.substr(0, cut);
        if (!pattern.empty() && !isPathSeparator(style, pattern.front())) folder.push_back(pathSeparator(style));
        pattern.insert(0, folder);
    }
    const std::size_t cut = lastPathSeparator(style, pattern);
    const WideString matchFolder = cut == WideString::npos ? WideString() : pattern.substr(0, cut + 1);
    WideStringList names;
    if (!platform.fs.findFiles(pattern, names)) return;
    for (const WideString& name : names) entries.append(matchFolder + name);
}

}  // namespace kite
