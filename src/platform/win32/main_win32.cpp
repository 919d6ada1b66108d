// Process entry of the Windows builds (Unicode console program).
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/common/console_message_sink.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_service_control.h"

int wmain() {
    // Before anything is loaded: the current folder takes no part in finding
    // a DLL for the rest of the process. "Path" stays, as "System Path" is
    // there for the native libraries' own dependencies.
    SetDllDirectoryW(L"");
    kite::Win32Platform platform;
    kite::Win32ServiceControl serviceControl;
    kite::ConsoleMessageSink messages(platform);
    return kite::launcherMain(platform, serviceControl, &messages);
}
