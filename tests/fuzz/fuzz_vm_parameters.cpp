// "Virtual Machine Parameters" tokenising and sizing on arbitrary text,
// over the fake platform. Each byte is one character, so
// blanks and double quotes are frequent.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fake_platform.h"
#include "jvm/option_assembly.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kite::WideString text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));

    kite::testing::FakePlatform platform;
    platform.memory = {0xFFFFFFFFFFFFFFFFull, 0x80000000ull};
    kite::WideStringList options;
    std::uint32_t stackSize = 0;
    const bool accepted = kite::splitVmParameters(platform, text, options, stackSize);
    for (const kite::WideString& option : options) {
        if (option.empty()) __builtin_trap();  // the JVM refuses empty options
    }
    // A size too large for the arithmetic ends the list, with its message.
    if (accepted == !platform.stdoutText.empty()) __builtin_trap();
    if (accepted && text.find(u'"') == kite::WideString::npos) {
        // Without quotes the tokens are the blank-separated words, sized.
        std::size_t count = 0;
        std::size_t position = 0;
        while (position < text.size()) {
            const std::size_t end = std::min(text.find(u' ', position), text.size());
            if (end > position) ++count;
            position = end + 1;
        }
        if (options.size() != count) __builtin_trap();
    }
    return 0;
}
