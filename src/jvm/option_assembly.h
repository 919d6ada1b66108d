// The pieces of JVM option assembly that tests and benchmarks reach directly.
#pragma once

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

class Launcher;
class SettingsStore;

// The path with its last count separator-delimited components removed.
WideString stripPathComponents(OsStyle style, const WideString& path, int count);
// The runtime home of a JVM library (two folders above its own), with a trailing separator.
WideString runtimeHomeOf(OsStyle style, const WideString& libraryPath);
// The class-path entries of the "Class Path" setting, wildcards and relative entries searched.
WideStringList buildClassPath(Launcher& launcher, SettingsStore& store);
// Appends the files that one wildcard or relative entry names.
void expandClassPathEntry(Platform& platform, const WideString& entry, WideStringList& entries);
// Cuts the "Virtual Machine Parameters" text into options: blanks separate, quotes group.
void splitVmParameters(Launcher& launcher, const WideString& text, WideStringList& options);
// Unquotes one token, resolves memory shares, notes -Xss and appends it.
void addVmParameter(Launcher& launcher, WideString token, WideStringList& options);

}  // namespace kite
