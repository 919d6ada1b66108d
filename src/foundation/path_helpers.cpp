#include "foundation/path_helpers.h"

#include "settings/settings_store.h"

namespace kite {

bool hasLongPathPrefix(const WideString& path) { return path.starts_with(u"\\\\?\\"); }

bool isUncPath(const WideString& path) {
    return path.size() > 2 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'?';
}

bool isAbsolutePath(OsStyle style, const WideString& path) {
    if (style == OsStyle::Posix) return !path.empty() && path[0] == u'/';
    return path.size() >= 2 && ((path[0] == u'\\' && path[1] == u'\\') || path[1] == u':');
}

bool isPathSeparator(OsStyle style, char16_t c) {
    return c == u'\\' || (style == OsStyle::Posix && c == u'/');
}

char16_t pathSeparator(OsStyle style) { return style == OsStyle::Posix ? u'/' : u'\\'; }

std::size_t lastPathSeparator(OsStyle style, const WideString& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (isPathSeparator(style, path[i - 1])) return i - 1;
    }
    return WideString::npos;
}

WideString nativePath(OsStyle style, const WideString& path) {
    if (style != OsStyle::Posix) return path;
    WideString out = path;
    for (char16_t& c : out) {
        if (c == u'\\') c = u'/';
    }
    return out;
}

char16_t pathListSeparator(OsStyle style) { return style == OsStyle::Posix ? u':' : u';'; }

void splitPath(OsStyle style, const WideString& path, WideStringList& components) {
    components.clear();
    if (style == OsStyle::Posix) {
        // The first component is the root: empty for an absolute path.
        splitAtSeparator(nativePath(style, path), u"/", components);
        return;
    }
    WideString root;
    WideString rest = path;
    if (hasLongPathPrefix(path)) {
        root = u"\\\\?\\";
        rest = path.substr(4);
    }
    std::size_t cut = rest.find(u'\\', isUncPath(rest) ? 2 : 0);
    if (cut == WideString::npos) cut = rest.size();
    root += rest.substr(0, cut);
    rest = cut < rest.size() ? rest.substr(cut + 1) : WideString();
    WideStringList pieces;
    splitAtSeparator(rest, u"\\", pieces);
    if (!root.empty()) components.append(root);
    for (const WideString& piece : pieces) components.append(piece);
}

bool pathExists(FileSystem& files, const WideString& path) {
    if (path.empty() || !isAbsolutePath(files.style(), path)) return false;
    return files.fileExists(path);
}

std::int32_t ensureParentDirectories(FileSystem& files, const WideString& path) {
    if (pathExists(files, path)) return 0;
    const OsStyle style = files.style();
    const bool unc = style == OsStyle::Windows && isUncPath(path);
    WideStringList components;
    splitPath(style, path, components);
    if (components.size() < 3) return 0;
    const char16_t separator = pathSeparator(style);
    WideString directory = components[0];
    std::int32_t lastFailure = 0;
    bool previousCreated = false;
    WideString previous;
    for (std::size_t i = 1; i + 1 < components.size(); ++i) {
        directory = directory + separator + components[i];
        const Status result = files.createDirectory(directory);
        if (result) {
            lastFailure = 0;
            previousCreated = true;
            previous = directory;
            continue;
        }
        lastFailure = result.code();
        if (lastFailure == kErrorAlreadyExists || unc) {
            previousCreated = false;
            continue;
        }
        // Remove the level above when this call created it (it is empty).
        if (i > 1 && previousCreated) files.removeDirectory(previous);
        break;
    }
    return lastFailure == kErrorAlreadyExists ? 0 : lastFailure;
}

}  // namespace kite
