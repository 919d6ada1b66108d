// The last source before the user is asked: the runtime home named by the
// environment variable JAVA_HOME. It counts only when every other source
// found nothing, so it never changes a choice the other sources make.
#include "discovery/runtime_candidates.h"
#include "discovery/runtime_discovery.h"
#include "foundation/path_helpers.h"
#include "platform/platform.h"

namespace kite {

WideString RuntimeDiscovery::javaHomeLibrary() {
    WideString value;
    if (!platform_.env.getEnvironment(u"JAVA_HOME", value) || value.empty()) {
        trace_.write([] { return WideString(u"source JAVA_HOME: not set"); });
        return {};
    }
    const WideString home = userRuntimeHome(platform_, value);
    // The version comes from the runtime's "release" file; without one it is
    // 0.0.0.0, like a registry sub-key name without digits.
    JavaVersion version;
    version.parse(releaseVersion(platform_, home), 0);
    auto source = [&] { return u"source JAVA_HOME: " + home + u" (version " + version.toText() + u"): "; };
    if (version.greater(requirements_.maxVersion)) {
        trace_.write([&] { return source() + u"skipped, above \"Maximum Version\" " + versionBoundText(requirements_.maxVersion); });
        return {};
    }
    if (version.less(requirements_.minVersion)) {
        trace_.write([&] { return source() + u"skipped, below \"Minimum Version\" " + versionBoundText(requirements_.minVersion); });
        return {};
    }
    // A JDK of the pre-9 layout keeps its JVM in the embedded jre folder.
    bool server = false;
    WideString library = findJvmLibrary(platform_, home, requirements_.jvmType, server);
    if (library.empty()) {
        library = findJvmLibrary(platform_, home + u"jre" + pathSeparator(platform_.style()), requirements_.jvmType, server);
    }
    trace_.write([&] {
        return source() + (library.empty() ? u"no JVM library for JVM Type " + jvmTypeName(requirements_.jvmType) + u", passed over"
                                           : u"JVM library " + library);
    });
    return library;
}

}  // namespace kite
