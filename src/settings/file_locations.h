// Where the launcher finds its own executable and its settings files.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class Platform;
struct BaseFolderRule;
struct LaunchSettings;
struct ProductSettings;

// The executable's full path; on failure prints message 202 with 208's text.
bool modulePath(Platform& platform, WideString& out);
// The settings file beside the executable (app.exe -> app.ini).
bool settingsFilePath(Platform& platform, WideString& out);
// The same rule for another executable's path; false when it has no dot.
bool settingsPathFor(Platform& platform, const WideString& executablePath, WideString& out);
// A per-user base folder by its rule (configuration, cache); false when the
// environment names none that is usable.
bool userBaseFolder(Platform& platform, const BaseFolderRule& rule, WideString& out);
// The folder name made of "Product Name" or "Product Code": characters that a
// folder name cannot hold (the separators and a drive's colon among them) are
// dropped, and a name of dots alone gives no folder, so that the settings
// never lead out of the per-user or cache folder.
WideString productFolderName(const WideString& productName);

// The per-user settings file of an executable: <base>\<Product Name>\<Product
// Code>\<executable name>.ini; empty when the user has no usable base folder
// or the executable path is empty. createFolders makes the folders on the way.
void userSettingsPath(Platform& platform, const ProductSettings& product, const WideString& executablePath,
                      bool createFolders, WideString& out);
// A file named by a setting ("Splash Screen", "Main Jar"): an absolute path
// as written, a relative one joined to the executable's folder, never to
// the current folder; empty when the executable's path is unknown.
WideString pathBesideExecutable(Platform& platform, const WideString& path);
// Makes the executable's folder the current folder ("Override WorkingDir").
void applyWorkingDirectory(Platform& platform);
// Remembers the runtime folder the user picked: in the per-user files of the
// executable and its pair, or in service mode in their settings files.
void recordJrePath(Platform& platform, const LaunchSettings& settings, const WideString& folder);

}  // namespace kite
