// The files kite-brand reads and writes, behind an interface so that the
// tool's logic runs against memory in the unit tests. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "brand/bytes.h"
#include "brand/result.h"

namespace kite::brand {

class FileAccess {
public:
    virtual ~FileAccess() = default;

    // The whole file; fails for a missing, unreadable or non-regular file and
    // for one larger than maxBytes.
    virtual Result<Bytes> readFile(const std::string& path, std::size_t maxBytes) = 0;
    // Whether the two names lead to one file: the same canonical path, or
    // (both existing) the same file by another name or link.
    virtual bool sameFile(const std::string& first, const std::string& second) = 0;
    // Writes content to a new file beside path and renames it to path, so
    // that path holds its old content or all of the new, never a part; the
    // new file gets the permissions of permissionsOf. Leaves no temporary
    // file behind on failure.
    virtual Status replaceFile(const std::string& path, ByteView content, const std::string& permissionsOf) = 0;
};

// The real file system, through std::filesystem and file streams.
class StandardFileAccess final : public FileAccess {
public:
    Result<Bytes> readFile(const std::string& path, std::size_t maxBytes) override;
    bool sameFile(const std::string& first, const std::string& second) override;
    Status replaceFile(const std::string& path, ByteView content, const std::string& permissionsOf) override;
};

}  // namespace kite::brand
