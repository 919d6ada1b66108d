// Ownership of a file descriptor: closed when the owner goes out of scope.
#pragma once

#include <unistd.h>

#include "platform/unique_handle.h"

namespace kite {

struct DescriptorTraits {
    using Handle = int;
    static Handle none() { return -1; }
    static bool valid(Handle fd) { return fd >= 0; }
    static void close(Handle fd) { ::close(fd); }
};
using Descriptor = UniqueHandle<DescriptorTraits>;

}  // namespace kite
