// Path forms, splitting and directory creation. Windows syntax: the backslash
// separates, roots are drives, \\server parts and the \\?\ prefix. Linux
// syntax (OsStyle::Posix): '/' and '\' both separate, absolute means a
// leading '/'.
#pragma once

#include <cstdint>

#include "foundation/wide_string.h"
#include "platform/files.h"

namespace kite {

bool hasLongPathPrefix(const WideString& path);
bool isUncPath(const WideString& path);
// Windows: two leading backslashes or a drive colon. Posix: a leading '/'
// (a leading backslash names a path relative to the executable's folder).
bool isAbsolutePath(OsStyle style, const WideString& path);

bool isPathSeparator(OsStyle style, char16_t c);
// The separator the launcher writes: '\' on Windows, '/' on Linux.
char16_t pathSeparator(OsStyle style);
// Position of the last separator, or npos.
std::size_t lastPathSeparator(OsStyle style, const WideString& path);
// On Linux every backslash becomes '/'; Windows paths are returned unchanged.
WideString nativePath(OsStyle style, const WideString& path);
// Separator between the entries of java.class.path and java.library.path.
char16_t pathListSeparator(OsStyle style);

// Cuts a path into its root (when it has one) and its components.
void splitPath(OsStyle style, const WideString& path, WideStringList& components);
// An absolute path that names an existing file or directory.
bool pathExists(FileSystem& files, const WideString& path);
// Creates every missing directory on the way to a file: 0 or the error code.
std::int32_t ensureParentDirectories(FileSystem& files, const WideString& path);

}  // namespace kite
