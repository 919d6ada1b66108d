#include "discovery/runtime_keys.h"

#include <array>

#include "discovery/runtime_requirements.h"

namespace kite {

namespace {

using V = RuntimeVendor;

constexpr std::array<RuntimeKeySource, 12> kSources{{
    // The historic keys, in their fixed order. The newer keys below are a
    // search of their own, made only when these find nothing acceptable.
    {u"Software\\JavaSoft\\Java Development Kit\\", u"", u"JavaHome", true, V::Sun, true, false, true, false},
    {u"Software\\JavaSoft\\Java Runtime Environment\\", u"", u"JavaHome", false, V::Sun, false, true, true, false},
    {u"Software\\JRockit\\Java Runtime Environment\\", u"", u"JavaHome", false, V::Jrockit, false, false, true, false},
    {u"Software\\JRockit\\Java Development Kit\\", u"", u"JavaHome", true, V::Jrockit, true, false, true, false},
    {u"Software\\IBM\\Java2 Runtime Environment\\", u"", u"JavaHome", false, V::Ibm, false, false, true, false},
    // Java 9 and later from Oracle: the home is the JDK itself (no jre folder,
    // its JVM is bin\server\jvm.dll).
    {u"Software\\JavaSoft\\JDK\\", u"", u"JavaHome", true, V::Sun, false, false, false, false},
    {u"Software\\JavaSoft\\JRE\\", u"", u"JavaHome", false, V::Sun, false, false, false, false},
    // The MSI installers of OpenJDK builds record the installation folder;
    // Adoptium and AdoptOpenJDK also install Java 8 (sub-keys such as 8.0.392.8).
    {u"Software\\Eclipse Adoptium\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false, false, true},
    {u"Software\\Eclipse Adoptium\\JRE\\", u"\\hotspot\\MSI", u"Path", false, V::Sun, false, false, false, true},
    {u"Software\\AdoptOpenJDK\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false, false, true},
    {u"Software\\AdoptOpenJDK\\JRE\\", u"\\hotspot\\MSI", u"Path", false, V::Sun, false, false, false, true},
    {u"Software\\Microsoft\\JDK\\", u"\\hotspot\\MSI", u"Path", true, V::Sun, false, false, false, false},
}};

bool vendorAdmitted(const VendorChoice& l, RuntimeVendor vendor) {
    switch (vendor) {
        case V::Sun: return l.sunAllowed || l.sunFavoured;
        case V::Jrockit: return l.jrockitAllowed || l.jrockitFavoured;
        case V::Ibm: return l.ibmAllowed || l.ibmFavoured;
    }
    return false;
}

bool vendorFavoured(const VendorChoice& l, RuntimeVendor vendor) {
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

JavaVersion runtimeKeyVersion(const RuntimeKeySource& source, const WideString& name) {
    JavaVersion version;
    version.parse(name, 0);
    // 8.0.392.8 is Java 1.8.0_392 (build 8): numbered so, it compares with
    // the historic names and the bounds as 1.8.0.392.
    const std::int32_t feature = version.parts[0];
    if (source.java8Names && feature >= 2 && feature <= 8) {
        version.set(1, feature, version.parts[1], version.parts[2]);
    }
    return version;
}

bool runtimeKeySearched(const RuntimeRequirements& requirements, const RuntimeKeySource& source) {
    const bool kind = requirements.bothSources || (source.jdk ? requirements.jdkWanted : requirements.jreWanted);
    return kind && vendorAdmitted(requirements.vendors, source.vendor);
}

bool runtimeKeyFavoured(const RuntimeRequirements& requirements, const RuntimeKeySource& source) {
    return (source.jdk ? requirements.jdkWanted : requirements.jreWanted) && vendorFavoured(requirements.vendors, source.vendor);
}

}  // namespace kite
