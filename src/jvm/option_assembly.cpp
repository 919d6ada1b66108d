// Everything the JVM receives from the settings: the library path and the
// process environment, the class path, the VM parameters (with memory
// shares resolved), the output files and the "Cmd" words.
#include "jvm/option_assembly.h"

#include "foundation/message_catalog.h"
#include "foundation/path_helpers.h"
#include "jvm/memory_sizing.h"
#include "launcher/command_line.h"
#include "launcher/file_locations.h"
#include "launcher/launcher.h"
#include "platform/platform.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

const WideString kRuntime = u"Java Runtime Environment";
const WideString kApplication = u"Application";

// Joins entries the way the JVM reads a path list: on Windows every entry is
// followed by ';'; on Linux entries are separated by ':' with no trailing
// separator (an empty last entry would name the current folder).
WideString joinPathList(OsStyle style, const WideStringList& entries) {
    WideString text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (style == OsStyle::Windows) {
            text += entries[i] + u";";
        } else {
            if (i > 0) text.push_back(u':');
            text += entries[i];
        }
    }
    return text;
}

// The settings keep ';' between entries; on Linux a path list needs ':'.
WideString settingsList(OsStyle style, const WideString& value) {
    if (style == OsStyle::Windows) return value;
    WideStringList pieces;
    splitAtSeparator(value, u";", pieces);
    WideStringList kept;
    for (const WideString& piece : pieces) {
        if (!piece.empty()) kept.append(nativePath(style, piece));
    }
    return joinPathList(style, kept);
}

}  // namespace

WideString stripPathComponents(OsStyle style, const WideString& path, int count) {
    WideString result = path;
    for (int i = 0; i < count; ++i) {
        const std::size_t slash = lastPathSeparator(style, result);
        if (slash == WideString::npos) break;
        result.resize(slash);
    }
    return result;
}

WideString runtimeHomeOf(OsStyle style, const WideString& libraryPath) {
    WideString home = stripPathComponents(style, libraryPath, 3);
    // Linux runtimes of Java 8 keep the library one level deeper: lib/amd64/server/libjvm.so.
    if (style == OsStyle::Posix && home.size() >= 4 && home.ends_with(u"lib") &&
        isPathSeparator(style, home[home.size() - 4])) {
        home = stripPathComponents(style, home, 1);
    }
    return home + pathSeparator(style);
}

void Launcher::setUpLibraryPath() {
    const OsStyle style = platform_.style();
    const WideString home = runtimeHomeOf(style, jvmLibraryPath);
    const WideString homeWithoutSeparator = home.substr(0, home.size() - 1);
    platform_.setEnvironment(u"KITE_JVM_PATH", jvmLibraryPath);
    platform_.setEnvironment(u"KITE_JVM_HOME", homeWithoutSeparator);

    WideString executableFolder;
    WideString module;
    if (platform_.modulePath(module)) {
        const std::size_t slash = lastPathSeparator(style, module);
        if (slash != WideString::npos) executableFolder = module.substr(0, slash + 1);
    }

    if (style == OsStyle::Windows) {
        if (!libraryPath.empty()) {
            WideString text = libraryPath;
            if (text.back() != u';') text.push_back(u';');
            text += executableFolder + u";." + u";%Path%" + u";" + home + u"lib";
            expandEnvironment(platform_, text);
            jvmOptions.push_back(platform_.narrowText(u"-Djava.library.path=" + text));
        }
        WideString path;
        if (!systemPath.empty()) {
            path = systemPath;
            if (path.back() != u';') path.push_back(u';');
        }
        path += u"%Path%;" + stripPathComponents(style, jvmLibraryPath, 2);
        expandEnvironment(platform_, path);
        platform_.setEnvironment(u"Path", path);
        return;
    }

    // Linux: the same composition with ':' lists and the home's folders.
    if (!libraryPath.empty()) {
        WideStringList entries;
        const WideString configured = settingsList(style, libraryPath);
        if (!configured.empty()) entries.append(configured);
        if (!executableFolder.empty()) entries.append(executableFolder.substr(0, executableFolder.size() - 1));
        entries.append(u".");
        entries.append(home + u"lib");
        WideString text = joinPathList(style, entries);
        expandEnvironment(platform_, text);
        jvmOptions.push_back(platform_.narrowText(u"-Djava.library.path=" + text));
    }
    WideStringList entries;
    const WideString configured = settingsList(style, systemPath);
    if (!configured.empty()) entries.append(configured);
    WideString previous;
    if (platform_.getEnvironment(u"PATH", previous) && !previous.empty()) entries.append(previous);
    entries.append(home + u"bin");
    WideString path = joinPathList(style, entries);
    expandEnvironment(platform_, path);
    platform_.setEnvironment(u"PATH", path);
}

bool Launcher::assembleJvmOptions() {
    WideString settingsFile;
    if (!settingsFilePath(platform_, settingsFile)) return false;
    LayeredSettingsStore store(platform_, settingsFile);
    const OsStyle style = platform_.style();

    WideStringList entries = buildClassPath(*this, store);
    WideString value;
    store.getValue(kApplication, u"Embedded Jar", value);
    WideString module;
    if (isYes(value) && modulePath(platform_, module)) {
        WideStringList withExecutable{module};
        for (const WideString& entry : entries) withExecutable.append(entry);
        entries = withExecutable;
    }
    if (entries.empty()) {
        printError(platform_, MessageCatalog::text(MessageId::ClassPathMissing));
        return false;
    }

    WideStringList options{u"-Djava.class.path=" + joinPathList(style, entries)};
    store.getValue(kRuntime, u"Virtual Machine Parameters", value);
    splitVmParameters(*this, value, options);
    for (WideString option : options) {
        expandEnvironment(platform_, option);
        jvmOptions.push_back(platform_.narrowText(option));
    }

    store.getValue(kApplication, u"Output File", outputFile);
    if (!outputFile.empty()) expandEnvironment(platform_, outputFile);
    store.getValue(kApplication, u"Output Append", value);
    if (isExactYes(value)) outputAppend = true;
    store.getValue(kApplication, u"Error File", errorFile);
    if (!errorFile.empty()) expandEnvironment(platform_, errorFile);
    store.getValue(kApplication, u"Error Append", value);
    if (isExactYes(value)) errorAppend = true;

    store.getValue(kApplication, u"Cmd", cmdArguments);
    if (!cmdArguments.empty()) {
        WideString expanded = cmdArguments;
        expandEnvironment(platform_, expanded);
        WideStringList words;
        splitCommandLine(expanded, words);
        for (const WideString& word : words) {
            if (!word.empty()) arguments.append(word);
        }
    }
    return true;
}

WideStringList buildClassPath(Launcher& launcher, SettingsStore& store) {
    Platform& platform = launcher.platform();
    const OsStyle style = platform.style();
    WideString value;
    store.getValue(u"Class Path", u"Class Path", value);
    WideStringList configured;
    splitAtSeparator(value, u";", configured);
    WideStringList entries;
    for (WideString entry : configured) {
        expandEnvironment(platform, entry);
        if (entry.find(u'*') == WideString::npos && isAbsolutePath(style, entry)) {
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
        // Relative entries name files beside the executable: \lib\*.jar, and
        // lib\*.jar the same way.
        WideString module;
        if (!platform.modulePath(module)) return;
        const std::size_t slash = lastPathSeparator(style, module);
        WideString folder = slash == WideString::npos ? WideString() : module.substr(0, slash);
        if (pattern.empty() || !isPathSeparator(style, pattern.front())) folder.push_back(pathSeparator(style));
        pattern = folder + pattern;
    }
    const std::size_t slash = lastPathSeparator(style, pattern);
    const WideString matchFolder = slash == WideString::npos ? WideString() : pattern.substr(0, slash + 1);
    WideStringList names;
    if (!platform.findFiles(pattern, names)) return;
    for (const WideString& name : names) entries.append(matchFolder + name);
}

void splitVmParameters(Launcher& launcher, const WideString& text, WideStringList& options) {
    const std::size_t n = text.size();
    auto tokenEnd = [&](std::size_t p) {
        std::size_t s = text.find(u' ', p);
        std::size_t q = text.find(u'"', p);
        while (q != WideString::npos) {
            if (s == WideString::npos) return n;
            if (s < q) return s;
            std::size_t c = text.find(u'"', q + 1);
            if (c == WideString::npos) return s;
            if (c + 1 < n && text[c + 1] == u'"') ++c;
            q = text.find(u'"', c + 1);
            s = text.find(u' ', c + 1);
        }
        return s == WideString::npos ? n : s;
    };
    std::size_t position = 0;
    while (position < n) {
        const std::size_t end = tokenEnd(position);
        addVmParameter(launcher, text.substr(position, end - position), options);
        position = end;
        while (position < n && text[position] == u' ') ++position;
    }
}

void addVmParameter(Launcher& launcher, WideString token, WideStringList& options) {
    std::size_t open = token.find(u'"');
    while (open != WideString::npos) {
        std::size_t close = token.find(u'"', open + 1);
        if (close == WideString::npos) break;
        if (close + 1 < token.size() && token[close + 1] == u'"') ++close;
        const WideString inner = token.substr(open + 1, close - open - 1);
        token = token.substr(0, open) + inner + token.substr(close + 1);
        open = token.find(u'"', open + inner.size());
    }
    // An empty token (a value that begins with a blank, as every value from a
    // "+" section does) is no option: the VM would refuse it and not start.
    if (token.empty()) return;
    if (isPercentSize(token)) {
        token = resolvePercentSize(token, launcher.platform().memoryFigures(), sizeof(void*) == 8);
    }
    if (token.starts_with(u"-Xss")) launcher.mainThreadStackSize = parseStackSize(token.substr(4));
    options.append(token);
}

}  // namespace kite
