#include "discovery/runtime_keys.h"

#include <array>

#include "launcher/launcher.h"

namespace kite {

namespace {

using V = RuntimeVendor;

constexpr std::array<RuntimeKeySource, 12> kSources{{
    // The historic keys, in their fixed order. The appended keys below rank
    // with them but come later in the array, so at equal rank these win.
    {u"Software\\JavaSoft\\Java Development Kit\\", u"", u"JavaHome", true, V::Sun, true, false},
    {u"Software\\JavaSoft\\Java Runtime Environment\\", u"", u"JavaHome", false, V::Sun, false, true},
    {u"Software\\JRockit\\Java Runtime Environment\\", u"", u"JavaHome", false, V::Jrockit, false, false},
    {u"Software\\JRockit\\Java Development Kit\\", u"", u"JavaHome", true, V::Jrockit, true, false},
    {u"Software\\IBM\\Java2 Runtime Environment\\", u"", u"JavaHome", false, V::Ibm, false, false},
    // Java 9 and later from Oracle: the home is the JDK itself (no jre folder,
    // its JVM is bin\server\jvm.dll).
    {u"Software\\JavaSoft\\JDK\\", u"", u"JavaHome", true, V::Sun, false, false},
    {u"Software\\JavaSoft\\JRE\\", u"", u"JavaHome", false, V::Sun, false, false},
    // The MSI installers of OpenJDK builds record the installation folder.
    {u"Software\\Eclipse Adoptium\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false},
    {u"Software\\Eclipse Adoptium\\JRE\\", u"\\hotspot\\MSI", u"Path", false, V::Sun, false, false},
    {u"Software\\AdoptOpenJDK\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false},
    {u"Software\\AdoptOpenJDK\\JRE\\", u"\\hotspot\\MSI", u"Path", false, V::Sun, false, false},
    {u"Software\\Microsoft\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false},
}};

bool vendorAdmitted(const Launcher& l, RuntimeVendor vendor) {
    switch (vendor) {
        case V::Sun: return l.sunAllowed || l.sunFavoured;
        case V::Jrockit: return l.jrockitAllowed || l.jrockitFavoured;
        case V::Ibm: return l.ibmAllowed || l.ibmFavoured;
    }
    return false;
}

bool vendorFavoured(const Launcher& l, RuntimeVendor vendor) {
    switch (vendor) {
        case V::Sun: return l.sunFavoured;
        case V::Jrockit: return l.jrockitFavoured;
        case V::Ibm: return l.ibmFavoured;
    }
    return false;
}

}  // namespace

std::span<const RuntimeKeySource> runtimeKeySources() { return kSources; }

const RuntimeKeySource* findRuntimeKeySource(const WideString& keyPath) {
    for (const RuntimeKeySource& source : kSources) {
        if (keyPath == source.keyPath) return &source;
    }
    return nullptr;
}

bool runtimeKeySearched(const Launcher& launcher, const RuntimeKeySource& source) {
    const bool kind = launcher.bothSources || (source.jdk ? launcher.jdkWanted : launcher.jreWanted);
    return kind && vendorAdmitted(launcher, source.vendor);
}

bool runtimeKeyFavoured(const Launcher& launcher, const RuntimeKeySource& source) {
    return (source.jdk ? launcher.jdkWanted : launcher.jreWanted) && vendorFavoured(launcher, source.vendor);
}

}  // namespace kite
