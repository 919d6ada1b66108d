#include "launcher/launcher.h"

namespace kite {

// JVM option assembly is not available yet.
void Launcher::setUpLibraryPath() {}
bool Launcher::assembleJvmOptions() { return false; }

}  // namespace kite
