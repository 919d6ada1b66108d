// The registry below HKEY_LOCAL_MACHINE (Windows only).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/wide_string.h"

namespace kite {

// An open registry key; closed when destroyed.
class RegistryHandle {
public:
    virtual ~RegistryHandle() = default;
    // Name of the sub-key at index; false when the enumeration fails for any reason.
    virtual bool subKeyName(std::uint32_t index, WideString& name) = 0;
    // Raw stored bytes of a value (any registry type); false when missing.
    virtual bool valueBytes(const WideString& name, std::vector<std::uint8_t>& bytes) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // A key in the native or the other view; null when missing or on platforms without a registry.
    virtual std::unique_ptr<RegistryHandle> openRegistryKey(const WideString& path, bool otherView) = 0;
};

}  // namespace kite
