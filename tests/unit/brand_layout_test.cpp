// kite-brand's formats: the PE checksum, the resource tree, the version
// resource, icon files and groups, the manifest's execution level.
#include <gtest/gtest.h>

#include <algorithm>

#include "brand/checksum.h"
#include "brand/icon_file.h"
#include "brand/manifest.h"
#include "brand/resource_tree.h"
#include "brand/version_info.h"
#include "brand_test_support.h"

namespace kite::brand {
namespace {

using testing::bitmapImage;
using testing::fromHex;
using testing::icoFile;
using testing::pngImage;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(BrandChecksum, SumsWordsWithCarryFoldingSkipsItsFieldAndAddsTheLength) {
    // Words 0x0201 and 0x0403; the field (bytes 4..7) counts as zero whatever it holds.
    EXPECT_EQ(peChecksum(fromHex("01020304deadbeef"), 4), 0x0604u + 8);
    EXPECT_EQ(peChecksum(fromHex("0102030400000000"), 4), 0x0604u + 8);
    // 0xFFFF + 0x0002 carries: 0x10001 folds to 0x0002.
    EXPECT_EQ(peChecksum(fromHex("ffff0200ffffffff"), 4), 0x0002u + 8);
    // An odd last byte is a word with a zero high byte.
    EXPECT_EQ(peChecksum(fromHex("0100000000000005"), 2), 0x0001u + 0x0500u + 8);
    EXPECT_EQ(peChecksum(fromHex("01000000000000ff07"), 2), 0x0001u + 0xFF00u + 0x0007u + 9);
    // The checksum field in the middle of many carries: 0xFFFF * 4 folds to 0xFFFF.
    EXPECT_EQ(peChecksum(fromHex("ffffffff12345678ffffffff"), 4), 0xFFFFu + 12);
}

std::vector<Resource> sampleResources() {
    return {
        Resource{ResourceKey::number(kTypeManifest), ResourceKey::number(1), 0x409, 0, bytesOf("manifest")},
        Resource{ResourceKey::number(kTypeDialog), ResourceKey::number(201), 0x409, 1252, bytesOf("dialog")},
        Resource{ResourceKey::text(u"PNG"), ResourceKey::text(u"logo"), 0, 0, bytesOf("x")},
        Resource{ResourceKey::number(kTypeDialog), ResourceKey::number(201), 0x407, 0, bytesOf("dialog-de")},
        Resource{ResourceKey::number(kTypeDialog), ResourceKey::text(u"ABOUT"), 0x409, 0,
                 bytesOf("about")},
    };
}

TEST(BrandResourceTree, WrittenSectionFollowsTheDirectoryLayout) {
    const std::uint32_t rva = 0x5000;
    auto written = writeResourceTree(sampleResources(), rva);
    ASSERT_TRUE(written.ok()) << written.error();
    const ByteView s = *written;
    // Root: one named type (PNG) before the two numbered ones, 5 and 24.
    EXPECT_EQ(u16At(s, 12), 1);
    EXPECT_EQ(u16At(s, 14), 2);
    const std::uint32_t pngName = u32At(s, 16);
    ASSERT_TRUE(pngName & 0x80000000u);
    EXPECT_EQ(u16At(s, pngName & 0x7FFFFFFF), 3);
    EXPECT_EQ(u16At(s, (pngName & 0x7FFFFFFF) + 2), u'P');
    EXPECT_EQ(u32At(s, 24), kTypeDialog);
    EXPECT_EQ(u32At(s, 32), kTypeManifest);
    for (std::size_t entry = 0; entry < 3; ++entry) {
        EXPECT_TRUE(u32At(s, 16 + 8 * entry + 4) & 0x80000000u) << "a type entry points to a directory";
    }
    // Dialogs: the named one (ABOUT) before 201; 201 has German before English.
    const std::uint32_t dialogs = u32At(s, 28) & 0x7FFFFFFF;
    EXPECT_EQ(u16At(s, dialogs + 12), 1);
    EXPECT_EQ(u16At(s, dialogs + 14), 1);
    EXPECT_EQ(u32At(s, dialogs + 24), 201u);
    const std::uint32_t languages = u32At(s, dialogs + 28) & 0x7FFFFFFF;
    EXPECT_EQ(u16At(s, languages + 14), 2);
    EXPECT_EQ(u32At(s, languages + 16), 0x407u);
    EXPECT_EQ(u32At(s, languages + 24), 0x409u);
    const std::uint32_t english = u32At(s, languages + 28);
    ASSERT_FALSE(english & 0x80000000u) << "a language entry points to a data entry";
    const std::uint32_t dataRva = u32At(s, english);
    EXPECT_EQ(u32At(s, english + 4), 6u);
    EXPECT_EQ(u32At(s, english + 8), 1252u);
    EXPECT_EQ(dataRva % 8, 0u);
    ASSERT_TRUE(fits(s, dataRva - rva, 6));
    EXPECT_EQ(std::string(s.begin() + (dataRva - rva), s.begin() + (dataRva - rva) + 6), "dialog");
}

TEST(BrandResourceTree, ReadingWhatWasWrittenGivesEveryResourceBackInDirectoryOrder) {
    auto written = writeResourceTree(sampleResources(), 0x61000);
    ASSERT_TRUE(written.ok());
    auto read = readResourceTree(*written, 0x61000);
    ASSERT_TRUE(read.ok()) << read.error();
    std::vector<std::string> seen;
    for (const Resource& r : *read) {
        seen.push_back((r.type.named ? "PNG" : std::to_string(r.type.id)) + "/" +
                       (r.name.named ? std::string(r.name.name.begin(), r.name.name.end()) : std::to_string(r.name.id)) +
                       "/" + std::to_string(r.language) + "/" + std::to_string(r.codePage) + "=" +
                       std::string(r.data.begin(), r.data.end()));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"PNG/logo/0/0=x", "5/ABOUT/1033/0=about", "5/201/1031/0=dialog-de",
                                              "5/201/1033/1252=dialog", "24/1/1033/0=manifest"}));
    // Written again it is the same section.
    auto again = writeResourceTree(*read, 0x61000);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *written);
}

TEST(BrandResourceTree, HostileTreesAreRefusedWithoutReadingOutsideTheSection) {
    const std::uint32_t rva = 0x2000;
    const Bytes good = *writeResourceTree(sampleResources(), rva);
    const auto refused = [&](const char* what, Bytes section, std::uint32_t at = 0x2000) {
        auto read = readResourceTree(section, at);
        EXPECT_FALSE(read.ok()) << what;
        if (!read.ok()) {
            EXPECT_FALSE(read.error().empty());
        }
    };
    refused("empty section", {});
    refused("cut directory", Bytes(good.begin(), good.begin() + 20));
    Bytes loop = good;
    putU32(loop, 16 + 8 + 4, 0x80000000u);  // the dialog type's directory is the root again
    refused("loop", loop);
    Bytes shallow = good;
    putU32(shallow, 16 + 8 + 4, u32At(good, 16 + 8 + 4) & 0x7FFFFFFF);  // a type entry pointing at data
    refused("two levels", shallow);
    Bytes manyEntries = good;
    putU16(manyEntries, 14, 0xFFFF);
    refused("entry count beyond the section", manyEntries);
    Bytes duplicate = good;
    putU32(duplicate, 32, kTypeDialog);  // type 24 renamed 5: two dialog types
    refused("duplicate type", duplicate);
    refused("data entries below the section's address", good, rva + 0x1000);
    refused("data entries beyond the section", Bytes(good.begin(), good.end() - 3));
    Bytes badName = good;
    putU32(badName, 16, 0x80000000u | 0x7FFFFF00u);
    refused("name string outside", badName);
}

TEST(BrandResourceTree, WritingRefusesTwoResourcesWithOneIdentity) {
    auto resources = sampleResources();
    resources.push_back(resources.front());
    EXPECT_FALSE(writeResourceTree(resources, 0x1000).ok());
}

TEST(BrandVersionInfo, WindresVersionResourceIsReadAndWrittenByteForByte) {
    const Bytes windres = testing::windresVersionResource();
    auto root = readVersionInfo(windres);
    ASSERT_TRUE(root.ok()) << root.error();
    EXPECT_EQ(versionString(*root, u"InternalName"), u"kite64");
    EXPECT_EQ(versionString(*root, u"FileDescription"), u"Kite Java-Starter");
    ASSERT_EQ(root->children.size(), 2u);
    EXPECT_EQ(root->children[1].key, u"VarFileInfo");
    auto written = writeVersionInfo(*root);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(*written, windres);
}

TEST(BrandVersionInfo, EditsSetStringsAndBothFixedVersions) {
    auto root = readVersionInfo(testing::windresVersionResource());
    ASSERT_TRUE(root.ok());
    VersionEdits edits;
    edits.strings = {{u"CompanyName", u"ACME"}, {u"Comments", u"Gr\u00FC\u00DFe"}};
    edits.version = FourPartVersion{2, 3, 65535, 5};
    ASSERT_TRUE(applyVersionEdits(*root, edits).ok());
    auto written = writeVersionInfo(*root);
    ASSERT_TRUE(written.ok());
    // The String node as the format lays it out: 6 header bytes, "CompanyName" and
    // its zero (24 bytes), 2 bytes padding, "ACME" and its zero (5 WCHARs).
    const Bytes expected = [] {
        Bytes node = fromHex("2a0005000100");
        for (char c : std::string("CompanyName")) {
            node.push_back(static_cast<std::uint8_t>(c));
            node.push_back(0);
        }
        for (int b : {0, 0, 0, 0, 0x41, 0, 0x43, 0, 0x4D, 0, 0x45, 0, 0, 0}) {  // "ACME"
            node.push_back(static_cast<std::uint8_t>(b));
        }
        return node;
    }();
    const auto at = std::search(written->begin(), written->end(), expected.begin(), expected.end());
    EXPECT_NE(at, written->end()) << "CompanyName node laid out as the format says";
    EXPECT_EQ((at - written->begin()) % 4, 0);

    auto reread = readVersionInfo(*written);
    ASSERT_TRUE(reread.ok()) << reread.error();
    EXPECT_EQ(versionString(*reread, u"CompanyName"), u"ACME");
    EXPECT_EQ(versionString(*reread, u"Comments"), u"Gr\u00FC\u00DFe");  // added to the table
    EXPECT_EQ(versionString(*reread, u"ProductName"), u"Kite");          // untouched
    // VS_FIXEDFILEINFO: file version at 8 and 12, product version at 16 and 20.
    EXPECT_EQ(u32At(reread->value, 0), 0xFEEF04BDu);
    EXPECT_EQ(u32At(reread->value, 8), 0x00020003u);
    EXPECT_EQ(u32At(reread->value, 12), 0xFFFF0005u);
    EXPECT_EQ(u32At(reread->value, 16), 0x00020003u);
    EXPECT_EQ(u32At(reread->value, 20), 0xFFFF0005u);
    // The parents' lengths cover their grown children.
    EXPECT_EQ(u16At(*written, 0), written->size());
}

TEST(BrandVersionInfo, BrokenResourcesAreRefused) {
    const Bytes good = testing::windresVersionResource();
    EXPECT_FALSE(readVersionInfo(Bytes(good.begin(), good.begin() + 5)).ok());
    EXPECT_FALSE(readVersionInfo(Bytes(good.begin(), good.end() - 4)).ok()) << "root length past the data";
    Bytes noTerminator(40, 'A');
    putU16(noTerminator, 0, 40);
    EXPECT_FALSE(readVersionInfo(noTerminator).ok());
    Bytes longValue = good;
    putU16(longValue, 2, 0x0400);  // the fixed information would run past the root
    EXPECT_FALSE(readVersionInfo(longValue).ok());
    Bytes wrongKey = good;
    wrongKey[6] = 'X';
    EXPECT_FALSE(readVersionInfo(wrongKey).ok());

    VersionNode noFixed{u"VS_VERSION_INFO", false, {}, {}};
    EXPECT_FALSE(applyVersionEdits(noFixed, {}).ok());
    auto noStrings = readVersionInfo(good);
    ASSERT_TRUE(noStrings.ok());
    noStrings->children.erase(noStrings->children.begin());
    EXPECT_FALSE(applyVersionEdits(*noStrings, {}).ok());
    auto huge = readVersionInfo(good);
    ASSERT_TRUE(huge.ok());
    VersionEdits edits;
    edits.strings = {{u"Comments", std::u16string(40000, u'x')}};
    ASSERT_TRUE(applyVersionEdits(*huge, edits).ok());
    EXPECT_FALSE(writeVersionInfo(*huge).ok()) << "over 64 KiB";
}

TEST(BrandIcon, BitmapAndPngImagesBecomeOneGroup) {
    const Bytes small = bitmapImage(16, 32);
    const Bytes large = pngImage(256, 256);
    // Planes and bit count left 0, as some icon writers do.
    auto icons = readIconFile(icoFile({{16, 16, 0, 0, small}, {0, 0, 1, 32, large}}));
    ASSERT_TRUE(icons.ok()) << icons.error();
    ASSERT_EQ(icons->size(), 2u);
    EXPECT_EQ((*icons)[0].data, small);
    EXPECT_FALSE((*icons)[0].png);
    EXPECT_EQ((*icons)[1].data, large);
    EXPECT_TRUE((*icons)[1].png);
    const Bytes group = iconGroup(*icons, 7);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(u16At(group, 0), 0);
    EXPECT_EQ(u16At(group, 2), 1);
    EXPECT_EQ(u16At(group, 4), 2);
    // First entry: 16x16, planes 1 and 32 bits taken from the bitmap, size, RT_ICON 7.
    EXPECT_EQ(group[6], 16);
    EXPECT_EQ(group[7], 16);
    EXPECT_EQ(u16At(group, 10), 1);
    EXPECT_EQ(u16At(group, 12), 32);
    EXPECT_EQ(u32At(group, 14), small.size());
    EXPECT_EQ(u16At(group, 18), 7);
    // Second: 256 written as 0, RT_ICON 8.
    EXPECT_EQ(group[20], 0);
    EXPECT_EQ(group[21], 0);
    EXPECT_EQ(u32At(group, 28), large.size());
    EXPECT_EQ(u16At(group, 32), 8);
    // A PNG with bit count 0 takes it from IHDR (RGBA, 8 bits per channel).
    auto png = readIconFile(icoFile({{48, 48, 0, 0, pngImage(48, 48)}}));
    ASSERT_TRUE(png.ok());
    EXPECT_EQ((*png)[0].bitCount, 32);
}

TEST(BrandIcon, BrokenIconFilesAreRefused) {
    const auto refused = [](const char* what, const Bytes& file, const char* says) {
        auto icons = readIconFile(file);
        ASSERT_FALSE(icons.ok()) << what;
        EXPECT_NE(icons.error().find(says), std::string::npos) << what << ": " << icons.error();
    };
    Bytes cursor = icoFile({{16, 16, 1, 32, bitmapImage(16, 32)}});
    putU16(cursor, 2, 2);
    refused("cursor", cursor, "cursor");
    refused("no images", icoFile({}), "holds 0 images");
    refused("not an icon", bytesOf("GIF89a..."), "not an icon file");
    const Bytes icon = icoFile({{16, 16, 1, 32, bitmapImage(16, 32)}});
    refused("directory cut", Bytes(icon.begin(), icon.begin() + 12), "cut off");
    Bytes outside = icoFile({{16, 16, 1, 32, bitmapImage(16, 32)}});
    putU32(outside, 6 + 12, 0xFFFFFFF0u);
    refused("image outside", outside, "outside the file");
    refused("png size", icoFile({{32, 32, 1, 32, pngImage(48, 48)}}), "48x48");
    const Bytes png = pngImage(32, 32);
    refused("png without IHDR", icoFile({{32, 32, 1, 32, Bytes(png.begin(), png.begin() + 20)}}), "IHDR");
    Bytes flat = bitmapImage(16, 32);
    putU32(flat, 8, 16);  // not twice the height: no room for the mask
    refused("bitmap height", icoFile({{16, 16, 1, 32, flat}}), "16x16");
    const Bytes full = bitmapImage(32, 8);
    refused("bitmap cut", icoFile({{32, 32, 1, 8, Bytes(full.begin(), full.end() - 1)}}), "cut off");
    Bytes compressed = bitmapImage(16, 8);
    putU32(compressed, 16, 1);
    refused("compressed bitmap", icoFile({{16, 16, 1, 8, compressed}}), "cannot hold");
    refused("neither", icoFile({{16, 16, 1, 32, Bytes(64, 0x11)}}), "neither a PNG nor a bitmap");
}

TEST(BrandManifest, LevelIsReplacedAndEverythingElseKept) {
    const std::string manifest =
        "<?xml version=\"1.0\"?>\r\n<assembly>\n  <!-- loglevel=\"x\" -->\n"
        "  <requestedExecutionLevel uiAccess=\"false\"\n     level = 'asInvoker' />\n</assembly>";
    EXPECT_EQ(executionLevel(manifest), "asInvoker");
    auto changed = withExecutionLevel(manifest, "requireAdministrator");
    ASSERT_TRUE(changed.ok()) << changed.error();
    std::string expected = manifest;
    expected.replace(expected.find("asInvoker"), 9, "requireAdministrator");
    EXPECT_EQ(*changed, expected);
    EXPECT_EQ(executionLevel(*changed), "requireAdministrator");
    auto prefixed = withExecutionLevel("<ms:requestedExecutionLevel level=\"asInvoker\"/>", "highestAvailable");
    ASSERT_TRUE(prefixed.ok());
    EXPECT_EQ(*prefixed, "<ms:requestedExecutionLevel level=\"highestAvailable\"/>");

    EXPECT_FALSE(withExecutionLevel("<assembly/>", "asInvoker").ok());
    EXPECT_FALSE(withExecutionLevel("<requestedExecutionLevel level=\"a\"/><requestedExecutionLevel level=\"b\"/>",
                                    "asInvoker")
                     .ok());
    EXPECT_FALSE(withExecutionLevel("<requestedExecutionLevel uiAccess=\"false\"/>", "asInvoker").ok());
    EXPECT_FALSE(withExecutionLevel("<requestedExecutionLevel loglevel=\"x\"/>", "asInvoker").ok());
    EXPECT_FALSE(withExecutionLevel("<requestedExecutionLevel level=\"x", "asInvoker").ok());
    EXPECT_TRUE(isExecutionLevel("highestAvailable"));
    EXPECT_FALSE(isExecutionLevel("requireadministrator"));
}

}  // namespace
}  // namespace kite::brand
