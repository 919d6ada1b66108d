// Chooses the Java runtime of a launch: the configured "JRE Path", a private
// runtime beside the executable, the vendors' registry keys (on Linux the
// runtime folders under /usr/lib/jvm), the runtime named by JAVA_HOME, and
// last the runtime-not-found dialog. Every decision is written to the trace.
#pragma once

#include <vector>

#include "discovery/runtime_requirements.h"
#include "foundation/trace.h"
#include "foundation/wide_string.h"

namespace kite {

class Platform;

class RuntimeDiscovery {
public:
    RuntimeDiscovery(Platform& platform, const RuntimeRequirements& requirements, const Trace& trace)
        : platform_(platform), requirements_(requirements), trace_(trace) {}

    // True with the chosen runtime; false when none was found and the user
    // chose none (the dialog printed nothing more; in service mode the
    // error line was printed).
    bool discover(ChosenRuntime& chosen);

    // The steps, public for their tests.
    // One search of the registered runtimes: the historic keys, or with
    // newerKeys the keys of current installers, in one registry view.
    bool searchRegistry(bool otherView, WideString& home, bool newerKeys = false);
    void sortCandidates(std::vector<JreCandidate>& candidates) const;
    bool selectCandidate(std::vector<JreCandidate>& candidates, JreCandidate& chosen) const;
    WideString versionRequirementText() const;
    void scanVendorKey(std::vector<JreCandidate>& candidates, const WideString& keyPath, bool otherView);
    bool checkRuntimeKey(const WideString& keyPath, const WideString& name, WideString& home, bool& hasServer,
                         bool otherView);
    // The runtime home named by JAVA_HOME, tried when every other source
    // found nothing: its JVM library, or empty.
    WideString javaHomeLibrary();
    // Sets launchPairProduct when the library is of the other processor kind.
    void checkJvmLibraryImage(ChosenRuntime& chosen) const;
    // The result so far.
    const ChosenRuntime& chosen() const { return chosen_; }

private:
    bool choose();

    Platform& platform_;
    const RuntimeRequirements& requirements_;
    const Trace& trace_;
    ChosenRuntime chosen_;
};

}  // namespace kite
