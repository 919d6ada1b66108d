// The class-path entry logic on arbitrary "Class Path" values, on a fake
// Windows or Linux machine (first byte) with a few files beside the executable.
#include <cstddef>
#include <cstdint>

#include "fake_platform.h"
#include "foundation/path_helpers.h"
#include "jvm/option_assembly.h"
#include "settings/settings_store.h"

namespace {

// A settings store that answers every key with one value.
class OneValueStore : public kite::SettingsStore {
public:
    explicit OneValueStore(kite::WideString value) : value_(std::move(value)) {}
    std::int32_t readFileHead(std::uint8_t (&)[4]) override { return 2; }
    void getValue(const kite::WideString&, const kite::WideString&, kite::WideString& value) override {
        value = value_;
    }
    void getSectionNames(kite::WideStringList& names) override { names.clear(); }
    bool setValue(const kite::WideString&, const kite::WideString&, const kite::WideString&) override {
        return false;
    }
    bool removeFile() override { return false; }

private:
    kite::WideString value_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const kite::OsStyle style = (data[0] & 1) ? kite::OsStyle::Posix : kite::OsStyle::Windows;
    kite::WideString text;
    for (std::size_t i = 1; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));

    kite::testing::FakePlatform platform(style);
    const bool windows = style == kite::OsStyle::Windows;
    platform.addFile(windows ? u"C:\\App\\lib\\a.jar" : u"/opt/app/lib/a.jar");
    platform.addFile(windows ? u"C:\\App\\app.jar" : u"/opt/app/app.jar");
    platform.addFile(u"\\\\server\\share\\s.jar");
    platform.environment[u"LIBS"] = windows ? u"C:\\App\\lib" : u"/opt/app/lib";

    OneValueStore store(text);
    const kite::WideStringList entries = kite::buildClassPath(platform, store);
    for (const kite::WideString& entry : entries) {
        if (entry.empty()) __builtin_trap();
    }
    // No empty entry reaches the JVM: no leading, doubled or trailing separator.
    const kite::WideString joined = kite::classPathText(style, entries);
    const char16_t separator = windows ? u';' : u':';
    if (!joined.empty() && (joined.front() == separator || joined.back() == separator)) __builtin_trap();
    if (joined.find(kite::WideString(2, separator)) != kite::WideString::npos) __builtin_trap();

    kite::WideStringList single;
    kite::expandClassPathEntry(platform, text, single);
    return 0;
}
