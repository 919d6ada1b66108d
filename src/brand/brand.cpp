#include "brand/brand.h"

#include <algorithm>

#include "brand/manifest.h"
#include "brand/pe_image.h"
#include "brand/resource_tree.h"
#include "brand/text.h"

namespace kite::brand {

namespace {

constexpr const char* kNotKite =
    "not a Kite executable: its version resource does not name kite, kite64, kitew or kitew64 "
    "as InternalName for its processor";

std::u16string versionText(const FourPartVersion& v) {
    return asciiToUtf16(std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
                        std::to_string(v[3]));
}

std::vector<Resource*> ofType(std::vector<Resource>& resources, std::uint32_t type) {
    std::vector<Resource*> found;
    for (Resource& resource : resources) {
        if (resource.type.is(type)) {
            found.push_back(&resource);
        }
    }
    return found;
}

Status editVersion(Resource& resource, const BrandOptions& options) {
    auto root = readVersionInfo(resource.data);
    if (!root.ok()) {
        return Error{root.error()};
    }
    VersionEdits edits;
    const std::pair<const char16_t*, const std::optional<std::u16string>*> strings[] = {
        {u"CompanyName", &options.company},       {u"FileDescription", &options.description},
        {u"LegalCopyright", &options.copyright},  {u"OriginalFilename", &options.originalFilename},
        {u"ProductName", &options.productName},
    };
    for (const auto& [key, value] : strings) {
        if (*value) {
            edits.strings.emplace_back(key, **value);
        }
    }
    if (options.version) {
        edits.version = options.version;
        edits.strings.emplace_back(u"FileVersion", versionText(*options.version));
        edits.strings.emplace_back(u"ProductVersion", versionText(*options.version));
    }
    auto status = applyVersionEdits(*root, edits);
    if (!status.ok()) {
        return status;
    }
    auto bytes = writeVersionInfo(*root);
    if (!bytes.ok()) {
        return Error{bytes.error()};
    }
    resource.data = std::move(*bytes);
    return Done{};
}

Status editManifest(std::vector<Resource>& resources, const std::string& level) {
    const auto manifests = ofType(resources, kTypeManifest);
    if (manifests.size() != 1) {
        return fail("the executable does not have exactly one manifest");
    }
    Resource& manifest = *manifests.front();
    auto edited = withExecutionLevel(std::string(manifest.data.begin(), manifest.data.end()), level);
    if (!edited.ok()) {
        return Error{edited.error()};
    }
    manifest.data.assign(edited->begin(), edited->end());
    return Done{};
}

void replaceIcons(std::vector<Resource>& resources, const std::vector<IconImage>& icons, std::uint32_t language) {
    std::erase_if(resources, [](const Resource& resource) {
        return resource.type.is(kTypeIcon) || resource.type.is(kTypeGroupIcon);
    });
    for (std::size_t i = 0; i < icons.size(); ++i) {
        resources.push_back(Resource{ResourceKey::number(kTypeIcon), ResourceKey::number(static_cast<std::uint32_t>(i + 1)),
                                     language, 0, icons[i].data});
    }
    resources.push_back(Resource{ResourceKey::number(kTypeGroupIcon), ResourceKey::number(1), language, 0,
                                 iconGroup(icons, 1)});
}

}  // namespace

bool isKiteExecutable(std::u16string_view internalName, std::uint16_t machine) {
    if (internalName == u"kite" || internalName == u"kitew") {
        return machine == kMachineI386;
    }
    if (internalName == u"kite64" || internalName == u"kitew64") {
        return machine == kMachineAmd64;
    }
    return false;
}

Result<Branded> brandExecutable(ByteView exe, const BrandOptions& options) {
    auto image = readPeImage(exe);
    if (!image.ok()) {
        return Error{image.error()};
    }
    if (image->directory(kDirectoryResources, exe).rva == 0) {
        return fail("not a Kite executable: it has no resources");
    }
    auto plan = planResourceRewrite(*image, exe);
    if (!plan.ok()) {
        return Error{plan.error()};
    }
    const std::uint32_t rva = image->sections[plan->section].virtualAddress;
    auto resources = readResourceTree(resourceSectionBytes(*image, exe, *plan), rva);
    if (!resources.ok()) {
        return Error{resources.error()};
    }
    const auto versions = ofType(*resources, kTypeVersion);
    if (versions.size() != 1) {
        return fail(kNotKite);
    }
    Resource& version = *versions.front();
    Branded branded;
    {
        auto root = readVersionInfo(version.data);
        const auto internalName = root.ok() ? versionString(*root, u"InternalName") : std::nullopt;
        if (!internalName || !isKiteExecutable(*internalName, image->machine)) {
            return fail(kNotKite);
        }
        branded.kiteName = utf8FromUtf16(*internalName);
    }
    const std::uint32_t language = version.language;
    auto status = editVersion(version, options);
    if (!status.ok()) {
        return Error{status.error()};
    }
    if (options.executionLevel) {
        status = editManifest(*resources, *options.executionLevel);
        if (!status.ok()) {
            return Error{status.error()};
        }
    }
    if (options.icons) {
        replaceIcons(*resources, *options.icons, language);
    }
    auto section = writeResourceTree(std::move(*resources), rva);
    if (!section.ok()) {
        return Error{section.error()};
    }
    auto rebuilt = withResourceSection(*image, exe, *plan, *section);
    if (!rebuilt.ok()) {
        return Error{rebuilt.error()};
    }
    branded.image = std::move(*rebuilt);
    branded.droppedSignature = plan->dropsCertificates;
    return branded;
}

}  // namespace kite::brand
