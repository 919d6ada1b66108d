// The registry keys under HKEY_LOCAL_MACHINE where Java vendors register
// their runtimes, in the order in which they are searched. Each version of a
// runtime is a sub-key of its key (1.8, 1.8.0_151, 17.0.2.8); its home is a
// string value of that sub-key or of a key below it.
#pragma once

#include <span>

#include "discovery/java_version.h"
#include "discovery/runtime_requirements.h"
#include "foundation/wide_string.h"

namespace kite {


// The vendor whose "VM Provider" flags admit and favour a key.
enum class RuntimeVendor { Sun, Jrockit, Ibm };

struct RuntimeKeySource {
    const char16_t* keyPath;    // ends with a backslash, so a version name can follow directly
    const char16_t* valuePath;  // below the version sub-key: "" or "\hotspot\MSI"
    const char16_t* valueName;  // "JavaHome" or "Path"
    bool jdk;                   // JDK kind; otherwise JRE
    RuntimeVendor vendor;
    // The runtime is the home's embedded JRE (home + "jre\"): the JDK keys
    // of the pre-9 layout.
    bool embeddedJre;
    // Under "JVM Type" favor_server the runtime counts as a server runtime
    // only when it has no other JVM (the JavaSoft "Java Runtime Environment" key).
    bool serverOnlyAlone;
    // One of the five historic keys; the others are searched only when
    // these, in both views, find no acceptable runtime.
    bool historic;
    // Sub-key names count from the feature release (8.0.392.8 for 1.8.0_392),
    // and a Java 8 JDK keeps its JVM in the home's jre\ folder.
    bool java8Names;
};

// The five historic keys first, then the keys of current installers
// (JavaSoft\JDK and \JRE, Eclipse Adoptium, AdoptOpenJDK, Microsoft), which
// are a search of their own.
std::span<const RuntimeKeySource> runtimeKeySources();
// The source of a key path, or null when the path is none of them.
const RuntimeKeySource* findRuntimeKeySource(const WideString& keyPath);

// The version of a sub-key name of the source: 8.0.392.8 under a key with
// java8Names is 1.8.0.392.
JavaVersion runtimeKeyVersion(const RuntimeKeySource& source, const WideString& name);

// Whether the "JVM Source" and "VM Provider" flags let a key be
// searched, and whether its runtimes are favoured.
bool runtimeKeySearched(const RuntimeRequirements& requirements, const RuntimeKeySource& source);
bool runtimeKeyFavoured(const RuntimeRequirements& requirements, const RuntimeKeySource& source);

}  // namespace kite
