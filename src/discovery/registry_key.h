// A key below HKEY_LOCAL_MACHINE, opened for reading in the native or the
// other registry view. A key that could not be opened answers every query
// with nothing.
#pragma once

#include <memory>

#include "foundation/wide_string.h"
#include "platform/registry.h"

namespace kite {

class RegistryKey {
public:
    RegistryKey(Registry& registry, const WideString& path, bool otherView)
        : handle_(registry.openRegistryKey(path, otherView)) {}

    bool isOpen() const { return handle_ != nullptr; }
    // The names of all sub-keys, in the registry's order, up to the first
    // index that fails.
    WideStringList subKeyNames() const;
    // A string value as UTF-16 up to its first NUL, never past its stored
    // size; false when the key is closed, the value is missing or empty.
    bool readString(const WideString& name, WideString& value) const;

private:
    std::unique_ptr<RegistryHandle> handle_;
};

}  // namespace kite
