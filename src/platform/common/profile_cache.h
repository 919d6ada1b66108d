// The settings files of one start, each read and parsed once.
//
// A start asks for some thirty values from the same file or two. Reading the
// file again for every value, as the profile functions do, costs an open, a
// read and a parse each time (and, on Windows, a virus scanner's look at each
// open). The platforms keep the parsed documents here instead; a write
// through the platform forgets the file, so the next read sees the new text.
#pragma once

#include <utility>
#include <vector>

#include "foundation/wide_string.h"
#include "platform/common/ini_text.h"

namespace kite::ini {

class ProfileCache {
public:
    // The document of path, loaded through load(path) on the first request.
    // Paths are compared as written: another spelling of the same file only
    // costs one more read.
    template <typename Load>
    const Document& document(const WideString& path, Load&& load) {
        for (const auto& [cached, document] : entries_) {
            if (cached == path) return document;
        }
        entries_.emplace_back(path, load(path));
        return entries_.back().second;
    }

    void forget(const WideString& path) {
        std::erase_if(entries_, [&](const auto& entry) { return entry.first == path; });
    }

private:
    std::vector<std::pair<WideString, Document>> entries_;
};

}  // namespace kite::ini
