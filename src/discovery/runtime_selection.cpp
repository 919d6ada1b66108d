#include "launcher/launcher.h"

namespace kite {

// Runtime discovery is not available yet: no runtime is ever found.
bool Launcher::discoverRuntime() { return false; }
bool Launcher::searchRegistry(bool, WideString&) { return false; }
void Launcher::sortCandidates(std::vector<JreCandidate>&) const {}
bool Launcher::selectCandidate(std::vector<JreCandidate>&, JreCandidate&) const { return false; }
WideString Launcher::versionRequirementText() const { return {}; }
void Launcher::scanVendorKey(std::vector<JreCandidate>&, const WideString&, bool) {}
bool Launcher::checkRuntimeKey(const WideString&, const WideString&, WideString&, bool&, bool) { return false; }
void Launcher::checkJvmLibraryImage() { launchPairProduct = false; }

}  // namespace kite
