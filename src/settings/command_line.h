// Cutting the process's command line (and the "Cmd" setting) into arguments.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class Platform;

// Fills arguments with the process's arguments after the program name.
void parseCommandLine(Platform& platform, WideStringList& arguments);
// Appends the pieces of text: spaces separate, quotes group at a piece's start.
void splitCommandLine(const WideString& text, WideStringList& pieces);

}  // namespace kite
