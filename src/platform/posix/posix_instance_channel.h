// The Linux side of the single-instance guard: a Unix domain socket named
// after the instance name, in a folder only the user can enter, in place of
// the shared block and thread messages. A secondary connects, sends its
// argument area (the same 1040-byte format), shuts its sending side and reads
// a five-byte reply: the 32-bit exit code and whether the start was refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/wide_string.h"
#include "platform/instance_channel.h"

namespace kite {

// The primary's reading of one secondary's message as its bytes arrive: the
// message is exactly the argument area, followed by the end of the
// secondary's sending side. Too little before the end, or any byte past the
// area, drops it.
class ArgumentMessage {
public:
    enum class State { Waiting, Complete, Dropped };
    // Bytes as they arrived.
    State add(const std::uint8_t* bytes, std::size_t count);
    // The secondary ended its sending side.
    State end();
    State state() const { return state_; }
    // The area as received so far (zero beyond that).
    const ArgumentArea& area() const { return area_; }

private:
    ArgumentArea area_{};
    std::size_t received_ = 0;
    State state_ = State::Waiting;
};

// Takes the lock file of instanceName and binds its socket (isPrimary true)
// or, when another process holds that lock, prepares to connect to it
// (isPrimary false). No channel when neither is possible; unsafeFolder is
// set when that is because the socket folder under /tmp is not the user's
// alone.
InstanceChannelOpening openPosixInstanceChannel(const WideString& instanceName);

}  // namespace kite
