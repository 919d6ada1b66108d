// The local time, date and time pictures, and the machine's memory figures.
#pragma once

#include <cstdint>

#include "foundation/wide_string.h"

namespace kite {

struct LocalTime {
    int year = 0;
    int month = 0;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday
    int day = 0;        // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Memory figures in bytes, 64-bit on every build.
struct MemoryFigures {
    std::uint64_t totalPhysical = 0;
    std::uint64_t availableVirtual = 0;
};

class ClockAndMemory {
public:
    virtual ~ClockAndMemory() = default;
    virtual LocalTime localTime() = 0;
    // Formats a time or date picture with the user's default locale; false on failure.
    virtual bool formatTime(const WideString& picture, const LocalTime& time, WideString& out) = 0;
    virtual bool formatDate(const WideString& picture, const LocalTime& time, WideString& out) = 0;
    virtual MemoryFigures memoryFigures() = 0;
    // The wall-clock time in whole seconds since 1970-01-01 00:00 UTC; the
    // same in every process of the machine.
    virtual std::int64_t secondsSinceEpoch() = 0;
};

}  // namespace kite
