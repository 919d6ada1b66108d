// What a launch asks of a Java runtime, as the settings give it, and the
// runtime that discovery chose. The settings reader fills the requirements;
// RuntimeDiscovery (runtime_discovery.h) turns them into a ChosenRuntime.
#pragma once

#include <cstdint>

#include "discovery/java_version.h"
#include "foundation/wide_string.h"

namespace kite {

// "JVM Type".
enum class JvmType : std::int32_t { Default = 0, Server = 1, FavorServer = 2 };

// "VM Provider": which vendors' registered runtimes are searched, and which
// of them rank first.
struct VendorChoice {
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitFavoured = false;
    bool sunFavoured = true;
    bool ibmFavoured = false;
};

struct RuntimeRequirements {
    JavaVersion minVersion;
    JavaVersion maxVersion;
    WideStringList preferredVersions;
    WideString jrePath;
    JvmType jvmType = JvmType::Default;
    // "JVM Source": JDKs, JREs, and whether both are searched.
    bool jdkWanted = false;
    bool jreWanted = false;
    bool bothSources = true;
    VendorChoice vendors;
    // "Pair Product" is set: the other registry view is searched, and the
    // chosen JVM library's processor kind is checked.
    bool pairedExecutable = false;
    // Outside service mode the user is asked for a runtime folder when no
    // source found one.
    bool mayAskUser = true;
};

// One runtime found by a registry (or runtime folder) source.
struct JreCandidate {
    JavaVersion version;
    WideString home;
    bool hasServerVm = false;
    bool favoured = false;
    // The registry key it was found under, for the trace; null for a runtime folder.
    const char16_t* origin = nullptr;
};

struct ChosenRuntime {
    WideString jvmLibraryPath;
    // The runtime's version when discovery read it (registered runtimes,
    // runtime folders); count 0 otherwise.
    JavaVersion version;
    // Found under the IBM registry key. Only then are the IBM runtimes'
    // thread rules followed: the Java main thread stays in the VM after
    // main, and the threads that call into Java stay attached.
    bool ibm = false;
    // The runtime is of the other processor kind: the paired executable
    // starts in this one's place.
    bool launchPairProduct = false;
    // The folder the user picked in the runtime-not-found dialog, to be
    // remembered for later starts; empty when no dialog chose.
    WideString pickedFolder;
};

}  // namespace kite
