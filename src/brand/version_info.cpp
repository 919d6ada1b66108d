#include "brand/version_info.h"

namespace kite::brand {

namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
constexpr int kMaxDepth = 6;

Result<VersionNode> readNode(ByteView data, std::uint64_t start, std::uint64_t limit, std::uint64_t& end,
                             int depth) {
    if (depth > kMaxDepth) {
        return fail("the version resource is nested too deeply");
    }
    if (start + 6 > limit) {
        return fail("the version resource is cut off");
    }
    const std::uint16_t length = u16At(data, start);
    const std::uint16_t valueLength = u16At(data, start + 2);
    const std::uint16_t type = u16At(data, start + 4);
    if (length < 6 || start + length > limit) {
        return fail("a node of the version resource has a length outside its parent");
    }
    end = start + length;
    VersionNode node;
    node.text = type == 1;
    std::uint64_t position = start + 6;
    for (;;) {
        if (position + 2 > end) {
            return fail("a key of the version resource has no terminating zero");
        }
        const char16_t c = static_cast<char16_t>(u16At(data, position));
        position += 2;
        if (c == 0) {
            break;
        }
        node.key.push_back(c);
    }
    position = alignUp(position, 4);
    const std::uint64_t valueBytes = node.text ? std::uint64_t{valueLength} * 2 : valueLength;
    if (valueBytes != 0) {
        if (position + valueBytes > end) {
            return fail("a value of the version resource runs past its node");
        }
        node.value.assign(data.begin() + position, data.begin() + position + valueBytes);
        position = alignUp(position + valueBytes, 4);
    }
    while (position < end) {
        std::uint64_t childEnd = 0;
        auto child = readNode(data, position, end, childEnd, depth + 1);
        if (!child.ok()) {
            return child;
        }
        node.children.push_back(std::move(*child));
        position = alignUp(childEnd, 4);
    }
    return node;
}

Status writeNode(const VersionNode& node, Bytes& out) {
    padTo(out, 4);
    const std::size_t start = out.size();
    out.resize(start + 6, 0);
    for (char16_t c : node.key) {
        appendU16(out, c);
    }
    appendU16(out, 0);
    padTo(out, 4);
    appendBytes(out, node.value);
    for (const VersionNode& child : node.children) {
        auto status = writeNode(child, out);
        if (!status.ok()) {
            return status;
        }
    }
    const std::size_t length = out.size() - start;
    const std::size_t valueLength = node.text ? node.value.size() / 2 : node.value.size();
    if (length > 0xFFFF || valueLength > 0xFFFF || (node.text && node.value.size() % 2 != 0)) {
        return fail("the version information is too large (over 64 KiB)");
    }
    putU16(out, start, static_cast<std::uint16_t>(length));
    putU16(out, start + 2, static_cast<std::uint16_t>(valueLength));
    putU16(out, start + 4, node.text ? 1 : 0);
    return Done{};
}

std::u16string textOf(const Bytes& value) {
    std::u16string result;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
        if (c == 0) {
            break;
        }
        result.push_back(c);
    }
    return result;
}

Bytes textValue(std::u16string_view text) {
    Bytes value;
    for (char16_t c : text) {
        appendU16(value, c);
    }
    appendU16(value, 0);
    return value;
}

VersionNode* child(VersionNode& node, std::u16string_view key) {
    for (VersionNode& c : node.children) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

const VersionNode* child(const VersionNode& node, std::u16string_view key) {
    for (const VersionNode& c : node.children) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace

Result<VersionNode> readVersionInfo(ByteView data) {
    std::uint64_t end = 0;
    auto root = readNode(data, 0, data.size(), end, 0);
    if (!root.ok()) {
        return root;
    }
    if (root->key != u"VS_VERSION_INFO") {
        return fail("the version resource does not start with VS_VERSION_INFO");
    }
    return root;
}

Result<Bytes> writeVersionInfo(const VersionNode& root) {
    Bytes out;
    auto status = writeNode(root, out);
    if (!status.ok()) {
        return Error{status.error()};
    }
    return out;
}

std::optional<std::u16string> versionString(const VersionNode& root, std::u16string_view key) {
    const VersionNode* strings = child(root, u"StringFileInfo");
    if (strings == nullptr || strings->children.empty()) {
        return std::nullopt;
    }
    const VersionNode* value = child(strings->children.front(), key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return textOf(value->value);
}

Status applyVersionEdits(VersionNode& root, const VersionEdits& edits) {
    if (root.value.size() != kFixedSize || u32At(root.value, 0) != kFixedSignature) {
        return fail("the version resource has no VS_FIXEDFILEINFO");
    }
    VersionNode* strings = child(root, u"StringFileInfo");
    if (strings == nullptr || strings->children.empty()) {
        return fail("the version resource has no string table");
    }
    if (edits.version) {
        const FourPartVersion& v = *edits.version;
        const std::uint32_t high = (std::uint32_t{v[0]} << 16) | v[1];
        const std::uint32_t low = (std::uint32_t{v[2]} << 16) | v[3];
        putU32(root.value, 8, high);   // dwFileVersionMS
        putU32(root.value, 12, low);   // dwFileVersionLS
        putU32(root.value, 16, high);  // dwProductVersionMS
        putU32(root.value, 20, low);   // dwProductVersionLS
    }
    for (VersionNode& table : strings->children) {
        for (const auto& [key, text] : edits.strings) {
            VersionNode* node = child(table, key);
            if (node == nullptr) {
                table.children.push_back(VersionNode{key, true, {}, {}});
                node = &table.children.back();
            }
            node->text = true;
            node->value = textValue(text);
        }
    }
    return Done{};
}

}  // namespace kite::brand
