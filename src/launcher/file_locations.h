// Where the launcher finds its own executable and its settings files.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class Platform;
struct BaseFolderRule;

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

}  // namespace kite
