#include "discovery/registry_key.h"

#include <vector>

namespace kite {

WideStringList RegistryKey::subKeyNames() const {
    WideStringList names;
    if (!handle_) return names;
    WideString name;
    for (std::uint32_t index = 0; handle_->subKeyName(index, name); ++index) names.append(name);
    return names;
}

bool RegistryKey::readString(const WideString& name, WideString& value) const {
    value.clear();
    std::vector<std::uint8_t> bytes;
    if (!handle_ || !handle_->valueBytes(name, bytes) || bytes.empty()) return false;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        value.push_back(unit);
    }
    return true;
}

}  // namespace kite
