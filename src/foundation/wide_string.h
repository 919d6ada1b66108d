// Text types shared by every subsystem: UTF-16 text and an ordered list of it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kite {

// UTF-16 text on every build, so sizes "in UTF-16 units" mean the same everywhere.
using WideString = std::u16string;

// An ordered, growable list of WideString.
class WideStringList {
public:
    WideStringList() = default;
    WideStringList(std::initializer_list<WideString> items) : items_(items) {}

    void append(WideString item) { items_.push_back(std::move(item)); }
    // Index of the first element equal to item, or -1.
    std::ptrdiff_t find(const WideString& item) const;
    void clear() { items_.clear(); }
    void removeFirst();

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const WideString& operator[](std::size_t i) const { return items_[i]; }
    WideString& operator[](std::size_t i) { return items_[i]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    const std::vector<WideString>& items() const { return items_; }
    bool operator==(const WideStringList& other) const = default;

private:
    std::vector<WideString> items_;
};

}  // namespace kite
