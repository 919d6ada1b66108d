// The building blocks of runtime discovery: JVM library layouts under a
// runtime home, the private runtime beside the executable, and the runtime
// folders of a Linux machine.
#pragma once

#include <vector>

#include "foundation/wide_string.h"
#include "discovery/runtime_requirements.h"

namespace kite {

class Platform;

// Full path of the JVM library under home (which ends with a separator) for
// the JVM type, or empty. server is set when the server layout was found and
// left untouched when nothing was found.
WideString findJvmLibrary(Platform& platform, const WideString& home, JvmType type, bool& server);
// Whether home holds the runtime's own native library (bin\java.dll).
bool hasJavaDll(Platform& platform, const WideString& home);
// The executable's folder with its trailing separator.
bool executableDirectory(Platform& platform, WideString& out);
// True with the private runtime's home, or true with an empty home when there is none.
bool findPrivateRuntime(Platform& platform, WideString& home);
// The "JVM Type" as the settings write it, for the trace: default, server, favor_server.
WideString jvmTypeName(JvmType type);
// A version bound as the trace shows it: "any" for an open bound, otherwise
// the parts without the trailing fill values (a maximum of 17 is 17, not 17.65535).
WideString versionBoundText(const JavaVersion& bound);
// home with a trailing separator.
WideString withTrailingSeparator(Platform& platform, const WideString& home);
// A runtime folder the user named ("JRE Path", JAVA_HOME) as a full path with
// a trailing separator: a relative one is taken against the current folder,
// which is the executable's with "Override WorkingDir" and the folder the
// process was started in without it. The library loader takes full paths
// only, and the runtime's variables and "Path" must not change meaning when
// the application changes its folder.
WideString userRuntimeHome(Platform& platform, const WideString& folder);

// The JAVA_VERSION of a runtime's "release" file, or empty.
WideString releaseVersion(Platform& platform, const WideString& home);

}  // namespace kite
