#include "discovery/runtime_discovery.h"

#include <algorithm>

#include "discovery/image_header.h"
#include "discovery/registry_key.h"
#include "discovery/runtime_candidates.h"
#include "discovery/runtime_folders.h"
#include "discovery/runtime_keys.h"
#include "foundation/message_catalog.h"
#include "platform/common/os_conventions.h"
#include "platform/platform.h"

namespace kite {

namespace {

const char16_t* viewName(bool otherView) { return otherView ? u"other view" : u"own view"; }
const char16_t* yesNo(bool value) { return value ? u"yes" : u"no"; }

}  // namespace

bool RuntimeDiscovery::discover(ChosenRuntime& chosen) {
    chosen_ = {};
    const bool found = choose();
    chosen = chosen_;
    return found;
}

bool RuntimeDiscovery::choose() {
    bool server = false;
    auto found = [this](const char16_t* source) {
        trace_.write([&] { return WideString(u"chosen by ") + source + u": JVM library " + chosen_.jvmLibraryPath; });
        return true;
    };
    auto unchecked = [this](const char16_t* why) {
        trace_.write([&] { return WideString(u"image check: not made for ") + why; });
    };
    auto noLibrary = [this](const char16_t* source, const WideString& home) {
        trace_.write([&] {
            return WideString(u"source ") + source + u": " + home + u" holds no JVM library for JVM Type " +
                   jvmTypeName(requirements_.jvmType) + u", passed over";
        });
    };
    // 1. The configured folder wins, whatever its version.
    if (!requirements_.jrePath.empty()) {
        const WideString home = userRuntimeHome(platform_, requirements_.jrePath);
        chosen_.jvmLibraryPath = findJvmLibrary(platform_, home, requirements_.jvmType, server);
        if (!chosen_.jvmLibraryPath.empty()) {
            checkJvmLibraryImage(chosen_);
            return found(u"\"JRE Path\"");
        }
        noLibrary(u"\"JRE Path\"", home);
    } else {
        trace_.write([] { return WideString(u"source \"JRE Path\": not set"); });
    }
    // 2. A private runtime beside the executable. Without one nothing is
    // looked up: the bare layouts would name folders below the current one.
    WideString home;
    if (findPrivateRuntime(platform_, home) && !home.empty()) {
        chosen_.jvmLibraryPath = findJvmLibrary(platform_, home, requirements_.jvmType, server);
        if (!chosen_.jvmLibraryPath.empty()) {
            unchecked(u"a private runtime");
            return found(u"the private runtime");
        }
        noLibrary(u"private runtime", home);
    } else {
        trace_.write([] { return WideString(u"source private runtime: none beside the executable"); });
    }
    // 3. The registered runtimes, in the launcher's own view, then the other
    // one: the historic keys, and only when they hold nothing acceptable the
    // keys of current installers, so that an installed 1.8 chosen before stays
    // chosen when a newer runtime arrives.
    if (searchRegistry(false, home) || searchRegistry(true, home) || searchRegistry(false, home, true) ||
        searchRegistry(true, home, true)) {
        chosen_.jvmLibraryPath = findJvmLibrary(platform_, home, requirements_.jvmType, server);
        if (!chosen_.jvmLibraryPath.empty()) {
            // The registry view it came from tells the processor kind.
            if (conventions(platform_.style()).runtimeFolders != nullptr) {
                unchecked(u"a runtime folder");
                return found(u"the runtime folders");
            }
            unchecked(u"a registered runtime (its registry view tells its processor kind)");
            return found(u"the registered runtimes");
        }
        chosen_.ibm = false;
    }
    // 4. A runtime named by JAVA_HOME, before anybody is asked.
    chosen_.jvmLibraryPath = javaHomeLibrary();
    if (!chosen_.jvmLibraryPath.empty()) {
        checkJvmLibraryImage(chosen_);
        return found(u"JAVA_HOME");
    }
    // 5. Nothing found: the user is asked for a runtime folder.
    const MessageId id = requirements_.jvmType == JvmType::Server ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    const WideString message = MessageCatalog::format(id, {versionRequirementText()});
    if (!requirements_.mayAskUser) {
        // A service has no user: in session 0 the dialog would be invisible and
        // hold the start, on a desktop it would be a folder browser running with
        // the service's rights. The start ends as a cancelled dialog ends it.
        // The line ends with the address the dialog's link would have shown.
        trace_.write([] { return WideString(u"no runtime found: no dialog in service mode, the start ends"); });
        printError(platform_, message + u" " + kRuntimeDownloadAddress);
        return false;
    }
    WideString library;
    WideString folder;
    trace_.write([] { return WideString(u"no runtime found: the runtime-not-found dialog opens"); });
    const int answer = platform_.ui.runtimeNotFoundDialog(message, static_cast<int>(requirements_.jvmType), library, folder);
    if (answer != 1) {
        trace_.write([&] {
            return WideString(answer == 2 ? u"runtime-not-found dialog: cancelled, the start ends"
                                          : u"runtime-not-found dialog: could not be shown, the start ends");
        });
        return false;
    }
    chosen_.jvmLibraryPath = library;
    checkJvmLibraryImage(chosen_);
    chosen_.pickedFolder = folder;
    return found(u"the runtime-not-found dialog");
}

bool RuntimeDiscovery::searchRegistry(bool otherView, WideString& home, bool newerKeys) {
    const char16_t* const runtimeFolders = conventions(platform_.style()).runtimeFolders;
    const WideString source = runtimeFolders != nullptr
                                  ? u"runtime folders " + WideString(runtimeFolders)
                                  : WideString(newerKeys ? u"registry, newer keys, " : u"registry, ") + viewName(otherView);
    // The runtime folders are one source in place of the registry, without a second view.
    if ((otherView || newerKeys) && runtimeFolders != nullptr) return false;
    if (otherView && !requirements_.pairedExecutable) {
        trace_.write([&] { return u"source " + source + u": not searched (no \"Pair Product\")"; });
        return false;
    }
    std::vector<JreCandidate> candidates;
    if (runtimeFolders != nullptr) {
        trace_.write([&] { return u"source " + source + u": searching"; });
        scanRuntimeFolders(platform_, requirements_, trace_, runtimeFolders, candidates);
    } else {
        trace_.write([&] { return u"source " + source + u": searching"; });
        for (const RuntimeKeySource& key : runtimeKeySources()) {
            if (key.historic == newerKeys) continue;
            if (runtimeKeySearched(requirements_, key)) {
                scanVendorKey(candidates, key.keyPath, otherView);
            } else {
                trace_.write([&] {
                    return WideString(u"key ") + key.keyPath + u": not searched (\"JVM Source\", \"VM Provider\")";
                });
            }
        }
    }
    JreCandidate chosen;
    if (!selectCandidate(candidates, chosen)) {
        trace_.write([&] { return u"source " + source + u": no suitable runtime"; });
        return false;
    }
    home = chosen.home;
    chosen_.version = chosen.version;
    if (otherView) chosen_.launchPairProduct = true;
    const RuntimeKeySource* origin = chosen.origin ? findRuntimeKeySource(chosen.origin) : nullptr;
    chosen_.ibm = origin != nullptr && origin->vendor == RuntimeVendor::Ibm;
    trace_.write([&] {
        WideString line = u"source " + source + u": chose version " + chosen.version.toText() + u" at " + home;
        if (otherView) line += u"; found in the other view, so the paired executable starts instead";
        if (chosen_.ibm) line += u"; an IBM runtime: the Java main thread stays in the VM after main";
        return line;
    });
    return true;
}

void RuntimeDiscovery::sortCandidates(std::vector<JreCandidate>& candidates) const {
    std::stable_sort(candidates.begin(), candidates.end(), [this](const JreCandidate& a, const JreCandidate& b) {
        if (requirements_.bothSources && a.favoured != b.favoured) return a.favoured;
        if (requirements_.jvmType == JvmType::FavorServer && a.hasServerVm != b.hasServerVm) return a.hasServerVm;
        return a.version.greater(b.version);
    });
}

bool RuntimeDiscovery::selectCandidate(std::vector<JreCandidate>& candidates, JreCandidate& chosen) const {
    if (candidates.empty()) return false;
    sortCandidates(candidates);
    if (trace_.on()) {
        trace_.write([] { return WideString(u"candidates, best first:"); });
        std::int64_t rank = 0;
        for (const JreCandidate& c : candidates) {
            trace_.write([&] {
                return u"  " + traceNumber(++rank) + u". version " + c.version.toText() + u" at " + c.home +
                       u" (favoured " + yesNo(c.favoured) + u", server VM " + yesNo(c.hasServerVm) +
                       (c.origin ? WideString(u", key ") + c.origin : WideString()) + u")";
            });
        }
    }
    for (const WideString& preference : requirements_.preferredVersions) {
        JavaVersion pattern;
        pattern.parse(preference, 0);
        for (const JreCandidate& candidate : candidates) {
            if (candidate.version.matches(pattern)) {
                trace_.write([&] {
                    return u"preferred version " + traceQuoted(preference) + u" matched version " +
                           candidate.version.toText() + u" at " + candidate.home;
                });
                chosen = candidate;
                return true;
            }
        }
        trace_.write([&] { return u"preferred version " + traceQuoted(preference) + u" matched no candidate"; });
    }
    trace_.write([] { return WideString(u"no preferred version matched: the best-ranked candidate is taken"); });
    chosen = candidates.front();
    return true;
}

WideString RuntimeDiscovery::versionRequirementText() const {
    const bool lower = !requirements_.minVersion.isUnbounded();
    const bool upper = !requirements_.maxVersion.isUnbounded();
    if (!lower && !upper) return MessageCatalog::text(MessageId::VersionLatest);
    if (!lower) return MessageCatalog::format(MessageId::VersionMaximum, {requirements_.maxVersion.toText()});
    if (!upper) return MessageCatalog::format(MessageId::VersionMinimum, {requirements_.minVersion.toText()});
    if (requirements_.maxVersion.equals(requirements_.minVersion)) return MessageCatalog::format(MessageId::VersionExact, {requirements_.minVersion.toText()});
    return MessageCatalog::format(MessageId::VersionRange, {requirements_.minVersion.toText(), requirements_.maxVersion.toText()});
}

void RuntimeDiscovery::scanVendorKey(std::vector<JreCandidate>& candidates, const WideString& keyPath, bool otherView) {
    const RuntimeKeySource* source = findRuntimeKeySource(keyPath);
    if (source == nullptr) return;
    const RegistryKey key(platform_, keyPath, otherView);
    const WideStringList names = key.subKeyNames();
    trace_.write([&] {
        return u"key " + keyPath + u" (" + viewName(otherView) + u"): " +
               (key.isOpen() ? traceNumber(static_cast<std::int64_t>(names.size())) + u" sub-keys"
                             : WideString(u"not present"));
    });
    const bool favoured = runtimeKeyFavoured(requirements_, *source);
    for (const WideString& name : names) {
        const JavaVersion version = runtimeKeyVersion(*source, name);
        auto subKey = [&] { return u"  sub-key " + traceQuoted(name) + u" (version " + version.toText() + u"): "; };
        if (version.greater(requirements_.maxVersion)) {
            trace_.write([&] {
                return subKey() + u"skipped, above \"Maximum Version\" " + versionBoundText(requirements_.maxVersion);
            });
            continue;
        }
        if (version.less(requirements_.minVersion)) {
            trace_.write([&] {
                return subKey() + u"skipped, below \"Minimum Version\" " + versionBoundText(requirements_.minVersion);
            });
            continue;
        }
        JreCandidate candidate;
        if (!checkRuntimeKey(keyPath, name, candidate.home, candidate.hasServerVm, otherView)) continue;
        candidate.version = version;
        candidate.favoured = favoured;
        candidate.origin = source->keyPath;
        trace_.write([&] {
            return subKey() + u"kept, home " + candidate.home + u", server VM " + yesNo(candidate.hasServerVm) +
                   u", favoured " + yesNo(favoured);
        });
        candidates.push_back(candidate);
    }
}

bool RuntimeDiscovery::checkRuntimeKey(const WideString& keyPath, const WideString& name, WideString& home, bool& hasServer,
                               bool otherView) {
    home.clear();
    const RuntimeKeySource* source = findRuntimeKeySource(keyPath);
    if (source == nullptr) return false;
    const WideString valueKey = keyPath + name + source->valuePath;
    if (!RegistryKey(platform_, valueKey, otherView).readString(source->valueName, home) || home.empty()) {
        trace_.write([&] {
            return u"  sub-key " + traceQuoted(name) + u": skipped, no value " + traceQuoted(source->valueName) +
                   u" in " + valueKey;
        });
        home.clear();
        return false;
    }
    if (home.back() != u'\\') home.push_back(u'\\');
    if (source->embeddedJre) home += u"jre\\";
    // The JavaSoft JRE counts as a server runtime only when it has no other JVM.
    const JvmType type = source->serverOnlyAlone && requirements_.jvmType == JvmType::FavorServer ? JvmType::Default : requirements_.jvmType;
    hasServer = false;
    if (!findJvmLibrary(platform_, home, type, hasServer).empty()) return true;
    // A Java 8 JDK keeps its JVM in the embedded jre folder, as JAVA_HOME's does.
    if (source->java8Names && !findJvmLibrary(platform_, home + u"jre\\", type, hasServer).empty()) {
        home += u"jre\\";
        return true;
    }
    trace_.write([&] {
        return u"  sub-key " + traceQuoted(name) + u": skipped, no JVM library for JVM Type " + jvmTypeName(type) +
               u" under " + home;
    });
    return false;
}

void RuntimeDiscovery::checkJvmLibraryImage(ChosenRuntime& chosen) const {
    chosen.launchPairProduct = false;
    if (!requirements_.pairedExecutable) {
        trace_.write([] { return WideString(u"image check: not made (no \"Pair Product\")"); });
        return;
    }
    auto image = platform_.fs.mapFile(chosen.jvmLibraryPath);
    if (!image) {
        trace_.write([&] { return u"image check: " + chosen.jvmLibraryPath + u" cannot be read, loaded here"; });
        return;
    }
    // Windows loads PE images only, Linux ELF images only.
    const auto machine = conventions(platform_.style()).imageFormat == ImageFormat::Pe
                             ? peMachine(image->data(), image->size())
                             : elfMachine(image->data(), image->size());
    if (machine && *machine != platform_.processes.imageMachine()) chosen.launchPairProduct = true;
    trace_.write([&] {
        if (!machine) return u"image check: " + chosen.jvmLibraryPath + u" is no image of this system, loaded here";
        return u"image check: machine " + traceHex(*machine) + u", own " + traceHex(platform_.processes.imageMachine()) +
               (chosen.launchPairProduct ? WideString(u": the paired executable starts instead")
                                  : WideString(u": loaded here"));
    });
}

}  // namespace kite
