// What each operating system decides by convention rather than by path
// syntax: where a runtime keeps its libraries, how settings files are named,
// where per-user folders lie, which variable the library loader searches.
// The logic looks a rule up here instead of branching on the system.
#pragma once

#include <cstddef>

#include "platform/os_style.h"

namespace kite {

// One layout of a runtime home: the JVM library below the home, in the forms
// tried in order (the second one, when set, is the Java 8 form of Linux runtimes).
struct RuntimeLayout {
    const char16_t* library[2];
    bool server;
};

enum class SettingsFileNaming {
    LastDotOfPath,      // the text after the path's last dot becomes "ini"; no dot: no settings file
    LastDotOfFileName,  // the same for the file name only; a name without a dot gets ".ini" appended
};

// A per-user base folder: the environment variable that names it, and where
// it lies below HOME when the variable is unset or unusable.
struct BaseFolderRule {
    const char16_t* variable;
    std::size_t maxLength;    // a longer value is unusable; 0: no limit
    bool variableMustBeFull;  // a relative value is unusable
    const char16_t* belowHome;  // null: no folder without the variable
    bool homeMustBeFull;
    bool mayBeMissing;  // created before the folders below it
};

enum class ImageFormat { Pe, Elf };

enum class LibraryPathRule {
    // The lists are composed with %Path% references, each piece expanded on
    // its own, so that an undefined variable stays as written.
    WithPathReferences,
    // The lists are the expanded settings entries joined with the path separator.
    JoinedEntries,
};

struct OsConventions {
    // In the order in which the default lookup tries them.
    RuntimeLayout layouts[5];
    // The runtime's own native library: a folder holding one of these is a runtime home.
    const char16_t* runtimeMarkers[2];
    // A folder between lib and the JVM type's folder in the Java 8 form, or null.
    const char16_t* architectureFolder;
    // Folder whose sub-folders are runtimes, searched in place of a registry; null: the registry.
    const char16_t* runtimeFolders;
    ImageFormat imageFormat;
    SettingsFileNaming settingsFileNaming;
    BaseFolderRule configurationFolder;
    BaseFolderRule cacheFolder;
    LibraryPathRule libraryPath;
    // The variable the library loader searches; on Windows also the programs' search path.
    const char16_t* loaderSearchVariable;
    // The variable with the programs' search path.
    const char16_t* programSearchVariable;
    // The runtime's splash screen library, in the folder above the JVM library's own.
    const char16_t* splashLibrary;
    // A service's stop control reaches the process as a signal, which the JVM must leave alone.
    bool serviceStopIsSignal;
};

const OsConventions& conventions(OsStyle style);

}  // namespace kite
