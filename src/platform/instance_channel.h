// The platform side of the single-instance guard. On Windows: the named
// shared block, the registered forwarding message, the listener thread and
// the start event. On Linux: a Unix domain socket in a folder private to the
// user and an in-process start event. Owned by the Launcher; destroying it is the
// guard's teardown (listener stopped, block and event released).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/wide_string.h"

namespace kite {

// Size of the argument area in bytes: the forwarded argument list travels in
// this many bytes on every platform.
inline constexpr std::size_t kArgumentAreaSize = 1040;
using ArgumentArea = std::array<std::uint8_t, kArgumentAreaSize>;

// One forwarded start as the primary received it. A delivery thread owns it;
// it keeps the objects it needs alive by itself, so it may outlive the
// channel that handed it out.
class ForwardedStart {
public:
    virtual ~ForwardedStart() = default;
    // Waits without time limit until the main method is about to be called;
    // returns at once when the platform could not make the start event.
    virtual void waitMainStarted() = 0;
    // The forwarded argument list as it is now (Windows: the shared block's
    // argument area, which the latest secondary wrote; Linux: the secondary's
    // message, read whole before the start was handed out). Never waits for
    // the secondary.
    virtual void readArgumentArea(ArgumentArea& area) = 0;
    // Sends the secondary its exit code. Without a reply the secondary waits
    // until the primary has ended.
    virtual void reply(std::int32_t value) = 0;
    // Tells the secondary that nothing takes its arguments (the main class
    // has no secondaryMain): it ends at once with an error line. Travels
    // beside the exit code, so every 32-bit value stays a valid reply.
    virtual void refuse() = 0;
};

// A secondary's answer from the primary.
struct PrimaryReply {
    // The exit code of the second start when not refused.
    std::int32_t exitCode = 0;
    // The primary has nothing to deliver the arguments to.
    bool refused = false;
};

// How a secondary's hand-over ended.
enum class ForwardResult {
    Forwarded,    // the primary has the arguments
    Unreachable,  // another process holds the guard but does not take them
    Failed,       // the hand-over failed otherwise; nothing is reported
};

class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;

    // --- primary ---------------------------------------------------------------
    // Makes the start event and starts listening; onForward is called on the
    // listener thread for every forwarded start. False when the primary cannot
    // listen (the guard then goes off for this process).
    virtual bool startPrimary(std::function<void(std::shared_ptr<ForwardedStart>)> onForward) = 0;
    // Signals the start event: the main method is about to be called.
    virtual void signalMainStarted() = 0;

    // --- secondary -------------------------------------------------------------
    // Hands the argument area to the primary.
    virtual ForwardResult forward(const ArgumentArea& area) = 0;
    // Waits for the primary's reply and returns it; without a reply, the
    // primary's exit code once it has ended, or 0 when that cannot be read.
    virtual PrimaryReply waitForReply() = 0;
};

// What opening the single-instance objects of an instance name gave.
struct InstanceChannelOpening {
    // Null: no guard can be had, and the process runs as an ordinary instance.
    std::unique_ptr<InstanceChannel> channel;
    // The objects were newly created: this process is the primary.
    bool isPrimary = false;
    // Set (with a null channel) when the folder that must hold the objects
    // belongs to another user or is open to others (Linux). The start must
    // not run then: it cannot tell whether an instance is running already.
    WideString unsafeFolder;
};

}  // namespace kite
