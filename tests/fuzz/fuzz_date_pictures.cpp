// expandDateTime over the in-memory platform (the portable picture
// formatting) on arbitrary text (UTF-8 input; the first bytes pick the time).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fake_platform.h"
#include "foundation/utf.h"
#include "settings/value_expansion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    kite::LocalTime time;
    time.year = 1601 + data[0] * 8;
    time.month = 1 + data[1] % 12;
    time.day = 1 + data[2] % 31;
    time.dayOfWeek = data[2] % 7;
    time.hour = data[3] % 24;
    time.minute = data[3] % 60;
    time.second = data[1] % 60;
    time.millisecond = (data[0] * 7 + data[1]) % 1000;
    const kite::WideString original = kite::fromUtf8(std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));

    kite::testing::FakePlatform platform;
    kite::WideString text = original;
    kite::expandDateTime(platform, text, time);

    const std::size_t first = original.find(u'%');
    if (first == kite::WideString::npos) {
        if (text != original) __builtin_trap();
        return 0;
    }
    const std::size_t last = original.rfind(u'%');
    // The parts outside the two '%' stay; the picture becomes at most 259 characters.
    const kite::WideString head = original.substr(0, first);
    const kite::WideString tail = original.substr(last + 1);
    if (text.size() < head.size() + tail.size() || text.size() > head.size() + tail.size() + 259) __builtin_trap();
    if (text.compare(0, head.size(), head) != 0) __builtin_trap();
    if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) __builtin_trap();
    if (first == last && text != head + tail) __builtin_trap();
    return 0;
}
