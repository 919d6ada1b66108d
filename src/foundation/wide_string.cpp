#include "foundation/wide_string.h"

namespace kite {

std::ptrdiff_t WideStringList::find(const WideString& item) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] == item) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

void WideStringList::removeFirst() {
    if (!items_.empty()) items_.erase(items_.begin());
}

}  // namespace kite
