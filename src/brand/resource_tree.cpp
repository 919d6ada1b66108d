#include "brand/resource_tree.h"

#include <algorithm>
#include <set>
#include <string>

namespace kite::brand {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectorySize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
// What a hostile tree may make the reader copy: far above any real launcher's
// resources, far below what would exhaust memory.
constexpr std::uint64_t kMaxTotalData = 64u * 1024 * 1024;

char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

int compareNames(const std::u16string& left, const std::u16string& right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t a = foldAscii(left[i]);
        const char16_t b = foldAscii(right[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    return left.compare(right);
}

class TreeReader {
public:
    TreeReader(ByteView section, std::uint32_t rva) : section_(section), rva_(rva) {}

    Status readDirectory(std::uint64_t offset, int level, Resource& path) {
        if (!fits(section_, offset, kDirectorySize)) {
            return fail("a resource directory lies outside the resource section");
        }
        if (!visited_.insert(offset).second) {
            return fail("a resource directory is reached twice (a loop or a shared directory)");
        }
        const std::uint32_t count = u16At(section_, offset + 12) + u16At(section_, offset + 14);
        const std::uint64_t entries = offset + kDirectorySize;
        if (!fits(section_, entries, std::uint64_t{count} * kEntrySize)) {
            return fail("the entries of a resource directory run past the resource section");
        }
        std::vector<ResourceKey> seen;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t nameField = u32At(section_, entries + i * kEntrySize);
            const std::uint32_t target = u32At(section_, entries + i * kEntrySize + 4);
            auto key = readKey(nameField);
            if (!key.ok()) {
                return Error{key.error()};
            }
            if (std::find(seen.begin(), seen.end(), *key) != seen.end()) {
                return fail("a resource directory names the same entry twice");
            }
            seen.push_back(*key);
            if (level < 2) {
                if ((target & kHighBit) == 0) {
                    return fail("the resource tree is not three levels deep (type, name, language)");
                }
                (level == 0 ? path.type : path.name) = *key;
                auto status = readDirectory(target & ~kHighBit, level + 1, path);
                if (!status.ok()) {
                    return status;
                }
                continue;
            }
            if ((target & kHighBit) != 0) {
                return fail("the resource tree is deeper than three levels (type, name, language)");
            }
            if (key->named) {
                return fail("a resource language is given as a name, not a number");
            }
            auto status = readData(target, key->id, path);
            if (!status.ok()) {
                return status;
            }
        }
        return Done{};
    }

    std::vector<Resource> take() { return std::move(resources_); }

private:
    Result<ResourceKey> readKey(std::uint32_t nameField) const {
        if ((nameField & kHighBit) == 0) {
            return ResourceKey::number(nameField);
        }
        const std::uint64_t offset = nameField & ~kHighBit;
        if (!fits(section_, offset, 2)) {
            return fail("a resource name lies outside the resource section");
        }
        const std::uint16_t length = u16At(section_, offset);
        if (!fits(section_, offset + 2, std::uint64_t{length} * 2)) {
            return fail("a resource name runs past the resource section");
        }
        std::u16string name;
        for (std::uint16_t i = 0; i < length; ++i) {
            name.push_back(static_cast<char16_t>(u16At(section_, offset + 2 + 2 * std::uint64_t{i})));
        }
        return ResourceKey::text(std::move(name));
    }

    Status readData(std::uint64_t offset, std::uint32_t language, const Resource& path) {
        if (!fits(section_, offset, kDataEntrySize)) {
            return fail("a resource data entry lies outside the resource section");
        }
        const std::uint32_t dataRva = u32At(section_, offset);
        const std::uint32_t size = u32At(section_, offset + 4);
        if (dataRva < rva_ || !fits(section_, std::uint64_t{dataRva} - rva_, size)) {
            return fail("the data of a resource lies outside the resource section");
        }
        total_ += size;
        if (total_ > kMaxTotalData) {
            return fail("the resources add up to more than 64 MiB");
        }
        Resource resource;
        resource.type = path.type;
        resource.name = path.name;
        resource.language = language;
        resource.codePage = u32At(section_, offset + 8);
        const auto start = section_.begin() + (dataRva - rva_);
        resource.data.assign(start, start + size);
        resources_.push_back(std::move(resource));
        return Done{};
    }

    ByteView section_;
    std::uint32_t rva_;
    std::set<std::uint64_t> visited_;
    std::uint64_t total_ = 0;
    std::vector<Resource> resources_;
};

bool resourceBefore(const Resource& left, const Resource& right) {
    if (left.type != right.type) {
        return keyBefore(left.type, right.type);
    }
    if (left.name != right.name) {
        return keyBefore(left.name, right.name);
    }
    return left.language < right.language;
}

// One directory of the tree being written: its entries' keys and, per entry,
// the index of the child directory (levels 0 and 1) or of the resource (level 2).
struct Directory {
    std::vector<ResourceKey> keys;
    std::vector<std::size_t> targets;
    std::size_t offset = 0;
};

}  // namespace

bool keyBefore(const ResourceKey& left, const ResourceKey& right) {
    if (left.named != right.named) {
        return left.named;
    }
    if (left.named) {
        return compareNames(left.name, right.name) < 0;
    }
    return left.id < right.id;
}

Result<std::vector<Resource>> readResourceTree(ByteView section, std::uint32_t sectionRva) {
    TreeReader reader(section, sectionRva);
    Resource path;
    auto status = reader.readDirectory(0, 0, path);
    if (!status.ok()) {
        return Error{status.error()};
    }
    return reader.take();
}

Result<Bytes> writeResourceTree(std::vector<Resource> resources, std::uint32_t sectionRva) {
    std::stable_sort(resources.begin(), resources.end(), resourceBefore);
    for (std::size_t i = 1; i < resources.size(); ++i) {
        const Resource& a = resources[i - 1];
        const Resource& b = resources[i];
        if (!resourceBefore(a, b)) {
            return fail("two resources have the same type, name and language");
        }
    }
    for (const Resource& resource : resources) {
        for (const ResourceKey* key : {&resource.type, &resource.name}) {
            if (key->named ? key->name.size() > 0xFFFF : (key->id & kHighBit) != 0) {
                return fail("a resource name or number is too large");
            }
        }
        if ((resource.language & kHighBit) != 0) {
            return fail("a resource language number is too large");
        }
    }

    // Level 0: the root; level 1: one per type; level 2: one per (type, name).
    Directory root;
    std::vector<Directory> names;
    std::vector<Directory> languages;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const Resource& resource = resources[i];
        if (root.keys.empty() || root.keys.back() != resource.type) {
            root.keys.push_back(resource.type);
            root.targets.push_back(names.size());
            names.emplace_back();
        }
        Directory& nameDirectory = names.back();
        if (nameDirectory.keys.empty() || nameDirectory.keys.back() != resource.name) {
            nameDirectory.keys.push_back(resource.name);
            nameDirectory.targets.push_back(languages.size());
            languages.emplace_back();
        }
        languages.back().keys.push_back(ResourceKey::number(resource.language));
        languages.back().targets.push_back(i);
    }

    std::uint64_t offset = 0;
    const auto place = [&](Directory& directory) {
        directory.offset = offset;
        offset += kDirectorySize + kEntrySize * directory.keys.size();
    };
    place(root);
    for (Directory& directory : names) {
        place(directory);
    }
    for (Directory& directory : languages) {
        place(directory);
    }
    // Name strings, in the order the directories use them.
    std::vector<std::uint64_t> typeNameOffsets(root.keys.size());
    std::vector<std::vector<std::uint64_t>> nameOffsets(names.size());
    for (std::size_t t = 0; t < root.keys.size(); ++t) {
        if (root.keys[t].named) {
            typeNameOffsets[t] = offset;
            offset += 2 + 2 * root.keys[t].name.size();
        }
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        nameOffsets[n].resize(names[n].keys.size());
        for (std::size_t k = 0; k < names[n].keys.size(); ++k) {
            if (names[n].keys[k].named) {
                nameOffsets[n][k] = offset;
                offset += 2 + 2 * names[n].keys[k].name.size();
            }
        }
    }
    offset = alignUp(offset, 4);
    const std::uint64_t dataEntries = offset;
    offset += kDataEntrySize * resources.size();
    std::vector<std::uint64_t> dataOffsets(resources.size());
    for (std::size_t i = 0; i < resources.size(); ++i) {
        offset = alignUp(offset, 8);
        dataOffsets[i] = offset;
        offset += resources[i].data.size();
    }
    if (offset > 0x7FFFFFFF || offset > 0xFFFFFFFFu - sectionRva) {
        return fail("the resources do not fit into one resource section");
    }

    Bytes out(offset, 0);
    const auto writeDirectory = [&](const Directory& directory, const auto& nameFieldOf, const auto& targetOf) {
        std::uint16_t namedCount = 0;
        for (const ResourceKey& key : directory.keys) {
            namedCount += key.named ? 1 : 0;
        }
        putU16(out, directory.offset + 12, namedCount);
        putU16(out, directory.offset + 14, static_cast<std::uint16_t>(directory.keys.size() - namedCount));
        for (std::size_t k = 0; k < directory.keys.size(); ++k) {
            const std::size_t entry = directory.offset + kDirectorySize + kEntrySize * k;
            putU32(out, entry, nameFieldOf(k));
            putU32(out, entry + 4, targetOf(k));
        }
    };
    const auto writeName = [&](std::uint64_t at, const std::u16string& name) {
        putU16(out, at, static_cast<std::uint16_t>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i) {
            putU16(out, at + 2 + 2 * i, name[i]);
        }
    };

    writeDirectory(
        root,
        [&](std::size_t k) {
            return root.keys[k].named ? static_cast<std::uint32_t>(typeNameOffsets[k]) | kHighBit : root.keys[k].id;
        },
        [&](std::size_t k) { return static_cast<std::uint32_t>(names[root.targets[k]].offset) | kHighBit; });
    for (std::size_t t = 0; t < root.keys.size(); ++t) {
        if (root.keys[t].named) {
            writeName(typeNameOffsets[t], root.keys[t].name);
        }
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        const Directory& directory = names[n];
        writeDirectory(
            directory,
            [&](std::size_t k) {
                return directory.keys[k].named ? static_cast<std::uint32_t>(nameOffsets[n][k]) | kHighBit
                                               : directory.keys[k].id;
            },
            [&](std::size_t k) {
                return static_cast<std::uint32_t>(languages[directory.targets[k]].offset) | kHighBit;
            });
        for (std::size_t k = 0; k < directory.keys.size(); ++k) {
            if (directory.keys[k].named) {
                writeName(nameOffsets[n][k], directory.keys[k].name);
            }
        }
    }
    for (const Directory& directory : languages) {
        writeDirectory(
            directory, [&](std::size_t k) { return directory.keys[k].id; },
            [&](std::size_t k) {
                return static_cast<std::uint32_t>(dataEntries + kDataEntrySize * directory.targets[k]);
            });
    }
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const std::size_t entry = dataEntries + kDataEntrySize * i;
        putU32(out, entry, static_cast<std::uint32_t>(sectionRva + dataOffsets[i]));
        putU32(out, entry + 4, static_cast<std::uint32_t>(resources[i].data.size()));
        putU32(out, entry + 8, resources[i].codePage);
        std::copy(resources[i].data.begin(), resources[i].data.end(), out.begin() + dataOffsets[i]);
    }
    return out;
}

}  // namespace kite::brand
