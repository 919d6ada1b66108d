// The start-up keys of the settings file, read once at the start of a launch
// into plain values grouped by what uses them. The other stages read their
// own keys (the JVM options, the single instance) when they run.
#pragma once

#include "discovery/runtime_requirements.h"
#include <cstdint>

#include "foundation/wide_string.h"

namespace kite {

class Platform;

// [Product Information]: names the per-user and cache folders and the
// windowed builds' message box.
struct ProductSettings {
    WideString name;  // "Product Name"
    WideString code;  // "Product Code"
};

// "Application Type=service".
struct ServiceSettings {
    bool serviceMode = false;
    bool omitServiceName = false;  // "Omit Service Name"
};

// The paired executable for runtimes of the other processor kind.
struct PairSettings {
    WideString product;       // "Pair Product"
    bool returnCode = false;  // "Pair Return Code"
};

// "Restart Code": the exit code on which the executable starts again.
struct RestartSettings {
    bool enabled = false;
    std::int32_t code = 0;
};

// "Main Jar": the application's jar, started as `java -jar` starts it, and
// what its manifest adds to the launch (read by jar/main_jar).
struct MainJarSettings {
    WideString path;  // absolute; empty: the setting is off
    // The manifest's Main-Class starts the application: the JDK's launcher
    // class is asked in its jar mode and applies the manifest itself.
    // False when "Main Class" is set, which wins.
    bool jarMode = false;
    WideString splashImage;  // SplashScreen-Image: an entry of the jar
    // With "Main Class" set: the manifest's Add-Opens and Add-Exports items
    // ("module/package") and Enable-Native-Access: ALL-UNNAMED, which Kite
    // hands to the VM as options since the launcher class does not see them.
    WideStringList addOpens;
    WideStringList addExports;
    bool enableNativeAccess = false;
};

struct LaunchSettings {
    ProductSettings product;
    // "Main Class", with '/' in place of '.'; with "Main Jar" and no "Main
    // Class", the manifest's Main-Class.
    WideString mainClass;
    MainJarSettings jar;
    RuntimeRequirements requirements;
    ServiceSettings service;
    PairSettings pair;
    bool overrideWorkingDir = false;
    WideString systemPath;   // "System Path"
    WideString libraryPath;  // "Library Path"
    RestartSettings restart;  // "Restart Code", outside service mode
};

// Reads the start-up keys from the settings file beside the executable.
// False after the error line when both "Main Class" and "Main Jar" are
// missing (or the file cannot be named).
bool readLaunchSettings(Platform& platform, LaunchSettings& settings);

// Reads "Restart Code": an optional '-' and decimal digits that fit 32 bits.
// False (no restart) for anything else, the empty value included.
bool parseRestartCode(const WideString& text, std::int32_t& code);

}  // namespace kite
