// Process entry of the Windows builds (Unicode programs). The console
// executable prints its errors as a line on standard output; its windowed
// twin, compiled from this file with KITE_WINDOWED for the GUI subsystem,
// shows them in a message box, and captures the standard streams it lacks
// for the JVM's and the application's output. Nothing else differs.
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/common/console_message_sink.h"
#include "platform/win32/message_box_sink.h"
#include "platform/win32/win32_output_capture.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_service_control.h"

#ifdef KITE_WINDOWED
using EntryMessageSink = kite::MessageBoxSink;
#else
using EntryMessageSink = kite::ConsoleMessageSink;
#endif

int wmain() {
    // Before anything is loaded: the current folder takes no part in finding
    // a DLL for the rest of the process. "Path" stays, as "System Path" is
    // there for the native libraries' own dependencies.
    SetDllDirectoryW(L"");
    kite::Win32Platform platform;
    kite::Win32ServiceControl serviceControl;
    EntryMessageSink messages(platform);
#ifdef KITE_WINDOWED
    kite::Win32OutputCapture output;
    return kite::launcherMain(platform, serviceControl, &messages, &output);
#else
    return kite::launcherMain(platform, serviceControl, &messages);
#endif
}
