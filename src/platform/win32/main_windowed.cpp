// Process entry of the windowed Windows builds (kitew.exe, kitew64.exe):
// the console builds' entry with a message box in place of the error line.
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win32/message_box_sink.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_service_control.h"

int wmain() {
    // As in the console entry: the current folder takes no part in finding a DLL.
    SetDllDirectoryW(L"");
    kite::Win32Platform platform;
    kite::Win32ServiceControl serviceControl;
    kite::MessageBoxSink messages(platform);
    return kite::launcherMain(platform, serviceControl, &messages);
}
