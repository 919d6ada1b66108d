#include "launcher/launcher.h"

namespace kite {

// JVM hosting is not available yet: loading the JVM library fails.
bool Launcher::loadJvmLibrary(const WideString&) { return false; }
std::int32_t Launcher::defaultThreadStackSize() { return 0; }
bool Launcher::createVm() { return false; }
void Launcher::destroyJavaVm() {}
std::uint32_t Launcher::runJavaMain() { return 1; }
bool Launcher::invokeMain() { return false; }

}  // namespace kite
