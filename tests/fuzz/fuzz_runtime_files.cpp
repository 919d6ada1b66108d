// Files of a runtime folder and the colour settings, which someone else may
// have written: the "release" file's JAVA_VERSION line and the link-colour
// text "r,g,b".
#include <cstddef>
#include <cstdint>
#include <string>

#include "discovery/runtime_candidates.h"
#include "fake_platform.h"
#include "ui/link_colors.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kite::testing::FakePlatform platform(kite::OsStyle::Posix);
    platform.addFile(u"/jre/release", bytes);
    const kite::WideString version = kite::releaseVersion(platform, u"/jre/");
    check(version.size() <= size);

    // A colour setting is short: one unit per byte of the input's beginning.
    kite::WideString text;
    for (std::size_t i = 0; i < size && i <= kite::kMaxColorTextLength + 1; ++i) text.push_back(data[i]);
    if (const auto color = kite::parseLinkColor(text)) {
        check(text.size() <= kite::kMaxColorTextLength);
        check(text.find(u',') != kite::WideString::npos);
    }
    return 0;
}
