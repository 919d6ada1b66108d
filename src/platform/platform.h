// The machine as the launcher's logic sees it: one small interface per
// concept, bundled for the code that needs several. Implementations:
// Win32Platform (platform/win32), PosixPlatform (platform/posix) and the
// in-memory fakes of the unit tests. Nothing outside platform/ includes a
// system header. A function that needs one slice takes that slice; a
// Platform converts to each of them.
#pragma once

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/user_interface.h"

namespace kite {

class Platform {
public:
    Platform(FileSystem& files, Environment& environment, Registry& registryKeys, UserInterface& userInterface,
             Processes& processList, ClockAndMemory& clockAndMemory)
        : fs(files), env(environment), registry(registryKeys), ui(userInterface), processes(processList),
          clock(clockAndMemory) {}
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    FileSystem& fs;
    Environment& env;
    Registry& registry;
    UserInterface& ui;
    Processes& processes;
    ClockAndMemory& clock;

    OsStyle style() const { return fs.style(); }
    operator FileSystem&() const { return fs; }
    operator Environment&() const { return env; }
    operator Registry&() const { return registry; }
    operator UserInterface&() const { return ui; }
    operator Processes&() const { return processes; }
    operator ClockAndMemory&() const { return clock; }
};

}  // namespace kite
