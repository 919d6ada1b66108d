// The Linux side of the single-instance guard: a Unix domain socket in the
// abstract namespace, named after the instance name and the user, in place of
// the shared block and thread messages. A secondary connects, sends its
// argument area (the same 1040-byte format) and reads a 32-bit reply.
#pragma once

#include <memory>

#include "foundation/wide_string.h"
#include "platform/instance_channel.h"

namespace kite {

// Binds the socket named after instanceName (isPrimary true) or, when another
// process holds that name, prepares to connect to it (isPrimary false); null
// when neither is possible.
std::unique_ptr<InstanceChannel> openPosixInstanceChannel(const WideString& instanceName, bool& isPrimary);

}  // namespace kite
