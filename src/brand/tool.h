// The kite-brand command line: its options, its messages and exit codes.
//
//   kite-brand INPUT.exe [options] --output OUTPUT.exe
//
// Exit codes: 0 written; 1 the input, the icon or the output was refused or
// failed (nothing written); 2 the command line was wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "brand/file_access.h"

namespace kite::brand {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// One line of output, without its line end; the entry file writes it to
// standard output or standard error.
using LineSink = std::function<void(const std::string&)>;

// args: the arguments after the program name, UTF-8.
int runBrandTool(const std::vector<std::string>& args, FileAccess& files, const LineSink& out, const LineSink& err);

}  // namespace kite::brand
