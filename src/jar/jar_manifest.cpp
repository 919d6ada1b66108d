#include "jar/jar_manifest.h"

namespace kite {

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The next line ending, with its line end; false when the rest has none.
bool nextLine(std::string_view text, std::size_t& at, std::string_view& line) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) return false;
    line = text.substr(at, end - at);
    at = end + 1;
    if (text[end] == '\r' && at < text.size() && text[at] == '\n') ++at;
    return true;
}

}  // namespace

bool JarManifest::parse(std::string_view text) {
    attributes_.clear();
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(text, at, line)) {
        if (line.empty()) break;  // the end of the main section
        if (line.front() == ' ') {
            if (attributes_.empty()) return false;
            attributes_.back().value.append(line.substr(1));
            continue;
        }
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos || colon == 0) return false;
        attributes_.push_back({std::string(line.substr(0, colon)), std::string(line.substr(colon + 2))});
    }
    return true;
}

const std::string* JarManifest::value(std::string_view name) const {
    // A later line of the same name wins, as in java.util.jar.Manifest.
    for (auto it = attributes_.rbegin(); it != attributes_.rend(); ++it) {
        if (sameNameIgnoringCase(it->name, name)) return &it->value;
    }
    return nullptr;
}

}  // namespace kite
