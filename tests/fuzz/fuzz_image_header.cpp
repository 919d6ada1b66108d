// The JVM library's header check and the registry string reader on
// arbitrary bytes: no read outside the bytes, and every answer agrees with
// the fields it claims to have read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/image_header.h"
#include "discovery/registry_key.h"
#include "fake_platform.h"
#include "discovery_under_test.h"

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// A PE machine is only ever reported from a complete, signed header.
void checkPe(const std::uint8_t* data, std::size_t size) {
    const auto machine = kite::peMachine(data, size);
    if (!machine) return;
    check(size >= 64 && data[0] == 'M' && data[1] == 'Z');
    const std::uint64_t nt = le32(data + 60);
    check(nt + 6 <= size);
    check(data[nt] == 'P' && data[nt + 1] == 'E' && data[nt + 2] == 0 && data[nt + 3] == 0);
    check(*machine == (data[nt + 4] | (data[nt + 5] << 8)));
}

void checkDiscovery(kite::OsStyle style, const std::uint8_t* data, std::size_t size) {
    kite::testing::FakePlatform platform(style);
    platform.ownMachine = style == kite::OsStyle::Windows ? 0x014C : 62;
    kite::testing::DiscoveryUnderTest launcher(platform);
    launcher.requirements.pairedExecutable = true;
    launcher.runtime.jvmLibraryPath = style == kite::OsStyle::Windows ? u"C:\\jre\\jvm.dll" : u"/jre/libjvm.so";
    platform.addFile(launcher.runtime.jvmLibraryPath, std::string(reinterpret_cast<const char*>(data), size));
    launcher.checkJvmLibraryImage(launcher.runtime);
    const auto machine = style == kite::OsStyle::Windows ? kite::peMachine(data, size) : kite::elfMachine(data, size);
    check(launcher.runtime.launchPairProduct == (machine && *machine != platform.ownMachine));
}

void checkRegistryString(const std::uint8_t* data, std::size_t size) {
    kite::testing::FakePlatform platform;
    platform.addRegistryBytes(u"Software\\Fuzz", u"JavaHome", std::vector<std::uint8_t>(data, data + size));
    kite::RegistryKey key(platform, u"Software\\Fuzz", false);
    kite::WideString value;
    const bool read = key.readString(u"JavaHome", value);
    check(read == (size > 0));
    check(value.size() <= size / 2);
    check(value.find(u'\0') == kite::WideString::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkPe(data, size);
    (void)kite::imageMachine(data, size);
    checkDiscovery(kite::OsStyle::Windows, data, size);
    checkDiscovery(kite::OsStyle::Posix, data, size);
    checkRegistryString(data, size);
    return 0;
}
