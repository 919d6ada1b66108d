// The running executable's full path, however long.
#pragma once

#include <string>

namespace kite {

// False (with the system's last error set) when the path cannot be read.
// GetModuleFileNameW cuts a path that does not fit its buffer and says so
// only by filling the buffer: the buffer grows until the path fits, so that
// a deep folder never yields the path of an ancestor folder's files.
bool moduleFileName(std::wstring& path);

}  // namespace kite
