#include "brand/icon_file.h"

#include <string>

namespace kite::brand {

namespace {

constexpr std::size_t kMaxImages = 256;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t pixels(std::uint8_t directoryValue) {
    return directoryValue == 0 ? 256 : directoryValue;
}

std::string describe(std::size_t index) {
    return "image " + std::to_string(index + 1) + " of the icon file";
}

Status checkPng(IconImage& image, std::size_t index) {
    const ByteView data = image.data;
    // Signature, then the IHDR chunk: length 13, "IHDR", width, height, bit depth, colour type.
    if (data.size() < 8 + 8 + 13 + 4 || u32BigAt(data, 8) != 13 || data[12] != 'I' || data[13] != 'H' ||
        data[14] != 'D' || data[15] != 'R') {
        return fail(describe(index) + " is a PNG without its IHDR header");
    }
    const std::uint32_t width = u32BigAt(data, 16);
    const std::uint32_t height = u32BigAt(data, 20);
    if (width != pixels(image.width) || height != pixels(image.height)) {
        return fail(describe(index) + " is a PNG of " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels, but its entry says " + std::to_string(pixels(image.width)) + "x" +
                    std::to_string(pixels(image.height)));
    }
    if (image.bitCount == 0) {
        const std::uint16_t depth = data[24];
        const std::uint8_t colorType = data[25];
        const std::uint16_t channels = colorType == 6 ? 4 : colorType == 2 ? 3 : colorType == 4 ? 2 : 1;
        image.bitCount = static_cast<std::uint16_t>(depth * channels);
    }
    return Done{};
}

Status checkBitmap(IconImage& image, std::size_t index) {
    const ByteView data = image.data;
    const std::uint32_t headerSize = u32At(data, 0);
    if ((headerSize != 40 && headerSize != 108 && headerSize != 124) || !fits(data, 0, headerSize)) {
        return fail(describe(index) + " is neither a PNG nor a bitmap with a BITMAPINFOHEADER");
    }
    const auto width = static_cast<std::int32_t>(u32At(data, 4));
    const auto height = static_cast<std::int32_t>(u32At(data, 8));
    const std::uint16_t planes = u16At(data, 12);
    const std::uint16_t bits = u16At(data, 14);
    const std::uint32_t compression = u32At(data, 16);
    const std::uint32_t colorsUsed = u32At(data, 32);
    if (width < 0 || height < 0 || static_cast<std::uint32_t>(width) != pixels(image.width) ||
        static_cast<std::uint32_t>(height) != 2 * pixels(image.height)) {
        return fail(describe(index) + " is a bitmap of " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels; its entry needs " + std::to_string(pixels(image.width)) + "x" +
                    std::to_string(2 * pixels(image.height)) + " (colour bits and mask)");
    }
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        compression != 0 || colorsUsed > 256) {
        return fail(describe(index) + " is a bitmap of a kind icons cannot hold");
    }
    const std::uint64_t colors = colorsUsed != 0 ? colorsUsed : (bits <= 8 ? (1u << bits) : 0);
    const std::uint64_t w = pixels(image.width);
    const std::uint64_t h = pixels(image.height);
    const std::uint64_t colorRow = (w * bits + 31) / 32 * 4;
    const std::uint64_t maskRow = (w + 31) / 32 * 4;
    const std::uint64_t needed = headerSize + 4 * colors + h * (colorRow + maskRow);
    if (data.size() < needed) {
        return fail(describe(index) + " is cut off: its bitmap needs " + std::to_string(needed) + " bytes, the file has " +
                    std::to_string(data.size()));
    }
    if (image.planes == 0) {
        image.planes = 1;
    }
    if (image.bitCount == 0) {
        image.bitCount = bits;
    }
    return Done{};
}

}  // namespace

Result<std::vector<IconImage>> readIconFile(ByteView file) {
    if (!fits(file, 0, 6) || u16At(file, 0) != 0) {
        return fail("not an icon file (no ICONDIR header)");
    }
    const std::uint16_t type = u16At(file, 2);
    if (type == 2) {
        return fail("a cursor file, not an icon file");
    }
    if (type != 1) {
        return fail("not an icon file (its type is " + std::to_string(type) + ", not 1)");
    }
    const std::uint16_t count = u16At(file, 4);
    if (count == 0 || count > kMaxImages) {
        return fail("the icon file holds " + std::to_string(count) + " images; 1 to 256 are accepted");
    }
    if (!fits(file, 6, 16u * count)) {
        return fail("the icon file's directory is cut off");
    }
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t entry = 6 + 16 * i;
        IconImage image;
        image.width = file[entry];
        image.height = file[entry + 1];
        image.colorCount = file[entry + 2];
        image.planes = u16At(file, entry + 4);
        image.bitCount = u16At(file, entry + 6);
        const std::uint32_t size = u32At(file, entry + 8);
        const std::uint32_t offset = u32At(file, entry + 12);
        if (size == 0 || !fits(file, offset, size)) {
            return fail(describe(i) + " lies outside the file");
        }
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        image.png = size >= 8 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), image.data.begin());
        auto status = image.png ? checkPng(image, i) : checkBitmap(image, i);
        if (!status.ok()) {
            return Error{status.error()};
        }
        if (image.planes == 0) {
            image.planes = 1;
        }
        images.push_back(std::move(image));
    }
    return images;
}

Bytes iconGroup(const std::vector<IconImage>& images, std::uint16_t firstId) {
    Bytes group;
    appendU16(group, 0);
    appendU16(group, 1);
    appendU16(group, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        group.push_back(image.width);
        group.push_back(image.height);
        group.push_back(image.colorCount);
        group.push_back(0);
        appendU16(group, image.planes);
        appendU16(group, image.bitCount);
        appendU32(group, static_cast<std::uint32_t>(image.data.size()));
        appendU16(group, static_cast<std::uint16_t>(firstId + i));
    }
    return group;
}

}  // namespace kite::brand
