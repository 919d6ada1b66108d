#include "discovery/runtime_folders.h"

#include <algorithm>

#include "discovery/runtime_candidates.h"
#include "platform/platform.h"

namespace kite {

void scanRuntimeFolders(Platform& platform, const RuntimeRequirements& requirements, const Trace& trace,
                        const WideString& root, std::vector<JreCandidate>& candidates) {
    const bool sun = requirements.vendors.sunAllowed || requirements.vendors.sunFavoured;
    if (!sun) {
        trace.write([&] { return u"folders under " + root + u": not searched (\"VM Provider\")"; });
        return;
    }
    WideStringList found;
    platform.fs.findFiles(root + u"/*", found);
    std::vector<WideString> names(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    for (const bool jdkPass : {true, false}) {
        if (!(requirements.bothSources || (jdkPass ? requirements.jdkWanted : requirements.jreWanted))) {
            trace.write([&] {
                return WideString(jdkPass ? u"JDK" : u"JRE") + u" folders under " + root +
                       u": not searched (\"JVM Source\")";
            });
            continue;
        }
        for (const WideString& name : names) {
            if (name == u"." || name == u"..") continue;
            const WideString folder = root + u"/" + name + u"/";
            if (!platform.fs.fileExists(folder + u"release")) continue;
            const bool jdk = platform.fs.fileExists(folder + u"bin/javac");
            if (jdk != jdkPass) continue;
            JreCandidate candidate;
            // Without a JAVA_VERSION line the version is 0.0.0.0, like a
            // registry sub-key name without digits.
            candidate.version.parse(releaseVersion(platform, folder), 0);
            auto entry = [&] {
                return u"  folder " + folder + u" (" + (jdk ? u"JDK" : u"JRE") + u", version " +
                       candidate.version.toText() + u"): ";
            };
            if (candidate.version.greater(requirements.maxVersion)) {
                trace.write([&] {
                    return entry() + u"skipped, above \"Maximum Version\" " + versionBoundText(requirements.maxVersion);
                });
                continue;
            }
            if (candidate.version.less(requirements.minVersion)) {
                trace.write([&] {
                    return entry() + u"skipped, below \"Minimum Version\" " + versionBoundText(requirements.minVersion);
                });
                continue;
            }
            candidate.home = folder;
            if (jdk && platform.fs.fileExists(folder + u"jre")) candidate.home += u"jre/";
            // Like the JavaSoft JRE key, a JRE counts as server only when it has no other JVM.
            const JvmType type = !jdk && requirements.jvmType == JvmType::FavorServer ? JvmType::Default : requirements.jvmType;
            if (findJvmLibrary(platform, candidate.home, type, candidate.hasServerVm).empty()) {
                trace.write([&] { return entry() + u"skipped, no JVM library for JVM Type " + jvmTypeName(type); });
                continue;
            }
            candidate.favoured = (jdk ? requirements.jdkWanted : requirements.jreWanted) && requirements.vendors.sunFavoured;
            trace.write([&] { return entry() + u"kept, home " + candidate.home; });
            candidates.push_back(candidate);
        }
    }
}

}  // namespace kite
