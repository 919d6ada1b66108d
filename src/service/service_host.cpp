#include "service/service_host.h"

#include "launcher/launcher.h"

namespace kite {

// Service mode is not available yet: the start fails.
std::int32_t ServiceHost::runDispatcher() {
    (void)launcher_;
    return -1;
}

bool Launcher::callJavaStop() { return false; }

}  // namespace kite
