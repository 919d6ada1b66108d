// Process entry of the Windows builds (Unicode console program).
#include "launcher/launcher.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_service_control.h"

int wmain() {
    kite::Win32Platform platform;
    kite::Win32ServiceControl serviceControl;
    return kite::launcherMain(platform, serviceControl);
}
