// VM parameter tokens and class-path entries on arbitrary text, and the
// image-header check on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "discovery/image_header.h"
#include "fake_platform.h"
#include "jvm/option_assembly.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)kite::imageMachine(data, size);
    kite::WideString text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));

    kite::testing::FakePlatform platform;
    platform.addFile(u"C:\\App\\lib\\a.jar");
    kite::WideStringList options;
    std::uint32_t stackSize = 0;
    kite::splitVmParameters(platform, text, options, stackSize);
    for (const auto& option : options) {
        if (option.empty()) __builtin_trap();  // empty tokens never become options
    }
    kite::WideStringList entries;
    kite::expandClassPathEntry(platform, text, entries);
    return 0;
}
