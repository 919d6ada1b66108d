// The main jar's manifest as Kite reads it before the VM exists: DEFLATE
// data, the ZIP records around it, and the manifest's main section, with
// damaged and hostile archives. The deflated data was made once with
// Python's zlib (raw DEFLATE, level 9).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jar/inflate.h"
#include "jar/jar_manifest.h"
#include "jar/zip_archive.h"

namespace kite {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n" in one block of the fixed code.
const std::string kFixedText = "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n";
const Bytes kFixedData = {0xf3, 0x4d, 0xcc, 0xcb, 0x4c, 0x4b, 0x2d, 0x2e, 0xd1, 0x0d, 0x4b, 0x2d, 0x2a, 0xce, 0xcc, 0xcf,
                          0xb3, 0x52, 0x30, 0xd4, 0x33, 0xe0, 0xe5, 0xf2, 0x4d, 0xcc, 0xcc, 0xd3, 0x75, 0xce, 0x49, 0x2c,
                          0x2e, 0xb6, 0x52, 0x48, 0x2c, 0x28, 0xd0, 0x03, 0xf1, 0x79, 0xb9, 0x78, 0xb9, 0x00};

// 100 letters a-f from a linear congruential sequence, in one block with its own (dynamic) code.
Bytes dynamicText() {
    Bytes text;
    std::uint32_t x = 1;
    for (int i = 0; i < 100; ++i) {
        x = (x * 1103515245u + 12345u) & 0x7fffffffu;
        text.push_back(static_cast<std::uint8_t>('a' + (x >> 16) % 6));
    }
    return text;
}
const Bytes kDynamicData = {0x15, 0x8b, 0xc1, 0x11, 0x00, 0x40, 0x0c, 0x01, 0x6b, 0x15, 0x4b, 0xff, 0x25, 0x9c,
                            0xf3, 0x08, 0xd9, 0xc1, 0xe1, 0xae, 0x42, 0xda, 0x55, 0x0b, 0xc8, 0x99, 0x89, 0xc6,
                            0xee, 0x72, 0x73, 0x63, 0x86, 0x33, 0xb5, 0x18, 0x52, 0x56, 0xbf, 0x49, 0x61, 0xa3,
                            0x24, 0x1e, 0xca, 0xfe, 0xea, 0xbe, 0x2f, 0xb8, 0xe8, 0x36, 0xf1, 0x3d};

TEST(Inflate, DecodesEachBlockKind) {
    Bytes out;
    EXPECT_EQ(inflateRaw(kFixedData, 1000, out), InflateResult::Done);
    EXPECT_EQ(out, bytesOf(kFixedText));
    EXPECT_EQ(inflateRaw(kDynamicData, 1000, out), InflateResult::Done);
    EXPECT_EQ(out, dynamicText());
    // A stored block (final, type 0): length 3, its complement, the bytes.
    const Bytes stored = {0x01, 0x03, 0x00, 0xfc, 0xff, 'a', 'b', 'c'};
    EXPECT_EQ(inflateRaw(stored, 3, out), InflateResult::Done);
    EXPECT_EQ(out, bytesOf("abc"));
}

TEST(Inflate, RefusesDamagedAndOversizeData) {
    Bytes out;
    for (std::size_t cut : {std::size_t{1}, kDynamicData.size() / 2, kDynamicData.size() - 1}) {
        const Bytes truncated(kDynamicData.begin(), kDynamicData.end() - static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(inflateRaw(truncated, 1000, out), InflateResult::Truncated) << cut;
    }
    EXPECT_EQ(inflateRaw(Bytes{}, 10, out), InflateResult::Truncated);
    EXPECT_EQ(inflateRaw(Bytes{0x07}, 10, out), InflateResult::Corrupt);  // block type 3
    EXPECT_EQ(inflateRaw(Bytes{0x01, 0x03, 0x00, 0xfc, 0xfe, 'a', 'b', 'c'}, 10, out), InflateResult::Corrupt);
    // Fixed code, a match of length 3 at distance 1 before any output: 0000001 then distance code 00000.
    EXPECT_EQ(inflateRaw(Bytes{0x03, 0x02, 0x00}, 10, out), InflateResult::Corrupt);
    // A dynamic block whose code-length code promises more codes than fit (19 codes of length 1).
    EXPECT_EQ(inflateRaw(Bytes{0x05, 0xe0, 0xff, 0x92, 0x24, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24}, 10, out),
              InflateResult::Corrupt);
    // Never more than asked for, whatever the data expands to.
    EXPECT_EQ(inflateRaw(kFixedData, kFixedText.size() - 1, out), InflateResult::TooLarge);
    EXPECT_LT(out.size(), kFixedText.size());
    EXPECT_EQ(inflateRaw(Bytes{0x01, 0x03, 0x00, 0xfc, 0xff, 'a', 'b', 'c'}, 2, out), InflateResult::TooLarge);
}

void put16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

struct TestEntry {
    std::string name;
    std::uint16_t method;  // 0 stored, 8 deflated
    Bytes data;            // as stored in the archive
    Bytes content;         // what it gives
};

// A ZIP archive as a jar tool writes it: local headers with their data, the
// central directory, the end record. Offsets in the layout fields let a test
// damage one record.
struct Layout {
    std::size_t centralOffset = 0;  // of the central directory
    std::size_t endRecord = 0;
};

Bytes makeArchive(const std::vector<TestEntry>& entries, Layout* layout = nullptr) {
    Bytes archive, central;
    for (const TestEntry& entry : entries) {
        const std::uint32_t localOffset = static_cast<std::uint32_t>(archive.size());
        const std::uint32_t checksum = zipChecksum(entry.content);
        for (Bytes* record : {&archive, &central}) {
            const bool isCentral = record == &central;
            put32(*record, isCentral ? 0x02014b50 : 0x04034b50);
            if (isCentral) put16(*record, 20);
            put16(*record, 20);
            put16(*record, 0);  // flags
            put16(*record, entry.method);
            put32(*record, 0);  // time and date
            put32(*record, checksum);
            put32(*record, static_cast<std::uint32_t>(entry.data.size()));
            put32(*record, static_cast<std::uint32_t>(entry.content.size()));
            put16(*record, static_cast<std::uint32_t>(entry.name.size()));
            put16(*record, 0);  // extra
            if (isCentral) {
                put16(*record, 0);  // comment
                put32(*record, 0);  // disk, internal attributes
                put32(*record, 0);  // external attributes
                put32(*record, localOffset);
            }
            record->insert(record->end(), entry.name.begin(), entry.name.end());
        }
        archive.insert(archive.end(), entry.data.begin(), entry.data.end());
    }
    const std::size_t centralOffset = archive.size();
    archive.insert(archive.end(), central.begin(), central.end());
    const std::size_t endRecord = archive.size();
    put32(archive, 0x06054b50);
    put32(archive, 0);
    put16(archive, static_cast<std::uint32_t>(entries.size()));
    put16(archive, static_cast<std::uint32_t>(entries.size()));
    put32(archive, static_cast<std::uint32_t>(central.size()));
    put32(archive, static_cast<std::uint32_t>(centralOffset));
    put16(archive, 0);
    if (layout != nullptr) *layout = {centralOffset, endRecord};
    return archive;
}

std::vector<TestEntry> jarEntries() {
    return {{"META-INF/", 0, {}, {}},
            {"META-INF/MANIFEST.MF", 8, kFixedData, bytesOf(kFixedText)},
            {"splash.png", 0, bytesOf("PNGDATA"), bytesOf("PNGDATA")},
            {"big.txt", 8, kDynamicData, dynamicText()}};
}

void patch32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(ZipArchive, FindsStoredAndDeflatedEntries) {
    const Bytes archive = makeArchive(jarEntries());
    Bytes content;
    EXPECT_EQ(readZipEntry(archive, "META-INF/MANIFEST.MF", false, 1000, content).status, ZipStatus::Found);
    EXPECT_EQ(content, bytesOf(kFixedText));
    EXPECT_EQ(readZipEntry(archive, "meta-inf/manifest.mf", true, 1000, content).status, ZipStatus::Found);
    EXPECT_EQ(readZipEntry(archive, "meta-inf/manifest.mf", false, 1000, content).status, ZipStatus::NoEntry);
    EXPECT_EQ(readZipEntry(archive, "splash.png", false, 1000, content).status, ZipStatus::Found);
    EXPECT_EQ(content, bytesOf("PNGDATA"));
    EXPECT_EQ(readZipEntry(archive, "big.txt", false, 1000, content).status, ZipStatus::Found);
    EXPECT_EQ(content, dynamicText());
    // An archive appended to other data (an executable) and one with a comment.
    Bytes appended(300, 0x4d);
    appended.insert(appended.end(), archive.begin(), archive.end());
    EXPECT_EQ(readZipEntry(appended, "splash.png", false, 1000, content).status, ZipStatus::Found);
    Bytes commented = archive;
    commented[commented.size() - 2] = 5;
    commented.insert(commented.end(), {'P', 'K', 5, 6, 0});
    EXPECT_EQ(readZipEntry(commented, "splash.png", false, 1000, content).status, ZipStatus::Found);
}

TEST(ZipArchive, RefusesDamagedAndHostileArchives) {
    Layout layout;
    const Bytes archive = makeArchive(jarEntries(), &layout);
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t maxSize = 1000;
    };
    std::vector<Case> cases;
    cases.push_back({"truncated", Bytes(archive.begin(), archive.end() - 5)});
    cases.push_back({"not a zip", bytesOf("just some text that is long enough for an end record")});
    Bytes bad = archive;
    patch32(bad, layout.endRecord + 16, static_cast<std::uint32_t>(archive.size()));  // central directory offset
    cases.push_back({"central directory beyond the file", bad});
    bad = archive;
    patch32(bad, layout.endRecord + 12, 0x7FFFFFFF);  // central directory size
    cases.push_back({"central directory larger than the file", bad});
    bad = archive;
    bad[layout.endRecord + 10] = 0xFE;  // more entries than fit
    cases.push_back({"entry count", bad});
    bad = archive;
    // The manifest's local header offset (the second central entry, after "META-INF/").
    const std::size_t manifestCentral = layout.centralOffset + 46 + 9;
    patch32(bad, manifestCentral + 42, static_cast<std::uint32_t>(layout.centralOffset + 10));
    cases.push_back({"local header offset", bad});
    bad = archive;
    patch32(bad, manifestCentral + 20, 0xFFFFFF00);  // compressed size beyond the data
    cases.push_back({"compressed size", bad});
    bad = archive;
    patch32(bad, manifestCentral + 16, 0x12345678);  // checksum
    cases.push_back({"checksum", bad});
    bad = archive;
    bad[manifestCentral + 10] = 12;  // bzip2
    cases.push_back({"method", bad});
    cases.push_back({"larger than allowed", archive, kFixedText.size() - 1});
    bad = archive;
    const std::size_t manifestData = 30 + 9 + 30 + 20;
    bad[manifestData] = 0x07;  // block type 3 where the manifest's data begins
    cases.push_back({"damaged deflate data", bad});
    for (const Case& c : cases) {
        Bytes content;
        const ZipLookup lookup = readZipEntry(c.bytes, "META-INF/MANIFEST.MF", true, c.maxSize, content);
        EXPECT_EQ(lookup.status, ZipStatus::Broken) << c.what;
        EXPECT_NE(std::string(lookup.reason), "") << c.what;
    }
}

TEST(JarManifest, ReadsTheMainSectionAsTheJdkDoes) {
    JarManifest manifest;
    // CR LF, LF and CR endings; a value continued over 72 bytes; names in any case.
    ASSERT_TRUE(manifest.parse("Manifest-Version: 1.0\r\nMain-Class: com.example.a.very.long.package.name.that.goe\r\n"
                               " s.on.App\nAdd-Opens: java.base/java.lang\r"
                               "SplashScreen-Image: images/splash.png\r\n"
                               "\r\nName: section/\r\nSealed: true\r\n"));
    ASSERT_NE(manifest.value("main-class"), nullptr);
    EXPECT_EQ(*manifest.value("MAIN-CLASS"), "com.example.a.very.long.package.name.that.goes.on.App");
    EXPECT_EQ(*manifest.value("Add-Opens"), "java.base/java.lang");
    EXPECT_EQ(*manifest.value("SplashScreen-Image"), "images/splash.png");
    EXPECT_EQ(manifest.value("Sealed"), nullptr);  // a named section's attribute
    // The last line counts only with its line end.
    ASSERT_TRUE(manifest.parse("Manifest-Version: 1.0\nMain-Class: App"));
    EXPECT_EQ(manifest.value("Main-Class"), nullptr);
    EXPECT_FALSE(manifest.parse("Main-Class App\n"));
    EXPECT_FALSE(manifest.parse(" continued\n"));
    EXPECT_FALSE(manifest.parse(": no name\n"));
}

}  // namespace
}  // namespace kite
