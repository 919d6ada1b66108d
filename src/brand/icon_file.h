// .ico files and the icon resources made from them.
//
// An .ico file: ICONDIR (WORD reserved 0, WORD type 1, WORD count), then
// count 16-byte ICONDIRENTRYs (BYTE width, BYTE height (0 for 256), BYTE
// colour count, BYTE reserved, WORD planes, WORD bit count, DWORD size,
// DWORD file offset of the image). Each image is a PNG file or a
// BITMAPINFOHEADER with the colour table, the colour bits and the AND mask,
// twice as high as the icon.
//
// In an executable each image is one RT_ICON resource, and an RT_GROUP_ICON
// resource lists them: GRPICONDIR (the same six bytes) and one 14-byte
// GRPICONDIRENTRY per image, whose last field is the RT_ICON resource's ID
// instead of a file offset.
#pragma once

#include <cstdint>
#include <vector>

#include "brand/bytes.h"
#include "brand/result.h"

namespace kite::brand {

struct IconImage {
    std::uint8_t width = 0;  // as the directory has it: 0 means 256
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    bool png = false;
    Bytes data;
};

// Checks every entry against its image (sizes, PNG or bitmap header, the
// bitmap's data complete); planes and bit count left 0 by the file are
// taken from the image, as Windows needs them to choose an image.
Result<std::vector<IconImage>> readIconFile(ByteView file);

// The RT_GROUP_ICON data for images that become RT_ICON firstId, firstId + 1, ...
Bytes iconGroup(const std::vector<IconImage>& images, std::uint16_t firstId);

}  // namespace kite::brand
