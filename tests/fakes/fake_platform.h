// An in-memory machine for the unit tests: files and folders, INI files (read
// with the same INI rules as the Linux build), registry keys, environment,
// clock, memory figures and captured console output.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/instance_channel.h"
#include "platform/platform.h"

namespace kite::testing {

class FakePlatform : public Platform {
public:
    explicit FakePlatform(OsStyle style = OsStyle::Windows);

    // --- set-up ---------------------------------------------------------------
    // Adds a file (and its parent folders) with the given bytes.
    void addFile(const WideString& path, const std::string& bytes = {});
    void addDirectory(const WideString& path);
    // Adds a registry value under HKEY_LOCAL_MACHINE in the native or the other view.
    void addRegistryString(const WideString& keyPath, const WideString& name, const WideString& value,
                           bool otherView = false);
    void addRegistryBytes(const WideString& keyPath, const WideString& name, std::vector<std::uint8_t> bytes,
                          bool otherView = false);

    // --- state the tests read and set ----------------------------------------------
    OsStyle osStyle;
    std::uint16_t ownMachine = 0x014C;
    WideString commandLineText;
    bool hasArgumentVector = false;
    WideStringList argumentVectorItems;
    WideString executablePath = u"C:\\App\\app.exe";
    bool modulePathFails = false;
    std::int32_t lastErrorCode = 0;
    std::map<WideString, WideString> environment;  // names compared case-insensitively on Windows
    WideString currentDirectory;
    LocalTime now{2024, 3, 2, 5, 14, 7, 9, 45};
    MemoryFigures memory{};
    std::map<WideString, std::string> files;  // by path, as written
    std::set<WideString> directories;
    std::set<WideString> failingDirectories;  // createDirectory fails with 5 (access denied)
    std::uint64_t freeBytes = 1ull << 40;  // what freeSpace reports everywhere
    std::map<WideString, void*> libraries;
    std::string stdoutText;  // UTF-8
    std::string stderrText;  // UTF-8
    // stderrText cut into lines (the trace writes one line per decision).
    std::vector<std::string> stderrLines() const;
    std::vector<WideString> removedDirectories;
    std::uint32_t lastThreadStackSize = 0;
    bool threadsFail = false;
    // The runtime-not-found dialog: its result and what OK hands back.
    int dialogResult = -1;
    WideString dialogLibrary;
    WideString dialogFolder;
    WideString dialogMessage;
    int dialogCalls = 0;
    // Paired starts: the programs started and the exit code they end with.
    std::vector<std::pair<WideString, bool>> pairedStarts;
    std::int32_t pairedExitCode = 0;
    // Single instance: hands out the channel for an instance name (null: the
    // block cannot be made); unset, no channel is ever made.
    std::function<std::unique_ptr<InstanceChannel>(const WideString& name, bool& isPrimary)> instanceChannels;

    // --- Platform --------------------------------------------------------------------
    std::uint16_t imageMachine() const override { return ownMachine; }
    OsStyle style() const override { return osStyle; }
    void initLocale() override {}
    WideString commandLine() override { return commandLineText; }
    bool argumentVector(WideStringList& out) override;
    bool modulePath(WideString& out) override;
    std::int32_t lastError() override { return lastErrorCode; }
    void writeStdout(const WideString& text) override;
    void writeStderr(const WideString& text) override;
    std::string narrowText(const WideString& text) override;
    WideString widenText(const std::string& text) override;
    bool getEnvironment(const WideString& name, WideString& value) override;
    void setEnvironment(const WideString& name, const WideString& value) override;
    bool expandEnvironment(WideString& text) override;
    bool setCurrentDirectory(const WideString& path) override;
    LocalTime localTime() override { return now; }
    bool formatTime(const WideString& picture, const LocalTime& time, WideString& out) override;
    bool formatDate(const WideString& picture, const LocalTime& time, WideString& out) override;
    MemoryFigures memoryFigures() override { return memory; }
    bool fileExists(const WideString& path) override;
    bool findFiles(const WideString& pattern, WideStringList& names) override;
    std::int32_t createDirectory(const WideString& path) override;
    bool removeDirectory(const WideString& path) override;
    bool deleteFile(const WideString& path) override;
    std::int32_t readFileHead(const WideString& path, std::uint8_t (&head)[4]) override;
    std::unique_ptr<MappedFile> mapFile(const WideString& path) override;
    bool fileStatus(const WideString& path, FileStatus& status) override;
    std::int32_t createNewFile(const WideString& path) override;
    bool renameFile(const WideString& from, const WideString& to) override;
    bool freeSpace(const WideString& path, std::uint64_t& bytes) override;
    WideString profileString(const WideString& file, const WideString& section, const WideString& key) override;
    WideStringList profileSectionNames(const WideString& file) override;
    bool writeProfileString(const WideString& file, const WideString& section, const WideString& key,
                            const WideString& value) override;
    std::unique_ptr<RegistryHandle> openRegistryKey(const WideString& path, bool otherView) override;
    int runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                              WideString& folder) override;
    void* loadLibrary(const WideString& path) override;
    void* findSymbol(void* library, const char* name) override;
    std::unique_ptr<ThreadHandle> startThread(std::function<std::uint32_t()> body,
                                              std::uint32_t stackSize) override;
    std::int32_t startPairedProcess(const WideString& program, bool wait) override;
    std::unique_ptr<InstanceChannel> openInstanceChannel(const WideString& instanceName, bool& isPrimary) override {
        return instanceChannels ? instanceChannels(instanceName, isPrimary) : nullptr;
    }
    void sleepMilliseconds(std::uint32_t) override {}
    [[noreturn]] void sleepForever() override;

    // Symbols that findSymbol answers, by library handle and name.
    std::map<std::pair<void*, std::string>, void*> symbols;

private:
    struct RegistryKeyData {
        std::vector<WideString> subKeys;  // in insertion order
        std::map<WideString, std::vector<std::uint8_t>> values;
    };
    WideString key(const WideString& path) const;  // the map key of a path (case-folded on Windows)
    void ensureRegistryKey(const WideString& keyPath, bool otherView);
    std::map<WideString, RegistryKeyData> registry_[2];
};

// UTF-8 conversion helpers for assertions.
std::string utf8(const WideString& text);
WideString wide(const std::string& utf8Text);

}  // namespace kite::testing
