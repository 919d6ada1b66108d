// The version resource (RT_VERSION): a tree of nodes, each
//   WORD wLength (the node with its children, without its trailing padding),
//   WORD wValueLength (in WCHARs for text values, in bytes for binary ones),
//   WORD wType (1 text, 0 binary), the key as a zero-terminated UTF-16 string,
//   padding to 4 bytes, the value, padding to 4 bytes, the children,
//   each starting at a 4-byte boundary.
// The root is VS_VERSION_INFO with the 52-byte VS_FIXEDFILEINFO as value;
// its children are StringFileInfo (string tables named by language and code
// page, e.g. "040704b0", holding the strings) and VarFileInfo (Translation).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brand/bytes.h"
#include "brand/result.h"

namespace kite::brand {

struct VersionNode {
    std::u16string key;
    bool text = false;
    Bytes value;
    std::vector<VersionNode> children;
};

using FourPartVersion = std::array<std::uint16_t, 4>;

Result<VersionNode> readVersionInfo(ByteView data);
// Fails when a node outgrows the 16-bit length fields.
Result<Bytes> writeVersionInfo(const VersionNode& root);

// A string of the first string table, without its terminating zero.
std::optional<std::u16string> versionString(const VersionNode& root, std::u16string_view key);

struct VersionEdits {
    // Set in every string table (added where a table lacks the key).
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    // dwFileVersion and dwProductVersion of the fixed information.
    std::optional<FourPartVersion> version;
};

// Refuses a resource without VS_FIXEDFILEINFO or without a string table.
Status applyVersionEdits(VersionNode& root, const VersionEdits& edits);

}  // namespace kite::brand
