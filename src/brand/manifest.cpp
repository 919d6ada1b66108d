#include "brand/manifest.h"

namespace kite::brand {

namespace {

constexpr std::string_view kElement = "requestedExecutionLevel";
constexpr std::string_view kAttribute = "level";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the attribute's value starts and ends (without quotes).
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

Result<Span> locateLevel(std::string_view manifest) {
    std::optional<std::size_t> tagEnd;
    std::size_t tagStart = 0;
    int elements = 0;
    for (std::size_t at = manifest.find(kElement); at != std::string_view::npos;
         at = manifest.find(kElement, at + 1)) {
        // A start tag: '<' or a namespace prefix's ':' before the name, and
        // the name ends there.
        const char before = at > 0 ? manifest[at - 1] : '\0';
        const std::size_t after = at + kElement.size();
        const char next = after < manifest.size() ? manifest[after] : '\0';
        if ((before != '<' && before != ':') || !(isSpace(next) || next == '/' || next == '>')) {
            continue;
        }
        ++elements;
        tagStart = after;
        const std::size_t close = manifest.find('>', after);
        tagEnd = close == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(close);
    }
    if (elements != 1 || !tagEnd) {
        return fail("the manifest does not have exactly one requestedExecutionLevel element");
    }
    std::optional<Span> found;
    for (std::size_t at = tagStart; at + kAttribute.size() <= *tagEnd; ++at) {
        if (manifest.substr(at, kAttribute.size()) != kAttribute || !isSpace(manifest[at - 1])) {
            continue;
        }
        std::size_t p = at + kAttribute.size();
        while (p < *tagEnd && isSpace(manifest[p])) {
            ++p;
        }
        if (p >= *tagEnd || manifest[p] != '=') {
            continue;
        }
        ++p;
        while (p < *tagEnd && isSpace(manifest[p])) {
            ++p;
        }
        if (p >= *tagEnd || (manifest[p] != '"' && manifest[p] != '\'')) {
            continue;
        }
        const std::size_t close = manifest.find(manifest[p], p + 1);
        if (close == std::string_view::npos || close > *tagEnd || found) {
            return fail("the manifest's requestedExecutionLevel element has no single level attribute");
        }
        found = Span{p + 1, close};
        at = close;
    }
    if (!found) {
        return fail("the manifest's requestedExecutionLevel element has no level attribute");
    }
    return *found;
}

}  // namespace

bool isExecutionLevel(std::string_view level) {
    return level == "asInvoker" || level == "highestAvailable" || level == "requireAdministrator";
}

std::optional<std::string> executionLevel(std::string_view manifest) {
    auto span = locateLevel(manifest);
    if (!span.ok()) {
        return std::nullopt;
    }
    return std::string(manifest.substr(span->begin, span->end - span->begin));
}

Result<std::string> withExecutionLevel(std::string_view manifest, std::string_view level) {
    auto span = locateLevel(manifest);
    if (!span.ok()) {
        return Error{span.error()};
    }
    std::string result(manifest.substr(0, span->begin));
    result += level;
    result += manifest.substr(span->end);
    return result;
}

}  // namespace kite::brand
