// The Linux source of runtimes in place of the registry: every folder below a
// root (/usr/lib/jvm) that holds a "release" file.
#pragma once

#include <vector>

#include "launcher/launcher.h"

namespace kite {

// Appends the runtimes below root (its folders that hold a "release" file)
// that lie within the launcher's version bounds and hold a JVM library of the
// wanted type: JDKs first, then JREs, each in name order. They count as the
// JavaSoft vendor.
void scanRuntimeFolders(Launcher& launcher, const WideString& root, std::vector<JreCandidate>& candidates);

}  // namespace kite
