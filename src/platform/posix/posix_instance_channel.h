// The Linux side of the single-instance guard: a Unix domain socket named
// after the instance name, in a folder only the user can enter, in place of
// the shared block and thread messages. A secondary connects, sends its
// argument area (the same 1040-byte format), shuts its sending side and reads
// a 32-bit reply.
#pragma once

#include <memory>

#include "foundation/wide_string.h"
#include "platform/instance_channel.h"

namespace kite {

// Takes the lock file of instanceName and binds its socket (isPrimary true)
// or, when another process holds that lock, prepares to connect to it
// (isPrimary false); null when neither is possible.
std::unique_ptr<InstanceChannel> openPosixInstanceChannel(const WideString& instanceName, bool& isPrimary);

}  // namespace kite
