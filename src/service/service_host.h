// Runs the launcher as a service: the dispatcher, the control handler and the
// status reports, with the Java "stop" on a stop control.
#pragma once

#include <cstdint>

namespace kite {

class Launcher;

class ServiceHost {
public:
    explicit ServiceHost(Launcher& launcher) : launcher_(launcher) {}
    // Enters the service dispatcher; its result is the process exit code.
    std::int32_t runDispatcher();

private:
    Launcher& launcher_;
};

}  // namespace kite
