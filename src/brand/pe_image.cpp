#include "brand/pe_image.h"

#include <algorithm>

#include "brand/checksum.h"

namespace kite::brand {

namespace {

constexpr std::uint32_t kInitializedData = 0x00000040;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kMaxSections = 96;

bool powerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool inside(std::uint32_t rva, const SectionHeader& section) {
    return rva >= section.virtualAddress && rva - section.virtualAddress < section.extent();
}

}  // namespace

DataDirectory PeImage::directory(std::size_t index, ByteView file) const {
    if (index >= directoryCount) {
        return {};
    }
    return DataDirectory{u32At(file, directoryTable + 8 * index), u32At(file, directoryTable + 8 * index + 4)};
}

Result<PeImage> readPeImage(ByteView file) {
    if (!fits(file, 0, 64) || file[0] != 'M' || file[1] != 'Z') {
        return fail("not a Windows executable (no MZ header)");
    }
    const std::uint32_t pe = u32At(file, 60);
    if (!fits(file, pe, 24) || u32At(file, pe) != 0x00004550) {
        return fail("not a Windows executable (no PE header)");
    }
    PeImage image;
    image.machine = u16At(file, pe + 4);
    const std::uint16_t sectionCount = u16At(file, pe + 6);
    const std::uint16_t optionalSize = u16At(file, pe + 20);
    image.optionalHeader = pe + 24;
    if (!fits(file, image.optionalHeader, optionalSize) || optionalSize < 2) {
        return fail("the PE optional header is cut off");
    }
    const std::uint16_t magic = u16At(file, image.optionalHeader);
    if (magic != 0x10B && magic != 0x20B) {
        return fail("the PE optional header is neither PE32 nor PE32+");
    }
    image.pe32Plus = magic == 0x20B;
    const std::size_t directoriesAt = image.pe32Plus ? 112 : 96;
    if (optionalSize < directoriesAt) {
        return fail("the PE optional header is too short");
    }
    const std::uint64_t o = image.optionalHeader;
    image.sectionAlignment = u32At(file, o + 32);
    image.fileAlignment = u32At(file, o + 36);
    image.sizeOfHeaders = u32At(file, o + 60);
    image.checksumOffset = o + 64;
    image.subsystem = u16At(file, o + 68);
    image.directoryCount = u32At(file, o + directoriesAt - 4);
    image.directoryTable = o + directoriesAt;
    if (image.directoryCount > 16 || directoriesAt + 8ull * image.directoryCount > optionalSize) {
        return fail("the PE data directories do not fit into the optional header");
    }
    if (!powerOfTwo(image.fileAlignment) || image.fileAlignment < 512 || image.fileAlignment > 65536 ||
        !powerOfTwo(image.sectionAlignment) || image.sectionAlignment < image.fileAlignment) {
        return fail("the PE image has unusual file or section alignment");
    }
    if (sectionCount == 0 || sectionCount > kMaxSections) {
        return fail("the PE image has no sections or too many");
    }
    const std::uint64_t table = o + optionalSize;
    if (!fits(file, table, kSectionHeaderSize * sectionCount) ||
        table + kSectionHeaderSize * sectionCount > image.sizeOfHeaders) {
        return fail("the PE section table lies outside the headers");
    }
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + kSectionHeaderSize * i;
        SectionHeader section;
        for (std::size_t c = 0; c < 8 && file[at + c] != 0; ++c) {
            section.name.push_back(static_cast<char>(file[at + c]));
        }
        section.virtualSize = u32At(file, at + 8);
        section.virtualAddress = u32At(file, at + 12);
        section.rawSize = u32At(file, at + 16);
        section.rawPointer = u32At(file, at + 20);
        section.characteristics = u32At(file, at + 36);
        section.headerOffset = at;
        if (section.rawSize != 0 && !fits(file, section.rawPointer, section.rawSize)) {
            return fail("the data of section " + section.name + " lies outside the file");
        }
        if (!image.sections.empty()) {
            const SectionHeader& before = image.sections.back();
            if (section.virtualAddress < before.virtualAddress ||
                section.virtualAddress - before.virtualAddress < before.extent()) {
                return fail("the PE sections are not in ascending, non-overlapping address order");
            }
        }
        if (std::uint64_t{section.virtualAddress} + section.extent() > 0xFFFFFFFFu) {
            return fail("section " + section.name + " ends beyond 4 GiB");
        }
        image.sections.push_back(section);
    }
    return image;
}

Result<ResourcePlan> planResourceRewrite(const PeImage& image, ByteView file) {
    const DataDirectory resources = image.directory(kDirectoryResources, file);
    if (resources.rva == 0) {
        return fail("the executable has no resources");
    }
    ResourcePlan plan;
    const auto& sections = image.sections;
    const auto found = std::find_if(sections.begin(), sections.end(), [&](const SectionHeader& section) {
        return section.virtualAddress == resources.rva;
    });
    if (found == sections.end()) {
        return fail("the resource directory does not start a section of its own");
    }
    plan.section = static_cast<std::size_t>(found - sections.begin());
    const SectionHeader& rsrc = sections[plan.section];
    if (rsrc.rawSize == 0 || rsrc.rawPointer < image.sizeOfHeaders) {
        return fail("the resource section has no data in the file");
    }
    const DataDirectory relocations = image.directory(kDirectoryRelocations, file);
    if (plan.section + 1 < sections.size()) {
        const SectionHeader& next = sections[plan.section + 1];
        if (plan.section + 2 != sections.size() || relocations.rva != next.virtualAddress ||
            relocations.size > next.extent() || next.rawSize == 0) {
            return fail("the resource section is followed by sections other than the base relocations");
        }
        plan.relocations = plan.section + 1;
    }
    // The resource section's data (and the relocations' after it) must be the
    // last in the file, so that everything before it stays where it is.
    std::uint64_t end = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const SectionHeader& section = sections[i];
        if (section.rawSize == 0) {
            continue;
        }
        const std::uint64_t sectionEnd = std::uint64_t{section.rawPointer} + section.rawSize;
        end = std::max(end, sectionEnd);
        if (i != plan.section && (!plan.relocations || i != *plan.relocations) && sectionEnd > rsrc.rawPointer) {
            return fail("the data of section " + section.name + " lies after the resource section in the file");
        }
    }
    if (plan.relocations && sections[*plan.relocations].rawPointer < std::uint64_t{rsrc.rawPointer} + rsrc.rawSize) {
        return fail("the base relocations lie before the resource section in the file");
    }
    for (std::size_t index = 0; index < image.directoryCount; ++index) {
        if (index == kDirectoryResources || index == kDirectoryRelocations || index == kDirectoryCertificates) {
            continue;
        }
        const DataDirectory directory = image.directory(index, file);
        if (directory.size == 0) {
            continue;
        }
        if (inside(directory.rva, rsrc) || (plan.relocations && inside(directory.rva, sections[*plan.relocations]))) {
            return fail("data directory " + std::to_string(index) + " points into the resource section");
        }
    }
    const DataDirectory certificates = image.directory(kDirectoryCertificates, file);
    std::uint64_t tail = file.size();
    if (certificates.size != 0) {
        if (certificates.rva < end || std::uint64_t{certificates.rva} + certificates.size != file.size()) {
            return fail("the certificate table is not at the end of the file");
        }
        tail = certificates.rva;
        plan.dropsCertificates = true;
    }
    for (std::uint64_t i = end; i < tail; ++i) {
        if (file[i] != 0) {
            return fail("the file holds data after its last section (an overlay), which would be lost");
        }
    }
    return plan;
}

ByteView resourceSectionBytes(const PeImage& image, ByteView file, const ResourcePlan& plan) {
    const SectionHeader& section = image.sections[plan.section];
    const std::uint32_t size = section.virtualSize != 0 ? std::min(section.virtualSize, section.rawSize) : section.rawSize;
    return file.subspan(section.rawPointer, size);
}

Result<Bytes> withResourceSection(const PeImage& image, ByteView file, const ResourcePlan& plan,
                                  ByteView newSection) {
    const SectionHeader& rsrc = image.sections[plan.section];
    const std::uint64_t virtualSize = newSection.size();
    const std::uint64_t rawSize = alignUp(virtualSize, image.fileAlignment);
    std::uint64_t imageEnd = alignUp(std::uint64_t{rsrc.virtualAddress} + virtualSize, image.sectionAlignment);
    if (virtualSize == 0 || imageEnd > 0xFFFFFFFFu || rsrc.rawPointer + rawSize > 0xFFFFFFFFu) {
        return fail("the new resource section does not fit into the image");
    }

    Bytes out(file.begin(), file.begin() + rsrc.rawPointer);
    appendBytes(out, newSection);
    out.resize(rsrc.rawPointer + rawSize, 0);
    putU32(out, rsrc.headerOffset + 8, static_cast<std::uint32_t>(virtualSize));
    putU32(out, rsrc.headerOffset + 16, static_cast<std::uint32_t>(rawSize));
    putU32(out, image.directoryTable + 8 * kDirectoryResources + 4, static_cast<std::uint32_t>(virtualSize));

    if (plan.relocations) {
        const SectionHeader& relocations = image.sections[*plan.relocations];
        const std::uint64_t newAddress = imageEnd;
        const std::uint64_t newPointer = out.size();
        imageEnd = alignUp(newAddress + relocations.extent(), image.sectionAlignment);
        if (imageEnd > 0xFFFFFFFFu || newPointer + relocations.rawSize > 0xFFFFFFFFu) {
            return fail("the moved base relocations do not fit into the image");
        }
        appendBytes(out, file.subspan(relocations.rawPointer, relocations.rawSize));
        putU32(out, relocations.headerOffset + 12, static_cast<std::uint32_t>(newAddress));
        putU32(out, relocations.headerOffset + 20, static_cast<std::uint32_t>(newPointer));
        putU32(out, image.directoryTable + 8 * kDirectoryRelocations, static_cast<std::uint32_t>(newAddress));
    }
    putU32(out, image.optionalHeader + 56, static_cast<std::uint32_t>(imageEnd));
    if ((rsrc.characteristics & kInitializedData) != 0) {
        const std::uint32_t initialized = u32At(file, image.optionalHeader + 8);
        putU32(out, image.optionalHeader + 8,
               static_cast<std::uint32_t>(initialized - rsrc.rawSize + static_cast<std::uint32_t>(rawSize)));
    }
    if (plan.dropsCertificates) {
        putU32(out, image.directoryTable + 8 * kDirectoryCertificates, 0);
        putU32(out, image.directoryTable + 8 * kDirectoryCertificates + 4, 0);
    }
    putU32(out, image.checksumOffset, peChecksum(out, image.checksumOffset));
    return out;
}

}  // namespace kite::brand
