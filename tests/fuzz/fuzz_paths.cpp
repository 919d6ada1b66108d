// Path splitting and the creation of a file's parent folders, in both path
// syntaxes, on arbitrary paths: the folders created all lie on the way to
// the file, and a failure removes at most the level it created last.
#include <cstddef>
#include <cstdint>

#include "fake_platform.h"
#include "foundation/path_helpers.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Longer paths add nothing the splitting has not seen at this length.
    if (size == 0 || size > 300) return 0;
    const auto style = (data[0] & 1) != 0 ? kite::OsStyle::Posix : kite::OsStyle::Windows;
    kite::WideString path;
    for (std::size_t i = 1; i < size; ++i) path.push_back(data[i]);

    kite::WideStringList components;
    kite::splitPath(style, path, components);
    std::size_t letters = 0;
    for (const kite::WideString& component : components) letters += component.size();
    check(letters <= path.size() + 2);

    // One machine per syntax for the whole run; its folders are cleared for each input.
    static kite::testing::FakePlatform windows(kite::OsStyle::Windows);
    static kite::testing::FakePlatform posix(kite::OsStyle::Posix);
    kite::testing::FakePlatform& platform = style == kite::OsStyle::Posix ? posix : windows;
    platform.directories.clear();
    platform.failingDirectories.clear();
    if ((data[0] & 2) != 0) platform.failingDirectories.insert(path.substr(0, path.size() / 2));
    (void)kite::ensureParentDirectories(platform, path);
    for (const kite::WideString& directory : platform.directories) check(directory.size() < path.size() + 2);
    return 0;
}
