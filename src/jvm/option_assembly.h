// The pieces of JVM option assembly that tests, fuzz targets and the
// benchmark reach directly. The Launcher operations setUpLibraryPath and
// assembleJvmOptions are built from them.
#pragma once

#include <string>

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

class Launcher;
class SettingsStore;

// --- runtime paths (library_path.cpp) -------------------------------------------
// The path with its last count separator-delimited components removed; a
// repetition that finds no separator leaves the path as it is.
WideString stripPathComponents(OsStyle style, const WideString& path, int count);
// The runtime home of a JVM library, with a trailing separator: two folders
// above the library (bin\server\jvm.dll, lib/server/libjvm.so), three for the
// Linux Java 8 layout lib/amd64/<type>/libjvm.so.
WideString runtimeHomeOf(OsStyle style, const WideString& libraryPath);

// --- class path (class_path.cpp) -------------------------------------------------
// The class-path entries of the "Class Path" setting, in order: absolute
// entries without '*' as written, an entry "." as written (the current
// folder), the others through the directory search.
WideStringList buildClassPath(Platform& platform, SettingsStore& store);
// Appends the names that one wildcard or relative entry matches, each
// prefixed with the folder of the search pattern. Relative entries are
// searched beside the executable.
void expandClassPathEntry(Platform& platform, const WideString& entry, WideStringList& entries);
// The text of a path list as the JVM reads it: the entries separated by ';'
// (Windows) or ':' (Linux), with no trailing separator; empty entries are left
// out, since the JVM would read each as the current folder.
WideString pathListText(OsStyle style, const WideStringList& entries);
// The same for the class path, where an entry may itself hold separators:
// every non-empty piece becomes an entry of its own.
WideString classPathText(OsStyle style, const WideStringList& entries);
// Those pieces, in order.
WideStringList classPathPieces(OsStyle style, const WideStringList& entries);

// --- paths handed to the JVM (jvm_path_text.cpp) ------------------------------------
// The form of path that survives the narrow encoding in which the JVM reads
// it: the path as it is when it survives; otherwise each component that does
// not is replaced by its short (8.3) name, and the trace says so. False after
// the error line when such a component has no short name that survives.
bool jvmPathForm(Launcher& launcher, const WideString& path, WideString& form);
// The narrow text of a path list option: the form of every entry, empty ones
// included, joined by the list separator. False after the error line.
bool jvmPathListText(Launcher& launcher, const WideStringList& entries, std::string& text);
// Appends the pieces of text between list separators, empty ones included,
// so that joining them again gives text back.
void appendListPieces(OsStyle style, const WideString& text, WideStringList& pieces);

// --- VM parameters (vm_parameters.cpp) ------------------------------------------
// Cuts the "Virtual Machine Parameters" text into tokens (blanks separate,
// double quotes group) and hands each to addVmParameter; false at the first
// token it refuses.
bool splitVmParameters(Launcher& launcher, const WideString& text, WideStringList& options);
// Unquotes one token, resolves a share-of-memory size, notes -Xss as the
// main thread's stack size and appends it. An empty token is dropped. A size
// too large for the build's arithmetic is refused: false after the message.
bool addVmParameter(Launcher& launcher, WideString token, WideStringList& options);

}  // namespace kite
