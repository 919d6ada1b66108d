// Branding a Kite executable: its version strings and numbers, icon and
// manifest level replaced, every other resource and every other byte of the
// image kept, the resource section rebuilt and the checksum recomputed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brand/bytes.h"
#include "brand/icon_file.h"
#include "brand/result.h"
#include "brand/version_info.h"

namespace kite::brand {

struct BrandOptions {
    std::optional<std::u16string> productName;       // ProductName
    std::optional<std::u16string> company;           // CompanyName
    std::optional<std::u16string> description;       // FileDescription
    std::optional<std::u16string> copyright;         // LegalCopyright
    std::optional<std::u16string> originalFilename;  // OriginalFilename
    std::optional<FourPartVersion> version;          // fixed file and product version, FileVersion, ProductVersion
    std::optional<std::string> executionLevel;       // the manifest's requestedExecutionLevel level
    std::optional<std::vector<IconImage>> icons;     // replaces every icon of the executable
};

struct Branded {
    Bytes image;
    std::string kiteName;        // kite, kite64, kitew or kitew64: which executable it was made from
    bool droppedSignature = false;
};

// The executables this accepts: a version resource whose InternalName is one
// of these, on the processor of that build.
bool isKiteExecutable(std::u16string_view internalName, std::uint16_t machine);

Result<Branded> brandExecutable(ByteView exe, const BrandOptions& options);

}  // namespace kite::brand
