// The Linux source of runtimes in place of the registry: every folder below a
// root (/usr/lib/jvm) that holds a "release" file.
#pragma once

#include <vector>

#include "discovery/runtime_requirements.h"
#include "foundation/trace.h"

namespace kite {

class Platform;

// Appends the runtimes below root (its folders that hold a "release" file)
// that lie within the version bounds and hold a JVM library of the
// wanted type: JDKs first, then JREs, each in name order. They count as the
// JavaSoft vendor.
void scanRuntimeFolders(Platform& platform, const RuntimeRequirements& requirements, const Trace& trace,
                        const WideString& root, std::vector<JreCandidate>& candidates);

}  // namespace kite
