// The main section of a jar's META-INF/MANIFEST.MF: "Name: value" lines up
// to the first empty line, a line that starts with one blank continuing the
// one before, lines ended by CR LF, LF or CR.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kite {

// The largest manifest read.
inline constexpr std::size_t kMaxManifestSize = 1u << 20;

struct ManifestAttribute {
    std::string name;
    std::string value;  // UTF-8, as the file holds it
};

class JarManifest {
public:
    // False for a header line without ": " or a continuation with nothing
    // to continue. As in the JDK, a last line without its line end is not
    // read.
    bool parse(std::string_view text);
    // The value of the attribute of that name (letter case ignored, as
    // attribute names are), or null.
    const std::string* value(std::string_view name) const;

private:
    std::vector<ManifestAttribute> attributes_;
};

}  // namespace kite
