// "Splash Screen": an image shown through the runtime's own splash library
// from before the VM is created until the application closes it or opens its
// first window.
#pragma once

#include <string>
#include <vector>

#include "foundation/trace.h"
#include "foundation/wide_string.h"
#include "platform/platform.h"
#include "settings/launch_settings.h"

namespace kite {

class SettingsStore;

// The runtime's splash library, in the folder above the JVM library's own:
// bin\splashscreen.dll beside bin\server\jvm.dll, lib/libsplashscreen.so
// beside lib/server/libjvm.so (lib/amd64/ in the Java 8 layout).
WideString splashLibraryPath(OsStyle style, const WideString& jvmLibraryPath);

// Reads "Splash Screen" and hands the image to the splash library; without
// it, the SplashScreen-Image of the main jar (its bytes, with the entry's and
// the jar's names). Needs the
// JVM library loaded (the splash library imports it) and the JVM options
// assembled (a -splash option among them shows the image itself). Every
// reason to show none goes to the trace; the start goes on.
void showSplashScreen(Platform& platform, const Trace& trace, bool serviceMode, const WideString& jvmLibraryPath,
                      const std::vector<std::string>& options, const MainJarSettings& jar, SettingsStore& store);

// Closes a splash that showSplashScreen opened, so that the error report of
// a start that ends before the application runs is not hidden behind it.
void closeSplashScreen();

}  // namespace kite
