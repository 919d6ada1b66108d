// JVM option assembly: from the settings and the chosen runtime to the
// options, the arguments of main and the output files (JvmOptions), and the
// pieces of it that tests, fuzz targets and the benchmark reach directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/runtime_requirements.h"
#include "foundation/trace.h"
#include "foundation/wide_string.h"
#include "jvm/jvm_options.h"
#include "platform/platform.h"
#include "settings/launch_settings.h"

namespace kite {

class SettingsStore;

// Publishes the chosen runtime to the process environment before its library
// is loaded (KITE_JVM_PATH, KITE_JVM_HOME and the program or loader search
// path) and appends the java.library.path option for "Library Path". False
// after the error line when one of its paths cannot be given to the JVM.
bool setUpLibraryPath(Platform& platform, const Trace& trace, const LaunchSettings& settings,
                      const WideString& jvmLibraryPath, std::vector<std::string>& options);

// Appends the class path ("Main Jar" first), the manifest's module options
// when "Main Class" wins over it, the VM parameters, -Dsun.java.command (unless the
// VM parameters set it) and the class-data archive options to jvm.options,
// and fills in the rest of jvm: the arguments of main (the "Leading Cmd"
// words, arguments, then the "Cmd" words), the output files and the main
// thread's stack size; shows the splash screen. Needs the JVM library loaded. False
// after the error line; without a class path the VM would look for the main
// class in the current folder, so the start ends there.
bool assembleJvmOptions(Platform& platform, const Trace& trace, const LaunchSettings& settings,
                        const ChosenRuntime& runtime, const WideStringList& arguments, JvmOptions& jvm);

// The value of sun.java.command as the java command sets it: the main class
// with dots (mainClass has '/' in place of '.'), then each argument of main
// after one blank.
WideString javaCommandText(const WideString& mainClass, const WideStringList& mainArguments);
// The same for an application started from its jar: the jar's path, then
// the arguments.
WideString jarCommandText(const WideString& jarPath, const WideStringList& mainArguments);

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
bool jvmPathForm(Platform& platform, const Trace& trace, const WideString& path, WideString& form);
// The narrow text of a path list option: the form of every entry, empty ones
// included, joined by the list separator. False after the error line.
bool jvmPathListText(Platform& platform, const Trace& trace, const WideStringList& entries, std::string& text);
// Appends the pieces of text between list separators, empty ones included,
// so that joining them again gives text back.
void appendListPieces(OsStyle style, const WideString& text, WideStringList& pieces);

// --- VM parameters (vm_parameters.cpp) ------------------------------------------
// Cuts the "Virtual Machine Parameters" text into tokens (blanks separate,
// double quotes group) and hands each to addVmParameter; false at the first
// token it refuses.
bool splitVmParameters(Platform& platform, const WideString& text, WideStringList& options,
                       std::uint32_t& mainThreadStackSize);
// Unquotes one token, resolves a share-of-memory size, notes -Xss as the
// main thread's stack size and appends it. An empty token is dropped. A size
// too large for the build's arithmetic is refused: false after the message.
bool addVmParameter(Platform& platform, WideString token, WideStringList& options, std::uint32_t& mainThreadStackSize);

}  // namespace kite
