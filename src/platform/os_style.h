// Which path syntax a machine follows.
#pragma once

namespace kite {

enum class OsStyle {
    Windows,  // backslash paths, drive letters
    Posix,    // '/' and '\' both separate
};

}  // namespace kite
