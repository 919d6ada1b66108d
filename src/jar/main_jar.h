// "Main Jar": reads the jar's manifest before the runtime is looked for, so
// that a missing or broken jar is reported before anything else happens and
// the splash screen can be shown before the VM exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/trace.h"
#include "foundation/wide_string.h"

namespace kite {

class Platform;
struct LaunchSettings;

// Fills settings.jar from the manifest of settings.jar.path (nothing to do
// when it is empty) and, without "Main Class", settings.mainClass from its
// Main-Class. False after the error line (250, 251 or 252).
bool readMainJar(Platform& platform, const Trace& trace, LaunchSettings& settings);

// The bytes of one entry of a jar, at most maxSize; false (and the trace
// says why) when the jar or the entry cannot be read.
bool readJarEntry(Platform& platform, const Trace& trace, const WideString& jarPath, const WideString& entryName,
                  std::size_t maxSize, std::vector<std::uint8_t>& content);

}  // namespace kite
