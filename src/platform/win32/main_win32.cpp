// Process entry of the Windows builds (Unicode console program).
#include "launcher/launcher.h"
#include "platform/win32/win32_platform.h"

int wmain() {
    kite::Win32Platform platform;
    return kite::launcherMain(platform);
}
