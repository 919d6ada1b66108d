#include "discovery/runtime_candidates.h"

#include <string>
#include <string_view>

#include "foundation/path_helpers.h"
#include "foundation/utf.h"
#include "settings/file_locations.h"
#include "platform/common/os_conventions.h"
#include "platform/platform.h"

namespace kite {

namespace {

// The library of one layout under home, or empty.
WideString layoutLibrary(Platform& platform, const WideString& home, const RuntimeLayout& layout) {
    for (const char16_t* relative : layout.library) {
        if (relative == nullptr) break;
        const WideString path = home + relative;
        if (platform.fs.fileExists(path)) return path;
    }
    return {};
}

}  // namespace

WideString findJvmLibrary(Platform& platform, const WideString& home, JvmType type, bool& server) {
    const auto& layouts = conventions(platform.style()).layouts;
    if (type == JvmType::Server || type == JvmType::FavorServer) {
        for (const RuntimeLayout& layout : layouts) {
            if (!layout.server) continue;
            WideString path = layoutLibrary(platform, home, layout);
            if (!path.empty()) {
                server = true;
                return path;
            }
        }
        if (type == JvmType::Server) return {};
    }
    for (const RuntimeLayout& layout : layouts) {
        WideString path = layoutLibrary(platform, home, layout);
        if (!path.empty()) {
            server = layout.server;
            return path;
        }
    }
    return {};
}

bool hasJavaDll(Platform& platform, const WideString& home) {
    for (const char16_t* marker : conventions(platform.style()).runtimeMarkers) {
        if (marker != nullptr && platform.fs.fileExists(home + marker)) return true;
    }
    return false;
}

bool executableDirectory(Platform& platform, WideString& out) {
    WideString module;
    if (!modulePath(platform, module)) return false;
    const std::size_t slash = lastPathSeparator(platform.style(), module);
    out = slash == WideString::npos ? WideString() : module.substr(0, slash + 1);
    return true;
}

bool findPrivateRuntime(Platform& platform, WideString& home) {
    home.clear();
    WideString directory;
    if (!executableDirectory(platform, directory)) return false;
    if (hasJavaDll(platform, directory)) {
        home = directory;
    } else {
        const WideString jre = directory + u"jre" + pathSeparator(platform.style());
        if (hasJavaDll(platform, jre)) home = jre;
    }
    return true;
}

WideString jvmTypeName(JvmType type) {
    switch (type) {
        case JvmType::Server: return u"server";
        case JvmType::FavorServer: return u"favor_server";
        case JvmType::Default: break;
    }
    return u"default";
}

WideString versionBoundText(const JavaVersion& bound) {
    if (bound.isUnbounded()) return u"any";
    std::size_t last = 1;
    for (std::size_t i = 0; i < bound.parts.size(); ++i) {
        if (bound.parts[i] != 0 && bound.parts[i] != JavaVersion::kOpen) last = i + 1;
    }
    WideString text;
    for (std::size_t i = 0; i < last; ++i) {
        if (i > 0) text += u'.';
        text += fromAscii(std::to_string(bound.parts[i]));
    }
    return text;
}

WideString withTrailingSeparator(Platform& platform, const WideString& home) {
    if (!home.empty() && isPathSeparator(platform.style(), home.back())) return home;
    return home + pathSeparator(platform.style());
}

WideString userRuntimeHome(Platform& platform, const WideString& folder) {
    WideString full;
    if (!platform.env.absolutePath(folder, full)) full = folder;
    return withTrailingSeparator(platform, full);
}

WideString releaseVersion(Platform& platform, const WideString& home) {
    auto file = platform.fs.mapFile(home + u"release");
    if (!file) return {};
    const std::string_view text(reinterpret_cast<const char*>(file->data()), file->size());
    constexpr std::string_view key = "JAVA_VERSION=";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.starts_with(key)) {
            line.remove_prefix(key.size());
            while (!line.empty() && (line.back() == '\r' || line.back() == '"' || line.back() == ' ')) line.remove_suffix(1);
            while (!line.empty() && (line.front() == '"' || line.front() == ' ')) line.remove_prefix(1);
            return fromUtf8(line);
        }
        start = end + 1;
    }
    return {};
}

}  // namespace kite
