#include "brand_test_support.h"

#include <algorithm>

#include "brand/checksum.h"
#include "brand/version_info.h"

namespace kite::brand::testing {

Bytes fromHex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

Bytes windresVersionResource() {
    return fromHex(
        "7c0234000000560053005f00560045005200530049004f004e005f0049004e0046004f0000000000bd04effe00000100"
        "000001000000000000000100000000003f000000000000000400040001000000000000000000000000000000dc010000"
        "010053007400720069006e006700460069006c00650049006e0066006f000000b8010000010030003400300037003000"
        "34006200300000002a000500010043006f006d00700061006e0079004e0061006d006500000000004b00690074006500"
        "000000004c0012000100460069006c0065004400650073006300720069007000740069006f006e00000000004b006900"
        "7400650020004a006100760061002d00530074006100720074006500720000002c0006000100460069006c0065005600"
        "65007200730069006f006e000000000031002e0030002e00300000002e000700010049006e007400650072006e006100"
        "6c004e0061006d00650000006b0069007400650036003400000000002e00050001004c006500670061006c0043006f00"
        "700079007200690067006800740000004b00690074006500000000003e000b0001004f0072006900670069006e006100"
        "6c00460069006c0065006e0061006d00650000006b00690074006500360034002e00650078006500000000002a000500"
        "0100500072006f0064007500630074004e0061006d006500000000004b00690074006500000000003000060001005000"
        "72006f006400750063007400560065007200730069006f006e00000031002e0030002e00300000004400000001005600"
        "61007200460069006c00650049006e0066006f00000000002400040000005400720061006e0073006c00610074006900"
        "6f006e00000000000704b004");
}

Bytes bitmapImage(std::uint32_t size, std::uint16_t bits) {
    Bytes image(40, 0);
    putU32(image, 0, 40);
    putU32(image, 4, size);
    putU32(image, 8, 2 * size);
    putU16(image, 12, 1);
    putU16(image, 14, bits);
    const std::size_t colors = bits <= 8 ? (1u << bits) : 0;
    const std::size_t colorRow = (size * bits + 31) / 32 * 4;
    const std::size_t maskRow = (size + 31) / 32 * 4;
    image.resize(40 + 4 * colors + size * (colorRow + maskRow), 0x5A);
    return image;
}

Bytes pngImage(std::uint32_t width, std::uint32_t height) {
    Bytes image = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            image.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    for (std::uint8_t b : {8, 6, 0, 0, 0, 0x11, 0x22, 0x33, 0x44}) {
        image.push_back(b);
    }
    image.resize(image.size() + 100, 0x77);
    return image;
}

Bytes icoFile(const std::vector<IcoEntry>& entries) {
    Bytes file;
    appendU16(file, 0);
    appendU16(file, 1);
    appendU16(file, static_cast<std::uint16_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const IcoEntry& entry : entries) {
        file.push_back(entry.width);
        file.push_back(entry.height);
        file.push_back(0);
        file.push_back(0);
        appendU16(file, entry.planes);
        appendU16(file, entry.bitCount);
        appendU32(file, static_cast<std::uint32_t>(entry.image.size()));
        appendU32(file, offset);
        offset += static_cast<std::uint32_t>(entry.image.size());
    }
    for (const IcoEntry& entry : entries) {
        appendBytes(file, entry.image);
    }
    return file;
}

std::vector<Resource> kiteResources(std::u16string_view internalName) {
    Bytes version = windresVersionResource();
    if (internalName != u"kite64") {
        auto root = readVersionInfo(version);
        VersionEdits edits;
        edits.strings = {{u"InternalName", std::u16string(internalName)}};
        (void)applyVersionEdits(*root, edits);
        version = *writeVersionInfo(*root);
    }
    const std::string manifest =
        "<?xml version=\"1.0\"?>\n<assembly><trustInfo><security><requestedPrivileges>\n"
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
        "</requestedPrivileges></security></trustInfo></assembly>\n";
    Bytes dialog(180);
    for (std::size_t i = 0; i < dialog.size(); ++i) {
        dialog[i] = static_cast<std::uint8_t>(i * 7);
    }
    return {
        Resource{ResourceKey::number(kTypeDialog), ResourceKey::number(201), 0x409, 0, dialog},
        Resource{ResourceKey::number(kTypeVersion), ResourceKey::number(1), 0x409, 0, version},
        Resource{ResourceKey::number(kTypeManifest), ResourceKey::number(1), 0x409, 0,
                 Bytes(manifest.begin(), manifest.end())},
    };
}

Bytes peImage(const std::vector<Resource>& resources, bool withRelocations, std::uint16_t machine) {
    const Bytes rsrc = *writeResourceTree(resources, kResourceRva);
    const std::uint32_t rsrcRaw = static_cast<std::uint32_t>(alignUp(rsrc.size(), 0x200));
    const std::uint32_t relocRva = static_cast<std::uint32_t>(alignUp(kResourceRva + rsrc.size(), 0x1000));
    const Bytes relocations = {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x08, 0xA0, 0x10, 0xA0};
    const std::uint16_t sections = withRelocations ? 3 : 2;

    Bytes file(0x400, 0);
    file[0] = 'M';
    file[1] = 'Z';
    putU32(file, 60, kPeOffset);
    putU32(file, kPeOffset, 0x00004550);
    putU16(file, kPeOffset + 4, machine);
    putU16(file, kPeOffset + 6, sections);
    putU16(file, kPeOffset + 20, 240);
    putU16(file, kPeOffset + 22, 0x22);
    putU16(file, kOptionalHeader, 0x20B);
    putU32(file, kOptionalHeader + 8, rsrcRaw + (withRelocations ? 0x200 : 0));
    putU32(file, kOptionalHeader + 32, 0x1000);
    putU32(file, kOptionalHeader + 36, 0x200);
    putU32(file, kOptionalHeader + 56, withRelocations ? relocRva + 0x1000 : relocRva);
    putU32(file, kOptionalHeader + 60, 0x400);
    putU16(file, kOptionalHeader + 68, 3);
    putU32(file, kOptionalHeader + 108, 16);
    putU32(file, kDirectories + 8 * 2, kResourceRva);
    putU32(file, kDirectories + 8 * 2 + 4, static_cast<std::uint32_t>(rsrc.size()));

    const auto section = [&](std::size_t index, const char* name, std::uint32_t virtualSize, std::uint32_t rva,
                             std::uint32_t rawSize, std::uint32_t raw, std::uint32_t characteristics) {
        const std::size_t at = kSectionTable + 40 * index;
        for (std::size_t c = 0; name[c] != 0; ++c) {
            file[at + c] = static_cast<std::uint8_t>(name[c]);
        }
        putU32(file, at + 8, virtualSize);
        putU32(file, at + 12, rva);
        putU32(file, at + 16, rawSize);
        putU32(file, at + 20, raw);
        putU32(file, at + 36, characteristics);
    };
    section(0, ".text", 0x20, 0x1000, 0x200, 0x400, 0x60000020);
    section(1, ".rsrc", static_cast<std::uint32_t>(rsrc.size()), kResourceRva, rsrcRaw, 0x600, 0xC0000040);
    file.resize(0x600, 0xC3);
    appendBytes(file, rsrc);
    file.resize(0x600 + rsrcRaw, 0);
    if (withRelocations) {
        section(2, ".reloc", static_cast<std::uint32_t>(relocations.size()), relocRva, 0x200,
                static_cast<std::uint32_t>(file.size()), 0x42000040);
        putU32(file, kDirectories + 8 * 5, relocRva);
        putU32(file, kDirectories + 8 * 5 + 4, static_cast<std::uint32_t>(relocations.size()));
        appendBytes(file, relocations);
        file.resize(file.size() - relocations.size() + 0x200, 0);
    }
    putU32(file, kOptionalHeader + 64, peChecksum(file, kOptionalHeader + 64));
    return file;
}

std::string sectionName(ByteView image, std::size_t index) {
    std::string name;
    for (std::size_t c = 0; c < 8 && image[kSectionTable + 40 * index + c] != 0; ++c) {
        name.push_back(static_cast<char>(image[kSectionTable + 40 * index + c]));
    }
    return name;
}

}  // namespace kite::brand::testing
