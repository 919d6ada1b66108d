#include "launcher/launcher.h"

namespace kite {

// The single-instance guard is not available yet: every process runs as an
// ordinary, unguarded instance (the same outcome as a guard whose shared block
// cannot be created).
bool Launcher::setUpInstanceGuard() {
    singleInstance = false;
    return true;
}

std::int32_t Launcher::waitForPrimary() { return -1; }

}  // namespace kite
