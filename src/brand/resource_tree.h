// The resource tree of a PE image (.rsrc): read from the section's bytes into
// a flat list of resources, and written back as a whole new section.
//
// Windows uses three levels: type, name, language. Each level is an
// IMAGE_RESOURCE_DIRECTORY (16 bytes) followed by its 8-byte entries; an entry
// names its key (an ID, or with the high bit an offset to a counted UTF-16
// string) and its target (with the high bit a directory of the next level,
// otherwise a 16-byte IMAGE_RESOURCE_DATA_ENTRY whose first field is the RVA
// of the data). All offsets but that RVA count from the section's start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brand/bytes.h"
#include "brand/result.h"

namespace kite::brand {

// Resource types of the Windows headers that the tool works with.
inline constexpr std::uint32_t kTypeIcon = 3;
inline constexpr std::uint32_t kTypeDialog = 5;
inline constexpr std::uint32_t kTypeGroupIcon = 14;
inline constexpr std::uint32_t kTypeVersion = 16;
inline constexpr std::uint32_t kTypeManifest = 24;

// A type or name: a number, or a string (named).
struct ResourceKey {
    bool named = false;
    std::uint32_t id = 0;
    std::u16string name;

    static ResourceKey number(std::uint32_t id) { return ResourceKey{false, id, {}}; }
    static ResourceKey text(std::u16string name) { return ResourceKey{true, 0, std::move(name)}; }
    bool is(std::uint32_t number) const { return !named && id == number; }
    friend bool operator==(const ResourceKey&, const ResourceKey&) = default;
};

// The order of a directory's entries: names before IDs, names by their
// characters with ASCII letters compared without case (as the loader looks
// them up), IDs by value.
bool keyBefore(const ResourceKey& left, const ResourceKey& right);

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint32_t language = 0;
    std::uint32_t codePage = 0;
    Bytes data;
};

// Reads the tree that starts at the section's first byte; sectionRva is where
// the section is mapped (data entries hold RVAs). Refuses a tree that is not
// three levels deep, a directory reached twice, entries or data outside the
// section, and duplicate keys in one directory.
Result<std::vector<Resource>> readResourceTree(ByteView section, std::uint32_t sectionRva);

// Writes the resources as a section mapped at sectionRva: all directories
// (root, then the name directories in type order, then the language
// directories), the name strings, the data entries, then each resource's
// data at an 8-byte boundary. Refuses duplicates.
Result<Bytes> writeResourceTree(std::vector<Resource> resources, std::uint32_t sectionRva);

}  // namespace kite::brand
