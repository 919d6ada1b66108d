// Builders for the kite-brand unit tests: icon files, and small PE32+ images
// laid out as GNU ld lays out the Kite executables (.text, .rsrc, .reloc).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brand/bytes.h"
#include "brand/resource_tree.h"

namespace kite::brand::testing {

Bytes fromHex(std::string_view hex);

// The version resource windres made for kite64.exe 1.0.0 (InternalName
// kite64, OriginalFilename kite64.exe, StringFileInfo 040704b0).
Bytes windresVersionResource();

// A bitmap icon image (BITMAPINFOHEADER, colour table, colour bits, mask).
Bytes bitmapImage(std::uint32_t size, std::uint16_t bits);
// A PNG image's signature and IHDR (RGBA, 8 bits) followed by filler.
Bytes pngImage(std::uint32_t width, std::uint32_t height);

struct IcoEntry {
    std::uint8_t width;
    std::uint8_t height;
    std::uint16_t planes;
    std::uint16_t bitCount;
    Bytes image;
};
Bytes icoFile(const std::vector<IcoEntry>& entries);

// Where the test image's parts are, for tests that patch them.
inline constexpr std::size_t kPeOffset = 0x80;
inline constexpr std::size_t kOptionalHeader = kPeOffset + 24;
inline constexpr std::size_t kDirectories = kOptionalHeader + 112;
inline constexpr std::size_t kSectionTable = kOptionalHeader + 240;
inline constexpr std::uint32_t kResourceRva = 0x2000;

// The resources of a Kite executable: dialog 201, the version resource with
// the given InternalName, the manifest.
std::vector<Resource> kiteResources(std::u16string_view internalName = u"kite64");

// A PE32+ image: .text (0x1000), .rsrc (0x2000) holding resources, and
// unless left out .reloc behind it with one relocation block.
Bytes peImage(const std::vector<Resource>& resources, bool withRelocations = true,
              std::uint16_t machine = 0x8664);

std::string sectionName(ByteView image, std::size_t index);

}  // namespace kite::brand::testing
