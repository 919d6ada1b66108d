// Publishing the chosen runtime to the process environment before the JVM
// library is loaded: KITE_JVM_PATH, KITE_JVM_HOME, the java.library.path
// option and the extended search path ("Path" on Windows, PATH on Linux).
#include "discovery/runtime_candidates.h"
#include "foundation/path_helpers.h"
#include "jvm/option_assembly.h"
#include "platform/common/os_conventions.h"
#include "platform/platform.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

// The name of a path's last component (the text after its last separator).
WideString lastComponent(OsStyle style, const WideString& path) {
    const std::size_t cut = lastPathSeparator(style, path);
    return cut == WideString::npos ? path : path.substr(cut + 1);
}

// The pieces of a list after its references were expanded, without the empty
// ones: an empty entry of a search path names the current folder.
WideString withoutEmptyEntries(OsStyle style, const WideString& list) {
    WideStringList pieces;
    appendListPieces(style, list, pieces);
    return pathListText(style, pieces);
}

// Windows: the texts are composed with %Path% references, so an undefined
// variable stays as written. The library path's pieces are expanded one by
// one and cut at ';' as the JVM cuts them; empty entries are dropped when the
// list is joined.
bool setUpWindows(Platform& platform, const Trace& trace, const LaunchSettings& settings, const WideString& library,
                  std::vector<std::string>& options) {
    const OsStyle style = OsStyle::Windows;
    platform.env.setEnvironment(u"KITE_JVM_PATH", library);
    platform.env.setEnvironment(u"KITE_JVM_HOME", stripPathComponents(style, library, 3));

    if (!settings.libraryPath.empty()) {
        WideString configured = settings.libraryPath;
        if (configured.back() == u';') configured.pop_back();
        WideString executableFolder;
        if (!executableDirectory(platform, executableFolder)) executableFolder.clear();
        // No "." entry: a library the application loads by name must never
        // come from whatever folder the user started it in.
        WideStringList entries;
        for (WideString piece : {configured, executableFolder, WideString(u"%Path%"),
                                 runtimeHomeOf(style, library) + u"lib"}) {
            expandEnvironment(platform, piece);
            appendListPieces(style, piece, entries);
        }
        std::string text;
        if (!jvmPathListText(platform, trace, entries, text)) return false;
        options.push_back("-Djava.library.path=" + text);
    }

    WideString path;
    if (!settings.systemPath.empty()) {
        path = settings.systemPath;
        if (path.back() != u';') path.push_back(u';');
    }
    path += u"%Path%;" + stripPathComponents(style, library, 2);
    expandEnvironment(platform, path);
    platform.env.setEnvironment(u"Path", withoutEmptyEntries(style, path));
    return true;
}

// Appends the non-empty entries of a ';'-separated setting after expanding
// its environment references. An empty entry would name the current folder.
void appendSettingsList(Platform& platform, WideString value, WideStringList& entries) {
    expandEnvironment(platform, value);
    WideStringList pieces;
    splitAtSeparator(value, u";", pieces);
    for (const WideString& piece : pieces) {
        if (!piece.empty()) entries.append(nativePath(platform.style(), piece));
    }
}

// Linux: the same composition as ':' lists. The loader's search path that the
// Windows library path takes from "Path" is LD_LIBRARY_PATH here; the
// runtime's bin folder goes last on PATH.
bool setUpPosix(Platform& platform, const Trace& trace, const LaunchSettings& settings, const WideString& library,
                std::vector<std::string>& options) {
    const OsStyle style = OsStyle::Posix;
    const OsConventions& rules = conventions(style);
    const WideString home = runtimeHomeOf(style, library);
    platform.env.setEnvironment(u"KITE_JVM_PATH", library);
    platform.env.setEnvironment(u"KITE_JVM_HOME", home.size() > 1 ? home.substr(0, home.size() - 1) : home);

    if (!settings.libraryPath.empty()) {
        WideStringList entries;
        appendSettingsList(platform, settings.libraryPath, entries);
        WideString executableFolder;
        if (executableDirectory(platform, executableFolder) && executableFolder.size() > 1) {
            executableFolder.pop_back();
        }
        if (!executableFolder.empty()) entries.append(executableFolder);
        WideString loaderPath;
        if (platform.env.getEnvironment(rules.loaderSearchVariable, loaderPath) && !loaderPath.empty()) {
            entries.append(loaderPath);
        }
        entries.append(home + u"lib");
        // LD_LIBRARY_PATH is a list itself: each of its pieces is a path of its own.
        WideStringList pieces;
        for (const WideString& entry : entries) {
            if (!entry.empty()) appendListPieces(style, entry, pieces);
        }
        std::string text;
        if (!jvmPathListText(platform, trace, pieces, text)) return false;
        options.push_back("-Djava.library.path=" + text);
    }

    WideStringList entries;
    appendSettingsList(platform, settings.systemPath, entries);
    WideString previous;
    if (platform.env.getEnvironment(rules.programSearchVariable, previous)) appendListPieces(style, previous, entries);
    entries.append(home + u"bin");
    platform.env.setEnvironment(rules.programSearchVariable, pathListText(style, entries));
    return true;
}

}  // namespace

WideString stripPathComponents(OsStyle style, const WideString& path, int count) {
    WideString result = path;
    for (int i = 0; i < count; ++i) {
        const std::size_t cut = lastPathSeparator(style, result);
        if (cut == WideString::npos) break;
        result.resize(cut);
    }
    return result;
}

WideString runtimeHomeOf(OsStyle style, const WideString& libraryPath) {
    WideString folder = stripPathComponents(style, libraryPath, 2);
    const char16_t* const architecture = conventions(style).architectureFolder;
    if (architecture != nullptr && lastComponent(style, folder) == architecture &&
        lastComponent(style, stripPathComponents(style, folder, 1)) == u"lib") {
        folder = stripPathComponents(style, folder, 1);
    }
    const std::size_t cut = lastPathSeparator(style, folder);
    return cut == WideString::npos ? WideString() : folder.substr(0, cut + 1);
}

bool setUpLibraryPath(Platform& platform, const Trace& trace, const LaunchSettings& settings,
                      const WideString& jvmLibraryPath, std::vector<std::string>& options) {
    if (conventions(platform.style()).libraryPath == LibraryPathRule::WithPathReferences) {
        return setUpWindows(platform, trace, settings, jvmLibraryPath, options);
    }
    return setUpPosix(platform, trace, settings, jvmLibraryPath, options);
}

}  // namespace kite
