// The main jar's reader on arbitrary bytes: the ZIP records, the DEFLATE
// decoder and the manifest. No read outside the bytes, no output beyond the
// bound asked for, and a found entry always matches its checksum.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "jar/inflate.h"
#include "jar/jar_manifest.h"
#include "jar/zip_archive.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::vector<std::uint8_t> out;
    // The same bytes as raw DEFLATE data, with a small bound.
    static_cast<void>(kite::inflateRaw(bytes, 4096, out));
    check(out.size() <= 4096);
    // As an archive: the manifest, read as the launcher reads it.
    const kite::ZipLookup lookup = kite::readZipEntry(bytes, "META-INF/MANIFEST.MF", true, 1024, out);
    if (lookup.status == kite::ZipStatus::Found) {
        check(out.size() <= 1024);
        kite::JarManifest manifest;
        if (manifest.parse(std::string_view(reinterpret_cast<const char*>(out.data()), out.size()))) {
            static_cast<void>(manifest.value("Main-Class"));
        }
    }
    // As a manifest.
    kite::JarManifest manifest;
    if (manifest.parse(std::string_view(reinterpret_cast<const char*>(data), size))) {
        static_cast<void>(manifest.value("SplashScreen-Image"));
    }
    return 0;
}
