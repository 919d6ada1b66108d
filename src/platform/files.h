// Files, folders and settings (INI) files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/wide_string.h"
#include "platform/os_style.h"
#include "platform/status.h"

namespace kite {

// Error code that createDirectory reports when the directory exists
// (ERROR_ALREADY_EXISTS on Windows; EEXIST is mapped to it on Linux).
inline constexpr std::int32_t kErrorAlreadyExists = 183;

// What a directory entry's metadata says about a file or folder.
struct FileStatus {
    std::uint64_t size = 0;
    // Last write time in 100-nanosecond units (FILETIME's unit on every
    // build), so that two stamps of one machine compare and subtract.
    std::uint64_t modified = 0;
    bool isFolder = false;
};

// Who may change a path, read from its own entry: a symbolic link (on
// Windows any reparse point) is reported as such and not followed.
struct PathAccess {
    bool isLink = false;
    bool isFolder = false;
    bool ownedByUser = false;     // its owner is the user this process runs as
    bool othersMayWrite = false;  // its group or any other user may write it
};

// A file mapped (or read) whole for reading; released when destroyed.
class MappedFile {
public:
    virtual ~MappedFile() = default;
    virtual const std::uint8_t* data() const = 0;
    virtual std::size_t size() const = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The path syntax of the machine's files.
    virtual OsStyle style() const = 0;
    // Directory search for the exact path (wildcards allowed in its last component).
    virtual bool fileExists(const WideString& path) = 0;
    // Names (not paths) of the entries matching pattern, in the platform's order.
    virtual bool findFiles(const WideString& pattern, WideStringList& names) = 0;
    // Fails with kErrorAlreadyExists when the path exists.
    virtual Status createDirectory(const WideString& path) = 0;
    // The same for a folder that only the current user may enter or change,
    // whatever the process's default permissions are.
    virtual Status createPrivateDirectory(const WideString& path) = 0;
    virtual bool removeDirectory(const WideString& path) = 0;
    virtual bool deleteFile(const WideString& path) = 0;
    // Reads up to 4 bytes of an existing file opened without sharing;
    // 0 on success, otherwise the error code.
    virtual std::int32_t readFileHead(const WideString& path, std::uint8_t (&head)[4]) = 0;
    // The whole file for reading, or null.
    virtual std::unique_ptr<MappedFile> mapFile(const WideString& path) = 0;
    // Size, write time and kind of an existing path.
    virtual Status fileStatus(const WideString& path, FileStatus& status) = 0;
    // Kind, owner and who may write, of an existing path's own entry.
    virtual Status pathAccess(const WideString& path, PathAccess& access) = 0;
    // Takes write permission on an existing file away from its group and
    // other users; the owner's permissions stay as they are.
    virtual Status revokeOthersWrite(const WideString& path) = 0;
    // Creates an empty file that must not exist yet: 0 when created,
    // kErrorAlreadyExists when it exists, otherwise the error code.
    virtual std::int32_t createNewFile(const WideString& path) = 0;
    // Renames a file, replacing an existing target in one step; fails when
    // the target is in use, on another volume, ...
    virtual Status renameFile(const WideString& from, const WideString& to) = 0;
    // Appends text, UTF-8 encoded, to a file, creating it when missing with
    // access for the current user only. A symbolic link (on Windows any
    // reparse point) at path is not followed: nothing is written then.
    virtual Status appendToFile(const WideString& path, const WideString& text) = 0;
    // The same for bytes, written as they are.
    virtual Status appendBytes(const WideString& path, std::string_view bytes) = 0;
    // Bytes the caller may still write on the volume holding path; false when unknown.
    virtual bool freeSpace(const WideString& path, std::uint64_t& bytes) = 0;
    // The short (8.3) form of an existing path, as the file system keeps it.
    // False when the path does not exist or the system keeps no short names
    // (Linux); a Windows volume without them answers with the long form.
    virtual bool shortPathName(const WideString& path, WideString& out) = 0;

    // --- settings files (INI) ------------------------------------------------------
    // The whole value of a key (empty when absent or when the file is missing).
    virtual WideString profileString(const WideString& file, const WideString& section,
                                     const WideString& key) = 0;
    virtual WideStringList profileSectionNames(const WideString& file) = 0;
    // Writes one key, creating the file when missing.
    virtual bool writeProfileString(const WideString& file, const WideString& section,
                                    const WideString& key, const WideString& value) = 0;
};

}  // namespace kite
