// kite-brand on whole images: the rebuilt resource section and what moves
// with it, the images it refuses, and the command line against files in memory.
#include <gtest/gtest.h>

#include <map>

#include "brand/brand.h"
#include "brand/checksum.h"
#include "brand/pe_image.h"
#include "brand/resource_tree.h"
#include "brand/tool.h"
#include "brand/version_info.h"
#include "brand_test_support.h"

namespace kite::brand {
namespace {

using testing::bitmapImage;
using testing::icoFile;
using testing::kDirectories;
using testing::kOptionalHeader;
using testing::kResourceRva;
using testing::kSectionTable;
using testing::peImage;
using testing::pngImage;

std::vector<Resource> resourcesOf(ByteView image) {
    auto pe = readPeImage(image);
    EXPECT_TRUE(pe.ok()) << pe.error();
    auto plan = planResourceRewrite(*pe, image);
    EXPECT_TRUE(plan.ok()) << plan.error();
    auto tree = readResourceTree(resourceSectionBytes(*pe, image, *plan), pe->sections[plan->section].virtualAddress);
    EXPECT_TRUE(tree.ok()) << tree.error();
    return tree.ok() ? *tree : std::vector<Resource>{};
}

const Resource* find(const std::vector<Resource>& resources, std::uint32_t type, std::uint32_t name) {
    for (const Resource& r : resources) {
        if (r.type.is(type) && r.name.is(name)) {
            return &r;
        }
    }
    return nullptr;
}

TEST(BrandImage, GrownResourcesMoveTheRelocationsAndEveryHeaderFollows) {
    const Bytes input = peImage(testing::kiteResources());
    const Bytes relocations(input.end() - 0x200, input.end());
    BrandOptions options;
    options.company = u"ACME";
    options.version = FourPartVersion{3, 1, 4, 1};
    options.executionLevel = "highestAvailable";
    // A 256-pixel bitmap alone is 270 KB: the section grows by many pages.
    options.icons = *readIconFile(icoFile({{16, 16, 1, 32, bitmapImage(16, 32)}, {0, 0, 1, 32, bitmapImage(256, 32)}}));
    auto branded = brandExecutable(input, options);
    ASSERT_TRUE(branded.ok()) << branded.error();
    const Bytes& out = branded->image;
    EXPECT_EQ(branded->kiteName, "kite64");
    EXPECT_FALSE(branded->droppedSignature);

    auto pe = readPeImage(out);
    ASSERT_TRUE(pe.ok()) << pe.error();
    ASSERT_EQ(pe->sections.size(), 3u);
    const SectionHeader& text = pe->sections[0];
    const SectionHeader& rsrc = pe->sections[1];
    const SectionHeader& reloc = pe->sections[2];
    // Everything before the resource section's data is the input's, but for header fields.
    EXPECT_TRUE(std::equal(input.begin() + 0x400, input.begin() + 0x600, out.begin() + 0x400));
    EXPECT_EQ(text.virtualAddress, 0x1000u);
    EXPECT_EQ(rsrc.virtualAddress, kResourceRva);
    EXPECT_EQ(rsrc.rawPointer, 0x600u);
    EXPECT_GT(rsrc.virtualSize, 270000u);
    EXPECT_EQ(rsrc.rawSize, alignUp(rsrc.virtualSize, 0x200));
    const DataDirectory resources = pe->directory(kDirectoryResources, out);
    EXPECT_EQ(resources.rva, kResourceRva);
    EXPECT_EQ(resources.size, rsrc.virtualSize);
    // The relocations follow at the next page and the next file position, unchanged.
    EXPECT_EQ(reloc.virtualAddress, alignUp(kResourceRva + rsrc.virtualSize, 0x1000));
    EXPECT_EQ(reloc.rawPointer, rsrc.rawPointer + rsrc.rawSize);
    EXPECT_EQ(pe->directory(kDirectoryRelocations, out).rva, reloc.virtualAddress);
    EXPECT_EQ(pe->directory(kDirectoryRelocations, out).size, 12u);
    EXPECT_TRUE(std::equal(relocations.begin(), relocations.end(), out.begin() + reloc.rawPointer));
    EXPECT_EQ(out.size(), reloc.rawPointer + 0x200u);
    EXPECT_EQ(u32At(out, kOptionalHeader + 56), reloc.virtualAddress + 0x1000);  // SizeOfImage
    EXPECT_EQ(u32At(out, kOptionalHeader + 8), rsrc.rawSize + 0x200);            // SizeOfInitializedData
    EXPECT_EQ(u32At(out, kOptionalHeader + 64), peChecksum(out, kOptionalHeader + 64));
    EXPECT_NE(u32At(out, kOptionalHeader + 64), u32At(input, kOptionalHeader + 64));

    const auto before = testing::kiteResources();
    const auto after = resourcesOf(out);
    EXPECT_EQ(find(after, kTypeDialog, 201)->data, find(before, kTypeDialog, 201)->data);
    const Resource* group = find(after, kTypeGroupIcon, 1);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->data, iconGroup(*options.icons, 1));
    EXPECT_EQ(group->language, 0x409u);
    EXPECT_EQ(find(after, kTypeIcon, 2)->data, bitmapImage(256, 32));
    const Resource* manifest = find(after, kTypeManifest, 1);
    const std::string level(manifest->data.begin(), manifest->data.end());
    EXPECT_NE(level.find("level=\"highestAvailable\" uiAccess=\"false\""), std::string::npos);
    auto version = readVersionInfo(find(after, kTypeVersion, 1)->data);
    ASSERT_TRUE(version.ok());
    EXPECT_EQ(versionString(*version, u"CompanyName"), u"ACME");
    EXPECT_EQ(versionString(*version, u"FileVersion"), u"3.1.4.1");
    EXPECT_EQ(versionString(*version, u"ProductVersion"), u"3.1.4.1");
    EXPECT_EQ(versionString(*version, u"ProductName"), u"Kite");
    EXPECT_EQ(versionString(*version, u"InternalName"), u"kite64");

    // Branded again (the output is still a Kite executable), a smaller icon shrinks it.
    BrandOptions smaller;
    smaller.icons = *readIconFile(icoFile({{32, 32, 1, 32, bitmapImage(32, 32)}}));
    auto again = brandExecutable(out, smaller);
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_LT(again->image.size(), 0x3000u);
    const auto shrunk = resourcesOf(again->image);
    EXPECT_EQ(find(shrunk, kTypeIcon, 2), nullptr);
    EXPECT_EQ(find(shrunk, kTypeVersion, 1)->data, find(after, kTypeVersion, 1)->data);
}

TEST(BrandImage, WithoutRelocationsTheResourcesAreTheLastSection) {
    const Bytes input = peImage(testing::kiteResources(), false);
    BrandOptions options;
    options.description = u"Editor";
    auto branded = brandExecutable(input, options);
    ASSERT_TRUE(branded.ok()) << branded.error();
    auto pe = readPeImage(branded->image);
    ASSERT_TRUE(pe.ok());
    EXPECT_EQ(branded->image.size(), pe->sections[1].rawPointer + pe->sections[1].rawSize);
    EXPECT_EQ(u32At(branded->image, kOptionalHeader + 56),
              alignUp(kResourceRva + pe->sections[1].virtualSize, 0x1000));
}

TEST(BrandImage, SignedInputLosesItsCertificateTable) {
    Bytes input = peImage(testing::kiteResources());
    const std::uint32_t at = static_cast<std::uint32_t>(input.size());
    input.resize(input.size() + 24, 0xAB);
    putU32(input, kDirectories + 8 * kDirectoryCertificates, at);
    putU32(input, kDirectories + 8 * kDirectoryCertificates + 4, 24);
    auto branded = brandExecutable(input, BrandOptions{});
    ASSERT_TRUE(branded.ok()) << branded.error();
    EXPECT_TRUE(branded->droppedSignature);
    EXPECT_EQ(branded->image.size(), at);
    EXPECT_EQ(u32At(branded->image, kDirectories + 8 * kDirectoryCertificates), 0u);
    EXPECT_EQ(u32At(branded->image, kDirectories + 8 * kDirectoryCertificates + 4), 0u);

    putU32(input, kDirectories + 8 * kDirectoryCertificates + 4, 20);  // not reaching the end of the file
    EXPECT_FALSE(brandExecutable(input, BrandOptions{}).ok());
}

TEST(BrandImage, ImagesItCannotRebuildOrThatAreNotKiteAreRefused) {
    const auto refused = [](const char* what, const Bytes& image, const char* says) {
        auto branded = brandExecutable(image, BrandOptions{});
        ASSERT_FALSE(branded.ok()) << what;
        EXPECT_NE(branded.error().find(says), std::string::npos) << what << ": " << branded.error();
    };
    refused("not PE", Bytes(100, 'M'), "no MZ header");
    Bytes noPe = peImage(testing::kiteResources());
    noPe[testing::kPeOffset] = 'X';
    refused("no PE signature", noPe, "no PE header");
    refused("another program", peImage(testing::kiteResources(u"notepad")), "not a Kite executable");
    refused("kite64 for i386", peImage(testing::kiteResources(), true, kMachineI386), "not a Kite executable");
    refused("32-bit name for x64", peImage(testing::kiteResources(u"kitew")), "not a Kite executable");
    auto noVersion = testing::kiteResources();
    noVersion.erase(noVersion.begin() + 1);
    refused("no version resource", peImage(noVersion), "not a Kite executable");

    Bytes overlay = peImage(testing::kiteResources());
    overlay.push_back(1);
    refused("overlay", overlay, "after its last section");
    Bytes unknownAfter = peImage(testing::kiteResources());
    putU32(unknownAfter, kDirectories + 8 * kDirectoryRelocations, 0);
    refused("a section after .rsrc that is not the relocations", unknownAfter, "followed by sections");
    Bytes intoResources = peImage(testing::kiteResources());
    putU32(intoResources, kDirectories + 8 * 6, kResourceRva + 16);
    putU32(intoResources, kDirectories + 8 * 6 + 4, 28);
    refused("debug directory inside .rsrc", intoResources, "points into the resource section");
    Bytes offStart = peImage(testing::kiteResources());
    putU32(offStart, kDirectories + 8 * kDirectoryResources, kResourceRva + 8);
    refused("resources not at the section start", offStart, "section of its own");
    Bytes rawOutside = peImage(testing::kiteResources());
    putU32(rawOutside, kSectionTable + 40 + 16, 0x100000);
    refused("section data outside the file", rawOutside, "outside the file");
    Bytes unordered = peImage(testing::kiteResources());
    putU32(unordered, kSectionTable + 12, 0x9000);
    refused("sections out of order", unordered, "ascending");
    Bytes alignment = peImage(testing::kiteResources());
    putU32(alignment, kOptionalHeader + 36, 0x300);
    refused("file alignment", alignment, "alignment");
}

// Files in memory: what the tool reads, and every file it writes.
class MemoryFiles final : public FileAccess {
public:
    std::map<std::string, Bytes> files;
    std::vector<std::string> written;

    Result<Bytes> readFile(const std::string& path, std::size_t maxBytes) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return fail(path + ": no such file");
        }
        if (found->second.size() > maxBytes) {
            return fail(path + ": too large");
        }
        return found->second;
    }
    bool sameFile(const std::string& first, const std::string& second) override { return first == second; }
    Status replaceFile(const std::string& path, ByteView content, const std::string&) override {
        files[path] = Bytes(content.begin(), content.end());
        written.push_back(path);
        return Done{};
    }
};

struct ToolRun {
    int code = -1;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

ToolRun run(MemoryFiles& files, const std::vector<std::string>& args) {
    ToolRun result;
    result.code = runBrandTool(
        args, files, [&](const std::string& line) { result.out.push_back(line); },
        [&](const std::string& line) { result.err.push_back(line); });
    return result;
}

MemoryFiles kiteFiles() {
    MemoryFiles files;
    files.files["kite64.exe"] = peImage(testing::kiteResources());
    files.files["app.ico"] = icoFile({{16, 16, 1, 32, bitmapImage(16, 32)}, {0, 0, 1, 32, pngImage(256, 256)}});
    files.files["cursor.cur"] = files.files["app.ico"];
    putU16(files.files["cursor.cur"], 2, 2);
    files.files["notepad.exe"] = peImage(testing::kiteResources(u"notepad"));
    return files;
}

TEST(BrandTool, EveryOptionReachesTheWrittenExecutable) {
    MemoryFiles files = kiteFiles();
    const auto result = run(files, {"kite64.exe", "--icon", "app.ico", "--product-name=Fotoablage",
                                    "--company", "M\u00FCller & S\u00F6hne", "--description", "Fotoablage Starter",
                                    "--copyright", "\u00A9 2025 M\u00FCller", "--version", "2.10.0.65535",
                                    "--original-filename", "fotoablage.exe", "--execution-level",
                                    "requireAdministrator", "--output", "out/app.exe"});
    ASSERT_EQ(result.code, kExitWritten) << (result.err.empty() ? "" : result.err[0]);
    EXPECT_EQ(files.written, std::vector<std::string>{"out/app.exe"});
    EXPECT_EQ(result.out, std::vector<std::string>{"kite-brand: wrote out/app.exe (from kite64)"});
    EXPECT_TRUE(result.err.empty());
    const auto resources = resourcesOf(files.files["out/app.exe"]);
    auto version = readVersionInfo(find(resources, kTypeVersion, 1)->data);
    ASSERT_TRUE(version.ok());
    EXPECT_EQ(versionString(*version, u"ProductName"), u"Fotoablage");
    EXPECT_EQ(versionString(*version, u"CompanyName"), u"M\u00FCller & S\u00F6hne");
    EXPECT_EQ(versionString(*version, u"FileDescription"), u"Fotoablage Starter");
    EXPECT_EQ(versionString(*version, u"LegalCopyright"), u"\u00A9 2025 M\u00FCller");
    EXPECT_EQ(versionString(*version, u"OriginalFilename"), u"fotoablage.exe");
    EXPECT_EQ(versionString(*version, u"FileVersion"), u"2.10.0.65535");
    EXPECT_EQ(u32At(version->value, 8), 0x0002000Au);
    EXPECT_EQ(u32At(version->value, 12), 0x0000FFFFu);
    ASSERT_NE(find(resources, kTypeGroupIcon, 1), nullptr);
    EXPECT_EQ(find(resources, kTypeIcon, 2)->data, pngImage(256, 256));
    const Resource* manifest = find(resources, kTypeManifest, 1);
    EXPECT_NE(std::string(manifest->data.begin(), manifest->data.end()).find("\"requireAdministrator\""),
              std::string::npos);
}

TEST(BrandTool, BadInputIsRefusedAndNothingIsWritten) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"kite64.exe", "--version", "1.2.3", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--version", "1.2.3.65536", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--version", "1.2.3.4.5", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--version", "1.-2.3.4", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--version", "1..3.4", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--version", "000001.2.3.4", "--output", "a.exe"}, kExitUsage, "four numbers"},
        {{"kite64.exe", "--execution-level", "admin", "--output", "a.exe"}, kExitUsage, "requireAdministrator"},
        {{"kite64.exe", "--company", "", "--output", "a.exe"}, kExitUsage, "empty"},
        {{"kite64.exe", "--company", "A\tB", "--output", "a.exe"}, kExitUsage, "control character"},
        {{"kite64.exe", "--company", "\xC3(", "--output", "a.exe"}, kExitUsage, "UTF-8"},
        {{"kite64.exe", "--original-filename", "bin\\app.exe", "--output", "a.exe"}, kExitUsage, "without a folder"},
        {{"kite64.exe", "--colour", "red", "--output", "a.exe"}, kExitUsage, "unknown option --colour"},
        {{"kite64.exe", "--company", "A", "--company", "B", "--output", "a.exe"}, kExitUsage, "twice"},
        {{"kite64.exe", "--company"}, kExitUsage, "needs a value"},
        {{"kite64.exe", "--company", "A"}, kExitUsage, "no --output"},
        {{"--output", "a.exe"}, kExitUsage, "no input"},
        {{"kite64.exe", "other.exe", "--output", "a.exe"}, kExitUsage, "more than one input"},
        {{"kite64.exe", "--output", "kite64.exe"}, kExitUsage, "is the input"},
        {{"kite64.exe", "--icon", "cursor.cur", "--output", "a.exe"}, kExitRefused, "cursor.cur: a cursor file"},
        {{"kite64.exe", "--icon", "missing.ico", "--output", "a.exe"}, kExitRefused, "missing.ico: no such file"},
        {{"notepad.exe", "--output", "a.exe"}, kExitRefused, "notepad.exe: not a Kite executable"},
        {{"missing.exe", "--output", "a.exe"}, kExitRefused, "missing.exe: no such file"},
    };
    for (const Case& c : cases) {
        MemoryFiles files = kiteFiles();
        const auto result = run(files, c.args);
        std::string line = c.args.size() > 2 ? c.args[1] + " " + c.args[2] : c.args[0];
        EXPECT_EQ(result.code, c.code) << line;
        EXPECT_TRUE(files.written.empty()) << line;
        ASSERT_FALSE(result.err.empty()) << line;
        EXPECT_TRUE(result.err[0].starts_with("kite-brand: ")) << result.err[0];
        EXPECT_NE(result.err[0].find(c.says), std::string::npos) << line << ": " << result.err[0];
    }
}

}  // namespace
}  // namespace kite::brand
