// Reads the start-up keys of the settings file.
#include "settings/launch_settings.h"

#include <limits>

#include "foundation/message_catalog.h"
#include "settings/file_locations.h"
#include "platform/platform.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

const WideString kProduct = u"Product Information";
const WideString kRuntime = u"Java Runtime Environment";
const WideString kApplication = u"Application";

struct SourceFlags {
    const char16_t* value;
    bool jdk, jre, both;
};

constexpr SourceFlags kJvmSources[] = {
    {u"favor_JRE", false, true, true},
    {u"favor_JDK", true, false, true},
    {u"only_JRE", false, true, false},
    {u"only_JDK", true, false, false},
};

struct ProviderFlags {
    const char16_t* value;
    bool jrockitAllowed, jrockitFavoured, sunAllowed, sunFavoured, ibmAllowed, ibmFavoured;
};

constexpr ProviderFlags kVmProviders[] = {
    {u"jrockit", true, true, false, false, false, false},
    {u"ibm", false, false, false, false, true, true},
    {u"favor_sun", true, false, true, true, true, false},
    {u"favor_jrockit", true, true, true, false, true, false},
    {u"favor_ibm", true, false, true, false, true, true},
    {u"any", true, false, true, false, true, false},
};

// Decimal digits only, at most maxDigits of them.
bool parseDecimal(const WideString& text, std::size_t maxDigits, std::int64_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

}  // namespace

bool parseRestartCode(const WideString& text, std::int32_t& code) {
    const bool negative = !text.empty() && text[0] == u'-';
    std::int64_t value = 0;
    // Ten digits hold every 32-bit value; the range is checked below.
    if (!parseDecimal(negative ? text.substr(1) : text, 10, value)) return false;
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    code = static_cast<std::int32_t>(value);
    return true;
}

bool readLaunchSettings(Platform& platform, LaunchSettings& settings) {
    RuntimeRequirements& requirements = settings.requirements;
    WideString settingsFile;
    if (!settingsFilePath(platform, settingsFile)) return false;

    IniSettingsStore plain(platform, settingsFile);
    plain.getValue(kProduct, u"Product Code", settings.product.code);
    plain.getValue(kProduct, u"Product Name", settings.product.name);

    LayeredSettingsStore store(platform, settingsFile);
    WideString value;

    store.getValue(kRuntime, u"Minimum Version", value);
    if (value == u"any") {
        requirements.minVersion.set(0, 0, 0, 0);
    } else {
        requirements.minVersion.parse(value, 0);
    }
    store.getValue(kRuntime, u"Maximum Version", value);
    // An empty or unreadable maximum means no upper bound, like "any": a
    // settings file without the key must still admit registered runtimes.
    if (value == u"any" || !requirements.maxVersion.parse(value, JavaVersion::kOpen)) {
        requirements.maxVersion.set(JavaVersion::kOpen, JavaVersion::kOpen, JavaVersion::kOpen, JavaVersion::kOpen);
    }

    store.getValue(kApplication, u"Application Type", value);
    if (value == u"service") {
        settings.service.serviceMode = true;
        store.getValue(kApplication, u"Omit Service Name", value);
        settings.service.omitServiceName = !value.empty();
    }
    setMessageContext(settings.product.name, settings.service.serviceMode);

    store.getValue(kRuntime, u"Preferred versions", value);
    splitAtSeparator(value, u";", requirements.preferredVersions);

    // Outside service mode a per-user settings file, when it exists, alone
    // decides "JRE Path".
    WideString userFile;
    if (!settings.service.serviceMode) {
        WideString module;
        if (platform.env.modulePath(module)) userSettingsPath(platform, settings.product, module, false, userFile);
    }
    if (!userFile.empty() && platform.fs.fileExists(userFile)) {
        IniSettingsStore(platform, userFile).getValue(kRuntime, u"JRE Path", requirements.jrePath);
    } else {
        store.getValue(kRuntime, u"JRE Path", requirements.jrePath);
    }

    store.getValue(kRuntime, u"JVM Type", value);
    requirements.jvmType = value == u"server" ? JvmType::Server : value == u"favor_server" ? JvmType::FavorServer : JvmType::Default;

    store.getValue(kRuntime, u"JVM Source", value);
    if (value.empty()) {
        requirements.jdkWanted = true;
        requirements.jreWanted = true;
    } else {
        requirements.jdkWanted = requirements.jreWanted = requirements.bothSources = false;
        for (const SourceFlags& row : kJvmSources) {
            if (value == row.value) {
                requirements.jdkWanted = row.jdk;
                requirements.jreWanted = row.jre;
                requirements.bothSources = row.both;
            }
        }
    }

    store.getValue(kRuntime, u"VM Provider", value);
    if (!value.empty()) {
        for (const ProviderFlags& row : kVmProviders) {
            if (!equalsIgnoringCase(value, row.value)) continue;
            requirements.vendors.jrockitAllowed = row.jrockitAllowed;
            requirements.vendors.jrockitFavoured = row.jrockitFavoured;
            requirements.vendors.sunAllowed = row.sunAllowed;
            requirements.vendors.sunFavoured = row.sunFavoured;
            requirements.vendors.ibmAllowed = row.ibmAllowed;
            requirements.vendors.ibmFavoured = row.ibmFavoured;
            break;
        }
    }

    store.getValue(kRuntime, u"Main Jar", value);
    if (!value.empty()) {
        expandEnvironment(platform, value);
        // A variable defined but empty names no jar.
        if (!value.empty()) settings.jar.path = pathBesideExecutable(platform, value);
        if (settings.jar.path.empty()) value.clear();
    }
    const bool hasJar = !value.empty();
    store.getValue(kRuntime, u"Main Class", value);
    if (value.empty() && !hasJar) {
        printError(platform, MessageCatalog::text(MessageId::MainClassMissing));
        return false;
    }
    for (char16_t& c : value) {
        if (c == u'.') c = u'/';
    }
    settings.mainClass = value;

    store.getValue(kApplication, u"Override WorkingDir", value);
    settings.overrideWorkingDir = isYes(value);
    store.getValue(kRuntime, u"System Path", settings.systemPath);
    store.getValue(kRuntime, u"Library Path", settings.libraryPath);
    store.getValue(kApplication, u"Pair Product", settings.pair.product);
    store.getValue(kApplication, u"Pair Return Code", value);
    settings.pair.returnCode = isYes(value);
    // A service is restarted by the service manager, never by Kite.
    store.getValue(kApplication, u"Restart Code", value);
    settings.restart.enabled = !settings.service.serviceMode && parseRestartCode(value, settings.restart.code);
    requirements.pairedExecutable = !settings.pair.product.empty();
    requirements.mayAskUser = !settings.service.serviceMode;
    return true;
}

}  // namespace kite
