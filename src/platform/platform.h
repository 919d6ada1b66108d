// The one interface through which the launcher's logic talks to the machine.
// Implementations: Win32Platform (platform/win32), PosixPlatform
// (platform/posix) and the in-memory FakePlatform of the unit tests.
// Nothing outside platform/ includes a system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/wide_string.h"

namespace kite {

class InstanceChannel;

// Which path syntax and runtime layout rules the machine follows.
enum class OsStyle {
    Windows,  // backslash paths, drive letters, jvm.dll layouts, registry
    Posix,    // '/' and '\' both separate, lib/server/libjvm.so layouts, /usr/lib/jvm
};

// Error code that createDirectory reports when the directory exists
// (ERROR_ALREADY_EXISTS on Windows; EEXIST is mapped to it on Linux).
inline constexpr std::int32_t kErrorAlreadyExists = 183;

struct LocalTime {
    int year = 0;
    int month = 0;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday
    int day = 0;        // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Memory figures in bytes, 64-bit on every build.
struct MemoryFigures {
    std::uint64_t totalPhysical = 0;
    std::uint64_t availableVirtual = 0;
};

// What a directory entry's metadata says about a file or folder.
struct FileStatus {
    std::uint64_t size = 0;
    // Last write time in 100-nanosecond units (FILETIME's unit on every
    // build), so that two stamps of one machine compare and subtract.
    std::uint64_t modified = 0;
    bool isFolder = false;
};

// A file mapped (or read) whole for reading; released when destroyed.
class MappedFile {
public:
    virtual ~MappedFile() = default;
    virtual const std::uint8_t* data() const = 0;
    virtual std::size_t size() const = 0;
};

// An open registry key; closed when destroyed.
class RegistryHandle {
public:
    virtual ~RegistryHandle() = default;
    // Name of the sub-key at index; false when the enumeration fails for any reason.
    virtual bool subKeyName(std::uint32_t index, WideString& name) = 0;
    // Raw stored bytes of a value (any registry type); false when missing.
    virtual bool valueBytes(const WideString& name, std::vector<std::uint8_t>& bytes) = 0;
};

// A started thread; the destructor closes the handle without waiting.
class ThreadHandle {
public:
    virtual ~ThreadHandle() = default;
    // Waits without time limit and returns the thread's exit code.
    virtual std::uint32_t join() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual OsStyle style() const = 0;
    // The machine field of the launcher's own executable image: 0x014C (x86)
    // or 0x8664 (x64) for Windows builds, the ELF e_machine on Linux.
    virtual std::uint16_t imageMachine() const = 0;

    // --- process start-up ---------------------------------------------------
    // Fixes the narrow encoding before the first conversion (thread locale on
    // Windows, setlocale on Linux).
    virtual void initLocale() = 0;
    // The whole command line as one text, program name included (Windows).
    virtual WideString commandLine() = 0;
    // True when the platform hands over a ready argument vector (Linux): out
    // then holds the arguments after the program name, unchanged.
    virtual bool argumentVector(WideStringList& out) = 0;
    // The running executable's full path; false with lastError set on failure.
    virtual bool modulePath(WideString& out) = 0;
    // The error code of the last failed platform call of this thread.
    virtual std::int32_t lastError() = 0;

    // --- console -------------------------------------------------------------
    virtual void writeStdout(const WideString& text) = 0;
    // Diagnostic trace output (standard error).
    virtual void writeStderr(const WideString& text) = 0;

    // --- text ----------------------------------------------------------------
    // The process's narrow encoding (ANSI code page of the thread locale on
    // Windows, the locale's code set on Linux).
    virtual std::string narrowText(const WideString& text) = 0;
    virtual WideString widenText(const std::string& text) = 0;

    // --- environment ------------------------------------------------------------
    virtual bool getEnvironment(const WideString& name, WideString& value) = 0;
    virtual void setEnvironment(const WideString& name, const WideString& value) = 0;
    // %NAME% references by the platform's rule; false leaves text unchanged.
    virtual bool expandEnvironment(WideString& text) = 0;
    virtual bool setCurrentDirectory(const WideString& path) = 0;

    // --- clock and memory ------------------------------------------------------
    virtual LocalTime localTime() = 0;
    // Formats a time or date picture with the user's default locale; false on failure.
    virtual bool formatTime(const WideString& picture, const LocalTime& time, WideString& out) = 0;
    virtual bool formatDate(const WideString& picture, const LocalTime& time, WideString& out) = 0;
    virtual MemoryFigures memoryFigures() = 0;

    // --- files -------------------------------------------------------------------
    // Directory search for the exact path (wildcards allowed in its last component).
    virtual bool fileExists(const WideString& path) = 0;
    // Names (not paths) of the entries matching pattern, in the platform's order.
    virtual bool findFiles(const WideString& pattern, WideStringList& names) = 0;
    // 0 when created, kErrorAlreadyExists when it exists, otherwise the error code.
    virtual std::int32_t createDirectory(const WideString& path) = 0;
    virtual bool removeDirectory(const WideString& path) = 0;
    virtual bool deleteFile(const WideString& path) = 0;
    // Reads up to 4 bytes of an existing file opened without sharing;
    // 0 on success, otherwise the error code.
    virtual std::int32_t readFileHead(const WideString& path, std::uint8_t (&head)[4]) = 0;
    // The whole file for reading, or null.
    virtual std::unique_ptr<MappedFile> mapFile(const WideString& path) = 0;
    // Size, write time and kind of an existing path; false with lastError otherwise.
    virtual bool fileStatus(const WideString& path, FileStatus& status) = 0;
    // Creates an empty file that must not exist yet: 0 when created,
    // kErrorAlreadyExists when it exists, otherwise the error code.
    virtual std::int32_t createNewFile(const WideString& path) = 0;
    // Renames a file, replacing an existing target in one step; false with
    // lastError (the target is in use, another volume, ...).
    virtual bool renameFile(const WideString& from, const WideString& to) = 0;
    // Bytes the caller may still write on the volume holding path; false when unknown.
    virtual bool freeSpace(const WideString& path, std::uint64_t& bytes) = 0;

    // --- settings files (INI) ------------------------------------------------------
    // The whole value of a key (empty when absent or when the file is missing).
    virtual WideString profileString(const WideString& file, const WideString& section,
                                     const WideString& key) = 0;
    virtual WideStringList profileSectionNames(const WideString& file) = 0;
    // Writes one key, creating the file when missing.
    virtual bool writeProfileString(const WideString& file, const WideString& section,
                                    const WideString& key, const WideString& value) = 0;

    // --- registry (HKEY_LOCAL_MACHINE); null on platforms without one -----------
    virtual std::unique_ptr<RegistryHandle> openRegistryKey(const WideString& path,
                                                            bool otherView) = 0;

    // --- user interface ------------------------------------------------------------
    // Tells the user that no runtime was found (message) and lets them pick a
    // runtime folder holding a JVM library of the wanted type. 1: accepted,
    // jvmLibrary and folder (with a trailing separator) are set; 2: cancelled;
    // -1: could not be shown.
    virtual int runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                                      WideString& folder) = 0;

    // --- libraries, threads, processes -------------------------------------------------
    // Loads a shared library by full path; null with lastError on failure. Never unloaded.
    virtual void* loadLibrary(const WideString& path) = 0;
    virtual void* findSymbol(void* library, const char* name) = 0;
    // Starts a thread with the given stack size (0: default); null when it cannot be created.
    virtual std::unique_ptr<ThreadHandle> startThread(std::function<std::uint32_t()> body,
                                                      std::uint32_t stackSize) = 0;
    // Starts program with this process's own command line, unchanged. With
    // wait, returns its exit code once it has ended; 0 when the start or the
    // exit code query fails, and 0 at once without wait.
    virtual std::int32_t startPairedProcess(const WideString& program, bool wait) = 0;
    // The single-instance objects named instanceName: created when none
    // exist yet (isPrimary true), otherwise opened (isPrimary false); null
    // when they can be neither created nor opened.
    virtual std::unique_ptr<InstanceChannel> openInstanceChannel(const WideString& instanceName,
                                                                 bool& isPrimary) = 0;
    virtual void sleepMilliseconds(std::uint32_t ms) = 0;
    // Never returns.
    [[noreturn]] virtual void sleepForever() = 0;
};

}  // namespace kite
