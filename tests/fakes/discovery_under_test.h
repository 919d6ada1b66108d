// Runtime discovery with the inputs it takes, for the unit tests: the
// requirements a test sets, the trace, and the runtime it chose.
#pragma once

#include "discovery/runtime_discovery.h"
#include "fake_platform.h"

namespace kite::testing {

struct DiscoveryInputs {
    RuntimeRequirements requirements;
    Trace trace;
    ChosenRuntime runtime;
};

struct DiscoveryUnderTest : DiscoveryInputs, RuntimeDiscovery {
    explicit DiscoveryUnderTest(FakePlatform& platform)
        : DiscoveryInputs{{}, Trace(platform, platform), {}}, RuntimeDiscovery(platform, requirements, trace) {}
    bool discover() { return RuntimeDiscovery::discover(runtime); }
};

}  // namespace kite::testing
