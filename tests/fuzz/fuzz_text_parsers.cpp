// The parsers of command lines, version numbers, date pictures and memory
// sizes on arbitrary text.
#include <cstddef>
#include <cstdint>

#include "discovery/java_version.h"
#include "fake_platform.h"
#include "jvm/memory_sizing.h"
#include "settings/command_line.h"
#include "settings/value_expansion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kite::WideString text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    kite::WideStringList pieces;
    kite::splitCommandLine(text, pieces);

    kite::JavaVersion version;
    version.parse(text, 65535);
    (void)version.toText();
    (void)version.matches(kite::JavaVersion(1, 8, 0, 0));

    kite::testing::FakePlatform platform;
    kite::WideString picture = text;
    kite::expandDateTime(platform, picture, platform.now);

    if (kite::isPercentSize(text)) {
        (void)kite::resolvePercentSize(text, {~0ull, ~0ull}, true);
        (void)kite::resolvePercentSize(text, {~0ull, ~0ull}, false);
    }
    (void)kite::parseStackSize(text);
    return 0;
}
