// kite-brand's readers on arbitrary bytes: an executable to brand, a resource
// section, a version resource, an icon file, a manifest. The first byte
// chooses which. No read outside the bytes, and whatever is accepted is
// written back consistently.
#include <cstddef>
#include <cstdint>
#include <string>

#include "brand/brand.h"
#include "brand/checksum.h"
#include "brand/icon_file.h"
#include "brand/manifest.h"
#include "brand/pe_image.h"
#include "brand/resource_tree.h"
#include "brand/version_info.h"

namespace {

using namespace kite::brand;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// A branded image parses again, its resources can be read back, and its checksum is right.
void brandImage(ByteView data) {
    BrandOptions options;
    options.company = u"Fuzz";
    options.version = FourPartVersion{1, 2, 3, 4};
    options.executionLevel = "highestAvailable";
    auto branded = brandExecutable(data, options);
    if (!branded.ok()) {
        check(!branded.error().empty());
        return;
    }
    const ByteView out = branded->image;
    auto image = readPeImage(out);
    check(image.ok());
    auto plan = planResourceRewrite(*image, out);
    check(plan.ok());
    check(!plan->dropsCertificates);
    auto tree = readResourceTree(resourceSectionBytes(*image, out, *plan), image->sections[plan->section].virtualAddress);
    check(tree.ok());
    check(u32At(out, image->checksumOffset) == peChecksum(out, image->checksumOffset));
}

void resourceTree(ByteView data) {
    auto tree = readResourceTree(data, 0x1000);
    if (!tree.ok()) return;
    auto written = writeResourceTree(*tree, 0x1000);
    if (!written.ok()) return;  // e.g. a name too long to write
    auto again = readResourceTree(*written, 0x1000);
    check(again.ok() && again->size() == tree->size());
}

void versionInfo(ByteView data) {
    auto root = readVersionInfo(data);
    if (!root.ok()) return;
    auto written = writeVersionInfo(*root);
    if (!written.ok()) return;
    auto again = readVersionInfo(*written);
    check(again.ok());
    auto rewritten = writeVersionInfo(*again);
    check(rewritten.ok() && *rewritten == *written);
}

void iconFile(ByteView data) {
    auto icons = readIconFile(data);
    if (!icons.ok()) return;
    check(!icons->empty());
    const Bytes group = iconGroup(*icons, 1);
    check(group.size() == 6 + 14 * icons->size());
    for (const IconImage& icon : *icons) {
        check(!icon.data.empty() && icon.planes != 0);
    }
}

void manifest(ByteView data) {
    const std::string text(data.begin(), data.end());
    auto changed = withExecutionLevel(text, "requireAdministrator");
    if (!changed.ok()) return;
    check(executionLevel(*changed) == std::string("requireAdministrator"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const ByteView rest(data + 1, size - 1);
    switch (data[0] % 5) {
        case 0: brandImage(rest); break;
        case 1: resourceTree(rest); break;
        case 2: versionInfo(rest); break;
        case 3: iconFile(rest); break;
        default: manifest(rest); break;
    }
    return 0;
}
