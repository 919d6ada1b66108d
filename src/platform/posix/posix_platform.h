// The Linux implementation of the platform interface.
#pragma once

#include <string>
#include <vector>

#include "platform/common/profile_cache.h"
#include "platform/platform.h"

namespace kite {

// One object answers every slice; the bundle refers to it.
class PosixPlatform : public FileSystem,
                     public Environment,
                     public Registry,
                     public UserInterface,
                     public Processes,
                     public ClockAndMemory,
                     public Platform {
public:
    PosixPlatform(int argc, char** argv);

    std::uint16_t imageMachine() const override;
    OsStyle style() const override { return OsStyle::Posix; }
    void initLocale() override;
    WideString commandLine() override;
    bool argumentVector(WideStringList& out) override;
    Status modulePath(WideString& out) override;
    std::int32_t lastError() override;
    void writeStdout(const WideString& text) override;
    void writeStderr(const WideString& text) override;
    void writeVmStream(void* stream, const char* data, std::size_t size) override;
    std::string narrowText(const WideString& text) override;
    WideString widenText(const std::string& text) override;
    bool getEnvironment(const WideString& name, WideString& value) override;
    void setEnvironment(const WideString& name, const WideString& value) override;
    bool expandEnvironment(WideString& text) override;
    bool setCurrentDirectory(const WideString& path) override;
    bool absolutePath(const WideString& path, WideString& out) override;
    LocalTime localTime() override;
    bool formatTime(const WideString& picture, const LocalTime& time, WideString& out) override;
    bool formatDate(const WideString& picture, const LocalTime& time, WideString& out) override;
    MemoryFigures memoryFigures() override;
    std::int64_t secondsSinceEpoch() override;
    bool fileExists(const WideString& path) override;
    bool findFiles(const WideString& pattern, WideStringList& names) override;
    Status createDirectory(const WideString& path) override;
    Status createPrivateDirectory(const WideString& path) override;
    bool removeDirectory(const WideString& path) override;
    bool deleteFile(const WideString& path) override;
    std::int32_t readFileHead(const WideString& path, std::uint8_t (&head)[4]) override;
    std::unique_ptr<MappedFile> mapFile(const WideString& path) override;
    Status fileStatus(const WideString& path, FileStatus& status) override;
    Status pathAccess(const WideString& path, PathAccess& access) override;
    Status revokeOthersWrite(const WideString& path) override;
    std::int32_t createNewFile(const WideString& path) override;
    Status renameFile(const WideString& from, const WideString& to) override;
    Status appendToFile(const WideString& path, const WideString& text) override;
    Status appendBytes(const WideString& path, std::string_view bytes) override;
    bool freeSpace(const WideString& path, std::uint64_t& bytes) override;
    bool shortPathName(const WideString& path, WideString& out) override;
    WideString profileString(const WideString& file, const WideString& section, const WideString& key) override;
    WideStringList profileSectionNames(const WideString& file) override;
    bool writeProfileString(const WideString& file, const WideString& section, const WideString& key,
                            const WideString& value) override;
    std::unique_ptr<RegistryHandle> openRegistryKey(const WideString& path, bool otherView) override;
    int runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                              WideString& folder) override;
    Status loadLibrary(const WideString& path, void*& library) override;
    Status findSymbol(void* library, const char* name, void*& symbol) override;
    std::unique_ptr<ThreadHandle> startThread(std::function<std::uint32_t()> body,
                                              std::uint32_t stackSize) override;
    std::int32_t startPairedProcess(const WideString& program, bool wait) override;
    Status restartOwnExecutable() override;
    Status startQuietProcess(const WideString& program, const WideStringList& arguments,
                             const WideString& markerVariable, bool wait, std::int32_t& exitCode) override;
    InstanceChannelOpening openInstanceChannel(const WideString& instanceName) override;
    void sleepMilliseconds(std::uint32_t ms) override;
    [[noreturn]] void sleepForever() override;

    // The argument vector as the process received it (program name first).
    const std::vector<std::string>& rawArguments() const { return rawArguments_; }

private:
    // A path for the system calls: backslashes become '/', in the narrow encoding.
    std::string systemPath(const WideString& path);

    // The parsed settings file of path, read on the first request. Settings
    // are read by the starting thread only.
    const ini::Document& profile(const WideString& path);

    std::vector<std::string> rawArguments_;
    ini::ProfileCache profiles_;
    // Filled by the first modulePath call, which the start makes before it
    // starts any thread; read-only afterwards.
    WideString modulePath_;
};

}  // namespace kite
