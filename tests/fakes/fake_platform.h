// An in-memory machine for the unit tests: one small fake per platform slice
// (INI files are read with the Linux build's rules), bundled by FakePlatform.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/utf.h"
#include "platform/common/date_pictures.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"

namespace kite::testing {

class FakeFileSystem : public FileSystem {
public:
    explicit FakeFileSystem(OsStyle style = OsStyle::Windows) : osStyle(style) {}
    // Adds a file (and its parent folders) with the given bytes.
    void addFile(const WideString& path, const std::string& bytes = {});
    void addDirectory(const WideString& path);
    WideString key(const WideString& path) const;  // the map key of a path (case-folded on Windows)

    OsStyle osStyle;
    std::map<WideString, std::string> files;  // by path, as written
    std::set<WideString> directories;
    std::set<WideString> failingDirectories;  // createDirectory fails with 5 (access denied)
    std::uint64_t freeBytes = 1ull << 40;  // what freeSpace reports everywhere
    std::vector<WideString> removedDirectories;
    // What shortPathName answers, by path; a path not listed has no short form.
    std::map<WideString, WideString> shortPaths;
    // Folders made by createPrivateDirectory, by key.
    std::set<WideString> privateDirectories;
    // What pathAccess answers, by key; an existing path not listed is the
    // user's own and no one else may write it. A path listed as a link
    // refuses appendToFile with 40 (ELOOP).
    std::map<WideString, PathAccess> pathAccesses;

    OsStyle style() const override { return osStyle; }
    bool fileExists(const WideString& path) override { WideStringList names; return findFiles(path, names); }
    bool findFiles(const WideString& pattern, WideStringList& names) override;
    Status createDirectory(const WideString& path) override;
    Status createPrivateDirectory(const WideString& path) override;
    bool removeDirectory(const WideString& path) override {
        removedDirectories.push_back(path);
        return directories.erase(key(path)) > 0;
    }
    bool deleteFile(const WideString& path) override { return files.erase(key(path)) > 0; }
    std::int32_t readFileHead(const WideString& path, std::uint8_t (&head)[4]) override;
    std::unique_ptr<MappedFile> mapFile(const WideString& path) override;
    Status fileStatus(const WideString& path, FileStatus& status) override;
    Status pathAccess(const WideString& path, PathAccess& access) override;
    Status revokeOthersWrite(const WideString& path) override;
    std::int32_t createNewFile(const WideString& path) override;
    Status renameFile(const WideString& from, const WideString& to) override;
    Status appendToFile(const WideString& path, const WideString& text) override;
    Status appendBytes(const WideString& path, std::string_view bytes) override;
    bool freeSpace(const WideString&, std::uint64_t& bytes) override { bytes = freeBytes; return true; }
    bool shortPathName(const WideString& path, WideString& out) override;
    WideString profileString(const WideString& file, const WideString& section, const WideString& key) override;
    WideStringList profileSectionNames(const WideString& file) override;
    bool writeProfileString(const WideString& file, const WideString& section, const WideString& key,
                            const WideString& value) override;
};

class FakeEnvironment : public Environment {
public:
    explicit FakeEnvironment(OsStyle style = OsStyle::Windows) : style_(style) {
        if (style == OsStyle::Posix) executablePath = u"/opt/app/app";
    }

    WideString commandLineText;
    bool hasArgumentVector = false;
    WideStringList argumentVectorItems;
    WideString executablePath = u"C:\\App\\app.exe";
    std::int32_t modulePathError = 0;  // modulePath fails with it unless 0
    std::int32_t lastErrorCode = 0;
    std::map<WideString, WideString> environment;
    WideString currentDirectory;
    std::string stdoutText;  // UTF-8
    std::string stderrText;  // UTF-8
    // Characters above this one narrow to '?', as in a single-byte ANSI code page.
    char16_t narrowLimit = 0xFFFF;
    // stderrText cut into lines (the trace writes one line per decision).
    std::vector<std::string> stderrLines() const;

    void initLocale() override {}
    WideString commandLine() override { return commandLineText; }
    bool argumentVector(WideStringList& out) override {
        if (hasArgumentVector) out = argumentVectorItems;
        return hasArgumentVector;
    }
    Status modulePath(WideString& out) override {
        if (modulePathError == 0) out = executablePath;
        return Status::fromCode(modulePathError);
    }
    std::int32_t lastError() override { return lastErrorCode; }
    void writeStdout(const WideString& text) override { stdoutText += toUtf8(text); }
    void writeStderr(const WideString& text) override { stderrText += toUtf8(text); }
    // The JVM's stream is named by an address: vmStderr stands for its standard error.
    static inline int vmStderr = 0;
    void writeVmStream(void* stream, const char* data, std::size_t size) override {
        (stream == &vmStderr ? stderrText : stdoutText).append(data, size);
    }
    std::string narrowText(const WideString& text) override;
    WideString widenText(const std::string& text) override { return fromUtf8(text); }
    bool getEnvironment(const WideString& name, WideString& value) override;
    void setEnvironment(const WideString& name, const WideString& value) override;
    bool expandEnvironment(WideString& text) override;
    bool setCurrentDirectory(const WideString& path) override { currentDirectory = path; return true; }
    bool absolutePath(const WideString& path, WideString& out) override;

private:
    std::map<WideString, WideString>::iterator find(const WideString& name, bool ignoreCase);
    OsStyle style_;
};

class FakeRegistry : public Registry {
public:
    explicit FakeRegistry(OsStyle style = OsStyle::Windows) : style_(style) {}
    // Adds a value in the native or the other view.
    void addRegistryString(const WideString& keyPath, const WideString& name, const WideString& value,
                           bool otherView = false);
    void addRegistryBytes(const WideString& keyPath, const WideString& name, std::vector<std::uint8_t> bytes,
                          bool otherView = false);

    std::unique_ptr<RegistryHandle> openRegistryKey(const WideString& path, bool otherView) override;

private:
    struct RegistryKeyData {
        std::vector<WideString> subKeys;  // in insertion order
        std::map<WideString, std::vector<std::uint8_t>> values;
    };
    void ensureRegistryKey(const WideString& keyPath, bool otherView);
    OsStyle style_;
    std::map<WideString, RegistryKeyData> registry_[2];
};

class FakeUserInterface : public UserInterface {
public:
    int dialogResult = -1;
    WideString dialogLibrary;
    WideString dialogFolder;
    WideString dialogMessage;
    int dialogCalls = 0;

    int runtimeNotFoundDialog(const WideString& message, int, WideString& jvmLibrary, WideString& folder) override {
        ++dialogCalls;
        dialogMessage = message;
        if (dialogResult == 1) {
            jvmLibrary = dialogLibrary;
            folder = dialogFolder;
        }
        return dialogResult;
    }
};

class FakeClock : public ClockAndMemory {
public:
    LocalTime now{2024, 3, 2, 5, 14, 7, 9, 45};
    MemoryFigures memory{};

    LocalTime localTime() override { return now; }
    bool formatTime(const WideString& picture, const LocalTime& time, WideString& out) override {
        return formatTimePicture(picture, time, out);
    }
    bool formatDate(const WideString& picture, const LocalTime& time, WideString& out) override {
        return formatDatePicture(picture, time, out);
    }
    MemoryFigures memoryFigures() override { return memory; }
    std::int64_t secondsSinceEpoch() override { return seconds; }
    std::int64_t seconds = 1700000000;
};

class FakeProcesses : public Processes {
public:
    explicit FakeProcesses(FakeFileSystem& files) : files_(files) {}

    std::uint16_t ownMachine = 0x014C;
    std::map<WideString, void*> libraries;  // by the file system's key of the path
    // Symbols that findSymbol answers, by library handle and name.
    std::map<std::pair<void*, std::string>, void*> symbols;
    std::uint32_t lastThreadStackSize = 0;
    bool threadsFail = false;
    // Paired starts: the programs started and the exit code they end with.
    std::vector<std::pair<WideString, bool>> pairedStarts;
    std::int32_t pairedExitCode = 0;
    // Quiet starts: program, arguments, marker variable and wait; the exit
    // code they end with, or quietStartError when they cannot start. run,
    // when set, acts as the child (on the fake file system) and gives its code.
    struct QuietStart {
        WideString program;
        WideStringList arguments;
        WideString marker;
        bool wait = false;
    };
    std::vector<QuietStart> quietStarts;
    // Starts of the own executable again, and the error they fail with (0: none).
    int restarts = 0;
    std::int32_t restartError = 0;
    std::int32_t quietStartError = 0;
    std::function<std::int32_t(const QuietStart&)> runQuietStart;
    // Single instance: what opening the objects of an instance name gives;
    // unset, no channel is ever made.
    std::function<InstanceChannelOpening(const WideString& name)> instanceChannels;

    std::uint16_t imageMachine() const override { return ownMachine; }
    // A missing library fails with 126, a missing symbol with 127 (Windows' codes).
    Status loadLibrary(const WideString& path, void*& library) override;
    Status findSymbol(void* library, const char* name, void*& symbol) override {
        auto it = symbols.find({library, name});
        symbol = it == symbols.end() ? nullptr : it->second;
        return Status::fromCode(symbol ? 0 : 127);
    }
    std::unique_ptr<ThreadHandle> startThread(std::function<std::uint32_t()> body, std::uint32_t stackSize) override;
    std::int32_t startPairedProcess(const WideString& program, bool wait) override {
        pairedStarts.emplace_back(program, wait);
        return wait && files_.files.count(files_.key(program)) ? pairedExitCode : 0;
    }
    Status restartOwnExecutable() override {
        ++restarts;
        return Status::fromCode(restartError);
    }
    Status startQuietProcess(const WideString& program, const WideStringList& arguments,
                             const WideString& markerVariable, bool wait, std::int32_t& exitCode) override {
        quietStarts.push_back({program, arguments, markerVariable, wait});
        if (quietStartError != 0) return Status::fromCode(quietStartError);
        const std::int32_t code = runQuietStart ? runQuietStart(quietStarts.back()) : 0;
        if (wait) exitCode = code;
        return {};
    }
    InstanceChannelOpening openInstanceChannel(const WideString& instanceName) override {
        return instanceChannels ? instanceChannels(instanceName) : InstanceChannelOpening{};
    }
    void sleepMilliseconds(std::uint32_t) override {}
    [[noreturn]] void sleepForever() override;

private:
    FakeFileSystem& files_;
};

class FakePlatform : public FakeFileSystem,
                     public FakeEnvironment,
                     public FakeRegistry,
                     public FakeUserInterface,
                     public FakeProcesses,
                     public FakeClock,
                     public Platform {
public:
    explicit FakePlatform(OsStyle style = OsStyle::Windows)
        : FakeFileSystem(style), FakeEnvironment(style), FakeRegistry(style),
          FakeProcesses(static_cast<FakeFileSystem&>(*this)),
          Platform(*this, *this, *this, *this, *this, *this) {}
    using FakeFileSystem::style;
};

// ASCII letters in lower case: how the fakes compare names on Windows.
WideString folded(const WideString& text);
// UTF-8 conversion helpers for assertions.
std::string utf8(const WideString& text);
WideString wide(const std::string& utf8Text);

}  // namespace kite::testing
