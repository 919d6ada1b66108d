#include "launcher/launcher.h"

namespace kite {

// Starting the paired executable is not available yet: the launch fails.
std::int32_t Launcher::runPairedProduct() { return -1; }

}  // namespace kite
