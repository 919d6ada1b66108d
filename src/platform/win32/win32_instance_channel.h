// The Windows side of the single-instance guard: named shared memory, a
// registered thread message, a listener thread and the "_upr_evt" event.
#pragma once

#include <memory>

#include "foundation/wide_string.h"
#include "platform/instance_channel.h"

namespace kite {

// Creates or opens the shared block named instanceName and maps it; null
// when either fails. isPrimary tells whether the block was newly created.
std::unique_ptr<InstanceChannel> openWin32InstanceChannel(const WideString& instanceName, bool& isPrimary);

}  // namespace kite
