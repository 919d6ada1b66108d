// The headers of a PE image (PE32 or PE32+) and the rebuild of its resource
// section.
//
// The resource section is rewritten whole at the RVA it had, so it may grow
// only when nothing is mapped after it. In the images GNU ld links, .rsrc is
// followed by .reloc, the base relocations; their content is a list of RVAs
// elsewhere in the image and nothing refers to the section but the base
// relocation directory, so it moves up behind the grown .rsrc. Any other
// section after .rsrc, a directory that points into either section, or data
// after the last section other than a certificate table makes the image one
// this cannot rebuild.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brand/bytes.h"
#include "brand/result.h"

namespace kite::brand {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::size_t kDirectoryCertificates = 4;
inline constexpr std::size_t kDirectoryResources = 2;
inline constexpr std::size_t kDirectoryRelocations = 5;

struct SectionHeader {
    std::string name;
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t characteristics = 0;
    std::size_t headerOffset = 0;  // of its 40-byte entry in the section table

    // What the section maps: its virtual size, or its raw size when that is 0.
    std::uint32_t extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

struct DataDirectory {
    std::uint32_t rva = 0;  // a file offset for the certificate table
    std::uint32_t size = 0;
};

struct PeImage {
    std::uint16_t machine = 0;
    bool pe32Plus = false;
    std::uint16_t subsystem = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::size_t optionalHeader = 0;  // file offsets of fields the rebuild changes
    std::size_t checksumOffset = 0;
    std::size_t directoryTable = 0;
    std::uint32_t directoryCount = 0;
    std::vector<SectionHeader> sections;

    DataDirectory directory(std::size_t index, ByteView file) const;
};

// Parses and checks the headers: MZ and PE signatures, a PE32 or PE32+
// optional header, alignments that are powers of two, sections in ascending
// address order whose raw data lies inside the file.
Result<PeImage> readPeImage(ByteView file);

// Where the resources sit and what moves when they grow.
struct ResourcePlan {
    std::size_t section = 0;                 // index of the resource section
    std::optional<std::size_t> relocations;  // the base relocation section after it
    bool dropsCertificates = false;          // the input is signed; the output is not
};

Result<ResourcePlan> planResourceRewrite(const PeImage& image, ByteView file);

// The resource section's bytes as the file holds them.
ByteView resourceSectionBytes(const PeImage& image, ByteView file, const ResourcePlan& plan);

// The image with newSection (built for the section's RVA) as its resource
// section: section and image sizes, the resource directory's size, a moved
// relocation section, SizeOfInitializedData and the checksum follow; a
// certificate table is left out.
Result<Bytes> withResourceSection(const PeImage& image, ByteView file, const ResourcePlan& plan,
                                  ByteView newSection);

}  // namespace kite::brand
