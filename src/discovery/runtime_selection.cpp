// Chooses the Java runtime: the configured "JRE Path", a private runtime
// beside the executable, the vendors' registry keys (on Linux the runtime
// folders under /usr/lib/jvm), and last the runtime-not-found dialog.
#include <algorithm>

#include "discovery/image_header.h"
#include "discovery/registry_key.h"
#include "discovery/runtime_candidates.h"
#include "discovery/runtime_folders.h"
#include "foundation/message_catalog.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace kite {

namespace {

const WideString kJavaSoftJdk = u"Software\\JavaSoft\\Java Development Kit\\";
const WideString kJavaSoftJre = u"Software\\JavaSoft\\Java Runtime Environment\\";
const WideString kJrockitJre = u"Software\\JRockit\\Java Runtime Environment\\";
const WideString kJrockitJdk = u"Software\\JRockit\\Java Development Kit\\";
const WideString kIbmJre = u"Software\\IBM\\Java2 Runtime Environment\\";

bool isJdkKey(const WideString& keyPath) { return keyPath == kJavaSoftJdk || keyPath == kJrockitJdk; }

}  // namespace

bool Launcher::discoverRuntime() {
    bool server = false;
    // 1. The configured folder wins, whatever its version.
    if (!jrePath.empty()) {
        jvmLibraryPath = findJvmLibrary(platform_, withTrailingSeparator(platform_, jrePath), jvmType, server);
        if (!jvmLibraryPath.empty()) {
            checkJvmLibraryImage();
            return true;
        }
    }
    // 2. A private runtime beside the executable. Without one nothing is
    // looked up: the bare layouts would name folders below the current one.
    WideString home;
    if (findPrivateRuntime(platform_, home) && !home.empty()) {
        jvmLibraryPath = findJvmLibrary(platform_, home, jvmType, server);
        if (!jvmLibraryPath.empty()) return true;
    }
    // 3. The registered runtimes, in the launcher's own view, then the other one.
    if (searchRegistry(false, home) || searchRegistry(true, home)) {
        jvmLibraryPath = findJvmLibrary(platform_, home, jvmType, server);
        if (!jvmLibraryPath.empty()) return true;
    }
    // 4. Nothing found: the user is asked for a runtime folder.
    const MessageId id = jvmType == JvmType::Server ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    const WideString message = MessageCatalog::format(id, {versionRequirementText()});
    WideString library;
    WideString folder;
    if (platform_.runtimeNotFoundDialog(message, static_cast<int>(jvmType), library, folder) != 1) return false;
    jvmLibraryPath = library;
    checkJvmLibraryImage();
    recordJrePath(folder);
    return true;
}

bool Launcher::searchRegistry(bool otherView, WideString& home) {
    if (otherView && pairProduct.empty()) return false;
    std::vector<JreCandidate> candidates;
    if (platform_.style() == OsStyle::Posix) {
        // Linux has one source in place of the registry and no second view.
        if (otherView) return false;
        scanRuntimeFolders(*this, u"/usr/lib/jvm", candidates);
    } else {
        const bool sun = sunAllowed || sunFavoured;
        const bool jrockit = jrockitAllowed || jrockitFavoured;
        const bool ibm = ibmAllowed || ibmFavoured;
        const bool jdk = bothSources || jdkWanted;
        const bool jre = bothSources || jreWanted;
        if (jdk && sun) scanVendorKey(candidates, kJavaSoftJdk, otherView);
        if (jre && sun) scanVendorKey(candidates, kJavaSoftJre, otherView);
        if (jre && jrockit) scanVendorKey(candidates, kJrockitJre, otherView);
        if (jdk && jrockit) scanVendorKey(candidates, kJrockitJdk, otherView);
        if (jre && ibm) scanVendorKey(candidates, kIbmJre, otherView);
    }
    JreCandidate chosen;
    if (!selectCandidate(candidates, chosen)) return false;
    home = chosen.home;
    if (otherView) launchPairProduct = true;
    return true;
}

void Launcher::sortCandidates(std::vector<JreCandidate>& candidates) const {
    std::stable_sort(candidates.begin(), candidates.end(), [this](const JreCandidate& a, const JreCandidate& b) {
        if (bothSources && a.favoured != b.favoured) return a.favoured;
        if (jvmType == JvmType::FavorServer && a.hasServerVm != b.hasServerVm) return a.hasServerVm;
        return a.version.greater(b.version);
    });
}

bool Launcher::selectCandidate(std::vector<JreCandidate>& candidates, JreCandidate& chosen) const {
    if (candidates.empty()) return false;
    sortCandidates(candidates);
    for (const WideString& preference : preferredVersions) {
        JavaVersion pattern;
        pattern.parse(preference, 0);
        for (const JreCandidate& candidate : candidates) {
            if (candidate.version.matches(pattern)) {
                chosen = candidate;
                return true;
            }
        }
    }
    chosen = candidates.front();
    return true;
}

WideString Launcher::versionRequirementText() const {
    const bool lower = !minVersion.isUnbounded();
    const bool upper = !maxVersion.isUnbounded();
    if (!lower && !upper) return MessageCatalog::text(MessageId::VersionLatest);
    if (!lower) return MessageCatalog::format(MessageId::VersionMaximum, {maxVersion.toText()});
    if (!upper) return MessageCatalog::format(MessageId::VersionMinimum, {minVersion.toText()});
    if (maxVersion.equals(minVersion)) return MessageCatalog::format(MessageId::VersionExact, {minVersion.toText()});
    return MessageCatalog::format(MessageId::VersionRange, {minVersion.toText(), maxVersion.toText()});
}

void Launcher::scanVendorKey(std::vector<JreCandidate>& candidates, const WideString& keyPath, bool otherView) {
    const WideStringList names = RegistryKey(platform_, keyPath, otherView).subKeyNames();
    bool favoured = false;
    if (keyPath == kJavaSoftJdk) favoured = jdkWanted && sunFavoured;
    else if (keyPath == kJavaSoftJre) favoured = jreWanted && sunFavoured;
    else if (keyPath == kJrockitJre) favoured = jreWanted && jrockitFavoured;
    else if (keyPath == kJrockitJdk) favoured = jdkWanted && jrockitFavoured;
    else if (keyPath == kIbmJre) favoured = jreWanted && ibmFavoured;
    for (const WideString& name : names) {
        JavaVersion version;
        version.parse(name, 0);
        if (version.greater(maxVersion) || version.less(minVersion)) continue;
        JreCandidate candidate;
        if (!checkRuntimeKey(keyPath, name, candidate.home, candidate.hasServerVm, otherView)) continue;
        candidate.version = version;
        candidate.favoured = favoured;
        candidates.push_back(candidate);
    }
}

bool Launcher::checkRuntimeKey(const WideString& keyPath, const WideString& name, WideString& home, bool& hasServer,
                               bool otherView) {
    if (!RegistryKey(platform_, keyPath + name, otherView).readString(u"JavaHome", home) || home.empty()) return false;
    if (home.back() != u'\\') home.push_back(u'\\');
    if (isJdkKey(keyPath)) home += u"jre\\";
    // The JavaSoft JRE counts as a server runtime only when it has no other JVM.
    const JvmType type = keyPath == kJavaSoftJre && jvmType == JvmType::FavorServer ? JvmType::Default : jvmType;
    hasServer = false;
    return !findJvmLibrary(platform_, home, type, hasServer).empty();
}

void Launcher::checkJvmLibraryImage() {
    launchPairProduct = false;
    if (pairProduct.empty()) return;
    auto image = platform_.mapFile(jvmLibraryPath);
    if (!image) return;
    // Windows loads PE images only, Linux ELF images only.
    const auto machine = platform_.style() == OsStyle::Windows ? peMachine(image->data(), image->size())
                                                               : elfMachine(image->data(), image->size());
    if (machine && *machine != platform_.imageMachine()) launchPairProduct = true;
}

}  // namespace kite
