#include "launcher/launcher.h"
#include "platform/platform.h"

namespace kite {

// Starts the paired executable in this launcher's place, with this process's
// own command line; its exit code is passed on only with "Pair Return Code".
std::int32_t Launcher::runPairedProduct() { return platform_.processes.startPairedProcess(settings.pair.product, settings.pair.returnCode); }

}  // namespace kite
