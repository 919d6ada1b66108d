#include "instance/argument_area.h"

namespace kite {

bool argumentsFit(const WideStringList& arguments) {
    std::size_t bytes = 2;
    for (const WideString& argument : arguments) {
        bytes += 2 * argument.size() + 2;
        if (bytes > kArgumentAreaSize) return false;
    }
    return true;
}

bool writeArgumentArea(const WideStringList& arguments, ArgumentArea& area) {
    if (!argumentsFit(arguments)) return false;
    area.fill(0);
    std::size_t at = 0;
    for (const WideString& argument : arguments) {
        for (char16_t unit : argument) {
            area[at++] = static_cast<std::uint8_t>(unit & 0xFF);
            area[at++] = static_cast<std::uint8_t>(unit >> 8);
        }
        at += 2;  // the argument's zero unit; the list's one follows from the clearing
    }
    return true;
}

WideStringList readArgumentArea(const std::uint8_t* bytes, std::size_t size) {
    const std::size_t units = size / 2;
    auto unitAt = [bytes](std::size_t index) {
        return static_cast<char16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
    };
    WideStringList list;
    WideString current;
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = unitAt(i);
        if (unit != 0) {
            current.push_back(unit);
            continue;
        }
        list.append(current);
        if (i + 1 == units || unitAt(i + 1) == 0) return list;
        current.clear();
    }
    list.append(current);
    return list;
}

}  // namespace kite
