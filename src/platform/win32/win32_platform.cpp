#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/utf.h"
#include "platform/common/date_pictures.h"
#include "platform/win32/module_file_name.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_instance_channel.h"

namespace kite {

namespace {

// ERROR_STOPPED_ON_SYMLINK of the Windows SDK, which mingw's headers lack.
constexpr std::int32_t kStoppedOnSymlink = 681;

// The failure of the system call that just failed.
Status lastFailure() { return Status::failure(static_cast<std::int32_t>(GetLastError())); }

void writeHandle(HANDLE out, const WideString& text) {
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console shows the UTF-16 text as it is, umlauts included.
        WriteConsoleW(out, wide(text), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Redirected to a file or pipe: UTF-8.
    const std::string bytes = toUtf8(text);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

class Win32MappedFile : public MappedFile {
public:
    Win32MappedFile(KernelHandle file, KernelHandle mapping, const void* view, std::size_t size)
        : file_(std::move(file)), mapping_(std::move(mapping)), view_(view), size_(size) {}
    ~Win32MappedFile() override { UnmapViewOfFile(view_); }
    const std::uint8_t* data() const override { return static_cast<const std::uint8_t*>(view_); }
    std::size_t size() const override { return size_; }

private:
    KernelHandle file_;
    KernelHandle mapping_;
    const void* view_;
    std::size_t size_;
};

class Win32RegistryKey : public RegistryHandle {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}
    bool subKeyName(std::uint32_t index, WideString& name) override {
        wchar_t buffer[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key_.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        name = fromWide(buffer, length);
        return true;
    }
    bool valueBytes(const WideString& name, std::vector<std::uint8_t>& bytes) override {
        DWORD size = 0;
        if (RegQueryValueExW(key_.get(), wide(name), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
        bytes.assign(size, 0);
        if (size == 0) return true;
        if (RegQueryValueExW(key_.get(), wide(name), nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) return false;
        bytes.resize(size);
        return true;
    }

private:
    RegistryKey key_;
};

struct ThreadStart {
    std::function<std::uint32_t()> body;
};

DWORD WINAPI threadEntry(LPVOID argument) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    return start->body();
}

class Win32Thread : public ThreadHandle {
public:
    explicit Win32Thread(HANDLE thread) : thread_(thread) {}
    std::uint32_t join() override {
        WaitForSingleObject(thread_.get(), INFINITE);
        DWORD code = 0;
        GetExitCodeThread(thread_.get(), &code);
        return code;
    }

private:
    KernelHandle thread_;
};

// True when text comes back unchanged from the code page (no '?', no
// best-fit stand-in such as L for the Polish letter with a stroke).
bool fitsCodePage(UINT codePage, const WideString& text) {
    if (text.empty()) return true;
    const int count = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, wide(text), count, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide(text), count, narrow.data(), size, nullptr, nullptr);
    std::wstring back(text.size(), L'\0');
    const int length = MultiByteToWideChar(codePage, 0, narrow.data(), size, back.data(), count);
    return length == count && fromWide(back.data(), back.size()) == text;
}

// The profile functions keep a file without a byte order mark in the ANSI
// code page, writing '?' for what it lacks, and a file that starts with the
// UTF-16 mark in UTF-16. A new file gets the mark; an existing one without
// it is rewritten in UTF-16, its ANSI text converted.
void makeUnicodeProfile(const WideString& file) {
    KernelHandle handle(CreateFileW(wide(file), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart > (1 << 24)) return;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xEF\xBB\xBF")) return;
    std::wstring text(bytes.size() + 1, L'\0');
    text[0] = 0xFEFF;
    const int length = bytes.empty() ? 0
                                     : MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                           text.data() + 1, static_cast<int>(bytes.size()));
    if (!bytes.empty() && length <= 0) return;
    const DWORD total = static_cast<DWORD>((static_cast<std::size_t>(length) + 1) * sizeof(wchar_t));
    DWORD written = 0;
    if (SetFilePointer(handle.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return;
    if (WriteFile(handle.get(), text.data(), total, &written, nullptr)) SetEndOfFile(handle.get());
}

SYSTEMTIME toSystemTime(const LocalTime& time) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.year);
    st.wMonth = static_cast<WORD>(time.month);
    st.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
    st.wDay = static_cast<WORD>(time.day);
    st.wHour = static_cast<WORD>(time.hour);
    st.wMinute = static_cast<WORD>(time.minute);
    st.wSecond = static_cast<WORD>(time.second);
    st.wMilliseconds = static_cast<WORD>(time.millisecond);
    return st;
}

// GetTimeFormatW or GetDateFormatW into a result of at most 259 characters.
// Wine's functions build the result in a work buffer of their own without a
// bound and crash once it runs past about 256 characters, so a picture whose
// result is already too long with English names is refused before the call.
using PictureFormatter = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);
using EnglishFormatter = bool (*)(const WideString&, const LocalTime&, WideString&);
bool formatWithPicture(PictureFormatter format, EnglishFormatter englishFormat, const WideString& picture,
                       const LocalTime& time, WideString& out) {
    WideString english;
    if (!englishFormat(picture, time, english)) return false;
    const SYSTEMTIME st = toSystemTime(time);
    wchar_t buffer[260];
    const int length = format(LOCALE_USER_DEFAULT, 0, &st, wide(picture), buffer, 260);
    if (length <= 0) return false;
    out = fromWide(buffer);
    return true;
}

}  // namespace

void Win32Platform::initLocale() { SetThreadLocale(GetSystemDefaultLCID()); }

WideString Win32Platform::commandLine() { return fromWide(GetCommandLineW()); }

bool Win32Platform::argumentVector(WideStringList&) { return false; }

Status Win32Platform::modulePath(WideString& out) {
    std::wstring path;
    if (!moduleFileName(path)) return lastFailure();
    out = fromWide(path.data(), path.size());
    return {};
}

std::int32_t Win32Platform::lastError() { return static_cast<std::int32_t>(GetLastError()); }

Win32Platform::Win32Platform()
    : Platform(*this, *this, *this, *this, *this, *this),
      ownStdout_(GetStdHandle(STD_OUTPUT_HANDLE)),
      ownStderr_(GetStdHandle(STD_ERROR_HANDLE)) {}

void Win32Platform::writeStdout(const WideString& text) { writeHandle(ownStdout_, text); }

void Win32Platform::writeStderr(const WideString& text) { writeHandle(ownStderr_, text); }

void Win32Platform::writeVmStream(void* stream, const char* data, std::size_t size) {
    // The FILE* belongs to the JVM's C runtime (the Universal CRT for the
    // runtimes that install the hook), not to this executable's: it is
    // compared with that runtime's own standard error, and the bytes go to
    // the process's handle. Anything else is the JVM's standard output.
    DWORD which = STD_OUTPUT_HANDLE;
    if (HMODULE crt = GetModuleHandleW(L"ucrtbase.dll")) {
        using IobFunction = void* (*)(unsigned);
        auto iob = reinterpret_cast<IobFunction>(reinterpret_cast<void*>(GetProcAddress(crt, "__acrt_iob_func")));
        if (iob != nullptr && iob(2) == stream) which = STD_ERROR_HANDLE;
    }
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, data, static_cast<DWORD>(size), &written, nullptr);
}

std::string Win32Platform::narrowText(const WideString& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, wide(text), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, wide(text), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

WideString Win32Platform::widenText(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return fromWide(out.data(), out.size());
}

bool Win32Platform::getEnvironment(const WideString& name, WideString& value) {
    DWORD size = GetEnvironmentVariableW(wide(name), nullptr, 0);
    if (size == 0) return false;
    std::wstring buffer(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wide(name), buffer.data(), size);
    if (length == 0 || length >= size) {
        value.clear();
        return length == 0 && GetLastError() == ERROR_SUCCESS;
    }
    value = fromWide(buffer.data(), length);
    return true;
}

void Win32Platform::setEnvironment(const WideString& name, const WideString& value) {
    SetEnvironmentVariableW(wide(name), wide(value));
}

bool Win32Platform::expandEnvironment(WideString& text) {
    const DWORD size = ExpandEnvironmentStringsW(wide(text), nullptr, 0);
    if (size == 0) return false;
    std::wstring buffer(size, L'\0');
    const DWORD used = ExpandEnvironmentStringsW(wide(text), buffer.data(), size);
    if (used == 0 || used > size) return false;
    text = fromWide(buffer.c_str());
    return true;
}

bool Win32Platform::setCurrentDirectory(const WideString& path) { return SetCurrentDirectoryW(wide(path)) != 0; }

bool Win32Platform::absolutePath(const WideString& path, WideString& out) {
    // GetFullPathNameW knows every relative form: "jre", ".\\jre", "..\\jre",
    // "\\jre" (root of the current drive) and "D:jre" (that drive's folder).
    DWORD size = GetFullPathNameW(wide(path), 0, nullptr, nullptr);
    while (size != 0) {
        std::wstring buffer(size, L'\0');
        const DWORD length = GetFullPathNameW(wide(path), size, buffer.data(), nullptr);
        if (length == 0) break;
        if (length < size) {
            out.assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
            return true;
        }
        size = length;  // the current folder grew in between
    }
    return false;
}

LocalTime Win32Platform::localTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.millisecond = st.wMilliseconds;
    return time;
}

bool Win32Platform::formatTime(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatWithPicture(GetTimeFormatW, formatTimePicture, picture, time, out);
}

bool Win32Platform::formatDate(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatWithPicture(GetDateFormatW, formatDatePicture, picture, time, out);
}

std::int64_t Win32Platform::secondsSinceEpoch() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-nanosecond ticks since 1601; 11644473600 s lie between 1601 and 1970.
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

MemoryFigures Win32Platform::memoryFigures() {
    MemoryFigures figures;
    if constexpr (sizeof(void*) == 4) {
        // The 32-bit launcher works with the 32-bit figures of GlobalMemoryStatus.
        MEMORYSTATUS status{};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        figures.totalPhysical = static_cast<std::uint32_t>(status.dwTotalPhys);
        figures.availableVirtual = static_cast<std::uint32_t>(status.dwAvailVirtual);
    } else {
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        GlobalMemoryStatusEx(&status);
        figures.totalPhysical = status.ullTotalPhys;
        figures.availableVirtual = status.ullAvailVirtual;
    }
    return figures;
}

bool Win32Platform::fileExists(const WideString& path) {
    WIN32_FIND_DATAW data;
    return FindHandle(FindFirstFileW(wide(path), &data)).valid();
}

bool Win32Platform::findFiles(const WideString& pattern, WideStringList& names) {
    names.clear();
    WIN32_FIND_DATAW data;
    const FindHandle find(FindFirstFileW(wide(pattern), &data));
    if (!find.valid()) return false;
    do {
        names.append(fromWide(data.cFileName));
    } while (FindNextFileW(find.get(), &data));
    return true;
}

Status Win32Platform::createDirectory(const WideString& path) {
    if (CreateDirectoryW(wide(path), nullptr)) return {};
    return Status::fromCode(static_cast<std::int32_t>(GetLastError()));
}

// A new folder inherits the access list of its parent. The launcher makes
// private folders below the user's local application data only, whose list
// (from the user's profile) admits the user, SYSTEM and the Administrators.
Status Win32Platform::createPrivateDirectory(const WideString& path) { return createDirectory(path); }

bool Win32Platform::removeDirectory(const WideString& path) { return RemoveDirectoryW(wide(path)) != 0; }

bool Win32Platform::deleteFile(const WideString& path) { return DeleteFileW(wide(path)) != 0; }

std::int32_t Win32Platform::readFileHead(const WideString& path, std::uint8_t (&head)[4]) {
    KernelHandle file(CreateFileW(wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return static_cast<std::int32_t>(GetLastError());
    DWORD read = 0;
    if (!ReadFile(file.get(), head, sizeof head, &read, nullptr)) return static_cast<std::int32_t>(GetLastError());
    return 0;
}

std::unique_ptr<MappedFile> Win32Platform::mapFile(const WideString& path) {
    KernelHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<unsigned long long>(size.QuadPart) > static_cast<SIZE_T>(-1))
        return nullptr;
    KernelHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.valid()) return nullptr;
    const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) return nullptr;
    // The mapped file takes over both handles.
    return std::make_unique<Win32MappedFile>(std::move(file), std::move(mapping), view,
                                             static_cast<std::size_t>(size.QuadPart));
}

namespace {

WideString fromAnsiCodePage(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return fromWide(text.data(), text.size());
}

// The whole file, opened the way the profile functions open it; a missing or
// unreadable file reads as empty, as it does for them.
std::string readSettingsBytes(const WideString& path) {
    KernelHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return {};
    LARGE_INTEGER size{};
    // A file over the settings files' size limit is not read: it reads as
    // a file without sections.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > ini::kMaxFileBytes) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};
    bytes.resize(read);
    return bytes;
}

}  // namespace

// Each settings file is read and parsed once per start, with the profile
// functions' rules; a write through writeProfileString forgets it.
const ini::Document& Win32Platform::profile(const WideString& file) {
    return profiles_.document(file, [](const WideString& path) {
        return ini::parseWindows(readSettingsBytes(path), fromAnsiCodePage);
    });
}

WideString Win32Platform::profileString(const WideString& file, const WideString& section, const WideString& key) {
    WideString value = ini::value(profile(file), section, key);
    // The profile functions hand out C strings: a NUL ends the value.
    if (const std::size_t nul = value.find(u'\0'); nul != WideString::npos) value.resize(nul);
    return value;
}

WideStringList Win32Platform::profileSectionNames(const WideString& file) {
    return ini::sectionNames(profile(file));
}

bool Win32Platform::writeProfileString(const WideString& file, const WideString& section, const WideString& key,
                                       const WideString& value) {
    profiles_.forget(file);
    if (!fitsCodePage(CP_ACP, section + key + value)) makeUnicodeProfile(file);
    return WritePrivateProfileStringW(wide(section), wide(key), wide(value), wide(file)) != 0;
}

std::unique_ptr<RegistryHandle> Win32Platform::openRegistryKey(const WideString& path, bool otherView) {
    // The other view is the 64-bit one for the 32-bit build and the 32-bit one for the 64-bit build.
    REGSAM access = KEY_READ;
    if (otherView) access |= sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(path), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

// runtimeNotFoundDialog: runtime_not_found_window.cpp.

Status Win32Platform::loadLibrary(const WideString& path, void*& library) {
    // The JVM library lies in bin\<type>\ of its runtime, whose bin folder
    // holds the C runtime DLLs it imports. Its imports are looked up in its
    // own folder, that bin folder and the system folders only: neither the
    // current folder nor "Path" can answer them. AddDllDirectory is missing
    // on Windows 7 without its update; there the library loads as before.
    using AddDllDirectoryFunction = DLL_DIRECTORY_COOKIE(WINAPI*)(PCWSTR);
    const auto addDllDirectory = reinterpret_cast<AddDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory")));
    if (addDllDirectory == nullptr) {
        library = reinterpret_cast<void*>(LoadLibraryW(wide(path)));
        return library != nullptr ? Status() : lastFailure();
    }
    WideString bin = path;
    for (int i = 0; i < 2; ++i) {
        const std::size_t cut = bin.find_last_of(u"\\/");
        if (cut != WideString::npos) bin.resize(cut);
    }
    if (!bin.empty() && bin != path) addDllDirectory(wide(bin));
    library = reinterpret_cast<void*>(LoadLibraryExW(
        wide(path), nullptr,
        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS | LOAD_LIBRARY_SEARCH_USER_DIRS));
    return library != nullptr ? Status() : lastFailure();
}

Status Win32Platform::findSymbol(void* library, const char* name, void*& symbol) {
    symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    return symbol != nullptr ? Status() : lastFailure();
}

std::unique_ptr<ThreadHandle> Win32Platform::startThread(std::function<std::uint32_t()> body,
                                                         std::uint32_t stackSize) {
    auto* start = new ThreadStart{std::move(body)};
    // The size reserves address space for the stack; pages are committed as
    // the thread uses them, so a large -Xss costs no memory up front.
    HANDLE thread = CreateThread(nullptr, stackSize, threadEntry, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        delete start;
        return nullptr;
    }
    return std::make_unique<Win32Thread>(thread);
}

std::int32_t Win32Platform::startPairedProcess(const WideString& program, bool wait) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The command line buffer must be writable.
    std::wstring commandLine = GetCommandLineW();
    CreateProcessW(wide(program), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &process);
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    if (!wait || !processHandle.valid()) return 0;
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(processHandle.get(), &code)) return 0;
    return static_cast<std::int32_t>(code);
}

Status Win32Platform::restartOwnExecutable() {
    std::wstring program;
    if (!moduleFileName(program)) return lastFailure();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The command line buffer must be writable.
    std::wstring commandLine = GetCommandLineW();
    // No handle is inherited: a console child shares the console, a windowed
    // one has none.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return lastFailure();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
}

namespace {

// One argument quoted for CommandLineToArgvW and the C runtime's parser.
void appendQuotedArgument(std::wstring& line, const WideString& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == WideString::npos) {
        line.append(argument.begin(), argument.end());
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == u'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += static_cast<wchar_t>(c);
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

}  // namespace

Status Win32Platform::startQuietProcess(const WideString& program, const WideStringList& arguments,
                                        const WideString& markerVariable, bool wait, std::int32_t& exitCode) {
    std::wstring commandLine;
    appendQuotedArgument(commandLine, program);
    for (const WideString& argument : arguments) appendQuotedArgument(commandLine, argument);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    KernelHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr));
    if (!nul.valid()) return lastFailure();
    // Only the null device is handed on, not every inheritable handle.
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) return lastFailure();
    HANDLE handles[] = {nul.get()};
    const bool listed = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, sizeof handles,
                                                  nullptr, nullptr) != FALSE;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul.get();
    startup.StartupInfo.hStdOutput = nul.get();
    startup.StartupInfo.hStdError = nul.get();
    if (listed) startup.lpAttributeList = list;
    // The marker reaches the child through this process's environment,
    // which is taken away again at once.
    const bool marked = !markerVariable.empty();
    if (marked) SetEnvironmentVariableW(wide(markerVariable), L"1");
    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT |
                        (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    const BOOL created = CreateProcessW(wide(program), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                       nullptr, &startup.StartupInfo, &process);
    const Status failure = created ? Status() : lastFailure();
    if (marked) SetEnvironmentVariableW(wide(markerVariable), nullptr);
    DeleteProcThreadAttributeList(list);
    if (!created) return failure;
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    if (!wait) return {};
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(processHandle.get(), &code)) return lastFailure();
    exitCode = static_cast<std::int32_t>(code);
    return {};
}

InstanceChannelOpening Win32Platform::openInstanceChannel(const WideString& instanceName) {
    InstanceChannelOpening opening;
    opening.channel = openWin32InstanceChannel(instanceName, opening.isPrimary);
    return opening;
}

void Win32Platform::sleepMilliseconds(std::uint32_t ms) { Sleep(ms); }

void Win32Platform::sleepForever() {
    for (;;) Sleep(INFINITE);
}

Status Win32Platform::fileStatus(const WideString& path, FileStatus& status) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return lastFailure();
    status.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.modified = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    status.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {};
}

// Only the kind is read here; owner and writers are taken as the user's own
// and no one else's, so the check passes for every real file or folder. The
// paths asked about lie below the user's local application data, which the
// profile's access list closes to other users. Reading the owner would not
// tell more: a folder made by an elevated start is owned by the
// Administrators group, not by the user, and who else may write is decided
// by the whole access list, not by the owner.
Status Win32Platform::pathAccess(const WideString& path, PathAccess& access) {
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastFailure();
    access.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    access.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    access.ownedByUser = true;
    access.othersMayWrite = false;
    return {};
}

// Nothing to take away: a file inherits the access list of its folder, and
// pathAccess reports no other writers.
Status Win32Platform::revokeOthersWrite(const WideString& path) {
    if (GetFileAttributesW(wide(path)) == INVALID_FILE_ATTRIBUTES) return lastFailure();
    return {};
}

std::int32_t Win32Platform::createNewFile(const WideString& path) {
    KernelHandle file(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS ? kErrorAlreadyExists : static_cast<std::int32_t>(error);
}

Status Win32Platform::renameFile(const WideString& from, const WideString& to) {
    if (MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING)) return {};
    return lastFailure();
}

// Shared, so that two starts writing one trace file both get their lines in.
// A new file inherits the access list of its folder (for %TEMP% the user's
// own). FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link or junction
// itself instead of its target; such an entry is refused before anything
// is written.
Status Win32Platform::appendToFile(const WideString& path, const WideString& text) {
    return appendBytes(path, toUtf8(text));
}

Status Win32Platform::appendBytes(const WideString& path, std::string_view bytes) {
    KernelHandle file(CreateFileW(wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return lastFailure();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) return lastFailure();
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Status::failure(kStoppedOnSymlink);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return lastFailure();
    return Status::fromCode(written == bytes.size() ? 0 : ERROR_DISK_FULL);
}

bool Win32Platform::freeSpace(const WideString& path, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(wide(path), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

bool Win32Platform::shortPathName(const WideString& path, WideString& out) {
    DWORD size = GetShortPathNameW(wide(path), nullptr, 0);
    // A second round only when the name grew between the two calls.
    for (int round = 0; size != 0 && round < 2; ++round) {
        std::wstring buffer(size, L'\0');
        const DWORD length = GetShortPathNameW(wide(path), buffer.data(), size);
        if (length == 0) return false;
        if (length < size) {
            out = fromWide(buffer.data(), length);
            return true;
        }
        size = length;
    }
    return false;
}

}  // namespace kite
