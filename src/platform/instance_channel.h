// The platform side of the single-instance guard: the shared block, the
// forwarding message and the start event (Windows), or a Unix domain socket
// (Linux). Owned by the Launcher; released in its teardown.
#pragma once

namespace kite {

class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;
    // Signals the start event: the main method is about to be called.
    virtual void signalMainStarted() = 0;
};

}  // namespace kite
