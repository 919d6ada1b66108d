#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <langinfo.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <vector>

#include "foundation/utf.h"
#include "platform/common/date_pictures.h"
#include "platform/common/ini_text.h"
#include "platform/common/percent_expansion.h"
#include "platform/posix/posix_descriptor.h"
#include "platform/posix/posix_instance_channel.h"

extern char** environ;

namespace kite {

namespace {

thread_local std::int32_t tlsLastError = 0;

void setError(int error) { tlsLastError = error; }

bool localeIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

class PosixMappedFile : public MappedFile {
public:
    PosixMappedFile(void* data, std::size_t size) : data_(data), size_(size) {}
    ~PosixMappedFile() override { munmap(data_, size_); }
    const std::uint8_t* data() const override { return static_cast<const std::uint8_t*>(data_); }
    std::size_t size() const override { return size_; }

private:
    void* data_;
    std::size_t size_;
};

struct ThreadStart {
    std::function<std::uint32_t()> body;
};

void* threadEntry(void* argument) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    const std::uint32_t code = start->body();
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(code));
}

class PosixThread : public ThreadHandle {
public:
    explicit PosixThread(pthread_t thread) : thread_(thread) {}
    ~PosixThread() override {
        if (!joined_) pthread_detach(thread_);
    }
    std::uint32_t join() override {
        void* result = nullptr;
        pthread_join(thread_, &result);
        joined_ = true;
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(result));
    }

private:
    pthread_t thread_;
    bool joined_ = false;
};

// Plain system calls rather than a file stream: the streams' locale
// machinery would cost the start a few hundred kilobytes of resident pages.
// Reads a settings file whole: 0, or the error number (ENOENT for a missing
// file, EFBIG for one over the settings files' size limit, which is not read).
int readSettingsFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    char chunk[8192];
    for (;;) {
        const ssize_t n = read(fd.get(), chunk, sizeof chunk);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > ini::kMaxFileBytes) {
            bytes.clear();
            return EFBIG;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

// Writes bytes to a new file beside the requested one and renames it over
// that file, so that a crash leaves the old file or the new one, never a cut
// one. An existing file keeps its permission bits; through a symbolic link
// the file it points to is replaced. Returns 0 or the error number.
int replaceFile(const std::string& requested, const std::string& bytes) {
    std::string path = requested;
    mode_t mode = 0666;  // narrowed by the umask for a new file
    struct stat info {};
    const bool existing = stat(requested.c_str(), &info) == 0;
    if (existing) {
        // A file the user may not write stays as it is, as on Windows.
        if (access(requested.c_str(), W_OK) != 0) return errno;
        mode = info.st_mode & 07777;
        if (char* resolved = realpath(requested.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    int error = 0;
    {
        Descriptor file(fd);
        if (existing) fchmod(fd, mode);  // the umask may have narrowed it
        for (std::size_t written = 0; written < bytes.size() && error == 0;) {
            const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
            if (count < 0 && errno != EINTR) error = errno;
            if (count > 0) written += static_cast<std::size_t>(count);
        }
        // The bytes must be on the disk before the name points at them.
        if (error == 0 && fsync(fd) != 0) error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) unlink(temporary.c_str());
    return error;
}

}  // namespace

PosixPlatform::PosixPlatform(int argc, char** argv) : Platform(*this, *this, *this, *this, *this, *this) {
    for (int i = 0; i < argc; ++i) rawArguments_.emplace_back(argv[i] ? argv[i] : "");
}

std::uint16_t PosixPlatform::imageMachine() const {
    // The ELF machine of this build: the JVM library must be loadable by it.
#if defined(__x86_64__)
    return 62;  // EM_X86_64
#elif defined(__aarch64__)
    return 183;  // EM_AARCH64
#elif defined(__i386__)
    return 3;  // EM_386
#else
    return 0;
#endif
}

// Only the character type matters: it decides how narrowText and widenText
// convert. Loading every category would read a dozen locale files for nothing.
void PosixPlatform::initLocale() { std::setlocale(LC_CTYPE, ""); }

WideString PosixPlatform::commandLine() {
    WideString line;
    for (std::size_t i = 0; i < rawArguments_.size(); ++i) {
        if (i > 0) line += u' ';
        line += widenText(rawArguments_[i]);
    }
    return line;
}

bool PosixPlatform::argumentVector(WideStringList& out) {
    out.clear();
    for (std::size_t i = 1; i < rawArguments_.size(); ++i) out.append(widenText(rawArguments_[i]));
    return true;
}

Status PosixPlatform::modulePath(WideString& out) {
    // The executable does not move while it runs: ask the kernel once.
    if (!modulePath_.empty()) {
        out = modulePath_;
        return {};
    }
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return Status::failure(errno);
    buffer.resize(static_cast<std::size_t>(length));
    modulePath_ = widenText(buffer);
    out = modulePath_;
    return {};
}

std::int32_t PosixPlatform::lastError() { return tlsLastError; }

void PosixPlatform::writeStdout(const WideString& text) {
    const std::string bytes = toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void PosixPlatform::writeStderr(const WideString& text) {
    const std::string bytes = toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

void PosixPlatform::writeVmStream(void* stream, const char* data, std::size_t size) {
    // The JVM and this process share the C library, and with it the FILE*.
    std::FILE* file = static_cast<std::FILE*>(stream);
    std::fwrite(data, 1, size, file);
    std::fflush(file);
}

std::string PosixPlatform::narrowText(const WideString& text) {
    if (text.empty()) return {};
    if (localeIsUtf8()) return toUtf8(text);
    // Another code set: convert character by character, '?' where it has none.
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        const std::size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
        if (n == static_cast<std::size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
        } else {
            out.append(buffer, n);
        }
    }
    return out;
}

WideString PosixPlatform::widenText(const std::string& text) {
    if (text.empty()) return {};
    if (localeIsUtf8()) return fromUtf8(text);
    WideString out;
    std::mbstate_t state{};
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, p, left, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
            ++p;
            --left;
            state = std::mbstate_t{};
            continue;
        }
        const std::size_t used = n == 0 ? 1 : n;
        const auto cp = static_cast<char32_t>(wc);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        p += used;
        left -= used;
    }
    return out;
}

bool PosixPlatform::getEnvironment(const WideString& name, WideString& value) {
    const char* found = std::getenv(narrowText(name).c_str());
    if (!found) return false;
    value = widenText(found);
    return true;
}

void PosixPlatform::setEnvironment(const WideString& name, const WideString& value) {
    setenv(narrowText(name).c_str(), narrowText(value).c_str(), 1);
}

bool PosixPlatform::expandEnvironment(WideString& text) {
    text = expandPercentReferences(text, [this](const WideString& name, WideString& value) {
        if (getEnvironment(name, value)) return true;
        // Names are compared without regard to letter case, as on Windows.
        const std::string wanted = narrowText(name);
        for (char** entry = environ; entry && *entry; ++entry) {
            const char* eq = std::strchr(*entry, '=');
            if (!eq || static_cast<std::size_t>(eq - *entry) != wanted.size()) continue;
            if (strncasecmp(*entry, wanted.c_str(), wanted.size()) == 0) {
                value = widenText(eq + 1);
                return true;
            }
        }
        return false;
    });
    return true;
}

bool PosixPlatform::setCurrentDirectory(const WideString& path) {
    if (chdir(systemPath(path).c_str()) != 0) {
        setError(errno);
        return false;
    }
    return true;
}

bool PosixPlatform::absolutePath(const WideString& path, WideString& out) {
    const std::string native = systemPath(path);
    if (!native.empty() && native.front() == '/') {
        out = widenText(native);
        return true;
    }
    // Joined to the current folder as it is, symbolic links kept: the
    // runtime's own files are found below the name the user gave.
    std::string current(256, '\0');
    while (getcwd(current.data(), current.size()) == nullptr) {
        if (errno != ERANGE || current.size() > (1u << 20)) {
            setError(errno);
            return false;
        }
        current.resize(current.size() * 2);
    }
    current.resize(std::strlen(current.c_str()));
    if (current.back() != '/') current += '/';
    out = widenText(current + native);
    return true;
}

LocalTime PosixPlatform::localTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.dayOfWeek = parts.tm_wday;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return time;
}

bool PosixPlatform::formatTime(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatTimePicture(picture, time, out);
}

bool PosixPlatform::formatDate(const WideString& picture, const LocalTime& time, WideString& out) {
    return formatDatePicture(picture, time, out);
}

std::int64_t PosixPlatform::secondsSinceEpoch() { return static_cast<std::int64_t>(std::time(nullptr)); }

MemoryFigures PosixPlatform::memoryFigures() {
    MemoryFigures figures;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        figures.totalPhysical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        figures.availableVirtual = static_cast<std::uint64_t>(limit.rlim_cur);
    } else {
        figures.availableVirtual = figures.totalPhysical;
    }
    return figures;
}

std::string PosixPlatform::systemPath(const WideString& path) {
    WideString native = path;
    for (char16_t& c : native) {
        if (c == u'\\') c = u'/';
    }
    return narrowText(native);
}

bool PosixPlatform::fileExists(const WideString& path) {
    WideStringList names;
    return findFiles(path, names) && !names.empty();
}

bool PosixPlatform::findFiles(const WideString& pattern, WideStringList& names) {
    names.clear();
    const std::string native = systemPath(pattern);
    if (native.empty()) return false;
    const std::size_t slash = native.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
    const std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
    if (last.find_first_of("*?") == std::string::npos) {
        struct stat info {};
        if (last.empty() || lstat(native.c_str(), &info) != 0) {
            setError(errno);
            return false;
        }
        names.append(widenText(last));
        return true;
    }
    DIR* dir = opendir(directory.c_str());
    if (!dir) {
        setError(errno);
        return false;
    }
    std::vector<std::string> matches;
    while (const dirent* entry = readdir(dir)) {
        // Only '*' and '?' are wildcards, as in a Windows directory search.
        if (fnmatch(last.c_str(), entry->d_name, FNM_NOESCAPE) == 0) matches.emplace_back(entry->d_name);
    }
    closedir(dir);
    // readdir's order depends on the file system's history; sorted names give
    // the same class path on every machine, as a Windows (NTFS) search does.
    std::sort(matches.begin(), matches.end());
    for (const std::string& match : matches) names.append(widenText(match));
    if (names.empty()) setError(ENOENT);
    return !names.empty();
}

Status PosixPlatform::createDirectory(const WideString& path) {
    if (mkdir(systemPath(path).c_str(), 0777) == 0) return {};
    return Status::fromCode(errno == EEXIST ? kErrorAlreadyExists : errno);
}

// The umask can only take permissions away, so 0700 stays 0700.
Status PosixPlatform::createPrivateDirectory(const WideString& path) {
    if (mkdir(systemPath(path).c_str(), 0700) == 0) return {};
    return Status::fromCode(errno == EEXIST ? kErrorAlreadyExists : errno);
}

bool PosixPlatform::removeDirectory(const WideString& path) {
    if (rmdir(systemPath(path).c_str()) == 0) return true;
    setError(errno);
    return false;
}

bool PosixPlatform::deleteFile(const WideString& path) {
    if (unlink(systemPath(path).c_str()) == 0) return true;
    setError(errno);
    return false;
}

std::int32_t PosixPlatform::readFileHead(const WideString& path, std::uint8_t (&head)[4]) {
    Descriptor fd(open(systemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    if (read(fd.get(), head, sizeof head) < 0) return errno;
    return 0;
}

std::unique_ptr<MappedFile> PosixPlatform::mapFile(const WideString& path) {
    Descriptor fd(open(systemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        setError(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return nullptr;
    const auto size = static_cast<std::size_t>(info.st_size);
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (data == MAP_FAILED) {
        setError(errno);
        return nullptr;
    }
    return std::make_unique<PosixMappedFile>(data, size);
}

Status PosixPlatform::fileStatus(const WideString& path, FileStatus& status) {
    struct stat info {};
    if (stat(systemPath(path).c_str(), &info) != 0) return Status::failure(errno);
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 10000000u +
                      static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u;
    status.isFolder = S_ISDIR(info.st_mode);
    return {};
}

Status PosixPlatform::pathAccess(const WideString& path, PathAccess& access) {
    struct stat info {};
    if (lstat(systemPath(path).c_str(), &info) != 0) return Status::failure(errno);
    access.isLink = S_ISLNK(info.st_mode);
    access.isFolder = S_ISDIR(info.st_mode);
    // Files this process creates belong to its effective user.
    access.ownedByUser = info.st_uid == geteuid();
    access.othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return {};
}

Status PosixPlatform::revokeOthersWrite(const WideString& path) {
    const std::string name = systemPath(path);
    struct stat info {};
    if (lstat(name.c_str(), &info) != 0) return Status::failure(errno);
    if (!S_ISREG(info.st_mode)) return Status::failure(EINVAL);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0) return {};
    if (chmod(name.c_str(), info.st_mode & 07755) != 0) return Status::failure(errno);
    return {};
}

std::int32_t PosixPlatform::createNewFile(const WideString& path) {
    Descriptor fd(open(systemPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() >= 0) return 0;
    const int error = errno;
    setError(error);
    return error == EEXIST ? kErrorAlreadyExists : error;
}

Status PosixPlatform::renameFile(const WideString& from, const WideString& to) {
    if (rename(systemPath(from).c_str(), systemPath(to).c_str()) == 0) return {};
    return Status::failure(errno);
}

// The trace file holds paths and options of the machine: a new one is the
// user's alone. O_NOFOLLOW makes a symbolic link at the path fail with
// ELOOP, so that no one can send the lines into another file of the user's.
Status PosixPlatform::appendToFile(const WideString& path, const WideString& text) {
    return appendBytes(path, toUtf8(text));
}

Status PosixPlatform::appendBytes(const WideString& path, std::string_view bytes) {
    Descriptor fd(open(systemPath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) return Status::failure(errno);
    const ssize_t written = write(fd.get(), bytes.data(), bytes.size());
    if (written < 0) return Status::failure(errno);
    return Status::fromCode(written == static_cast<ssize_t>(bytes.size()) ? 0 : ENOSPC);
}

bool PosixPlatform::freeSpace(const WideString& path, std::uint64_t& bytes) {
    struct statvfs info {};
    if (statvfs(systemPath(path).c_str(), &info) != 0) {
        setError(errno);
        return false;
    }
    bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

// Paths are bytes here: there is no other form of one.
bool PosixPlatform::shortPathName(const WideString&, WideString&) { return false; }

const ini::Document& PosixPlatform::profile(const WideString& file) {
    return profiles_.document(file, [this](const WideString& path) {
        std::string bytes;
        // A missing, unreadable or oversized file reads as a file without sections.
        if (readSettingsFile(systemPath(path), bytes) != 0) return ini::Document{};
        return ini::parse(bytes);
    });
}

WideString PosixPlatform::profileString(const WideString& file, const WideString& section, const WideString& key) {
    return ini::value(profile(file), section, key);
}

WideStringList PosixPlatform::profileSectionNames(const WideString& file) {
    return ini::sectionNames(profile(file));
}

bool PosixPlatform::writeProfileString(const WideString& file, const WideString& section, const WideString& key,
                                       const WideString& value) {
    profiles_.forget(file);
    const std::string path = systemPath(file);
    std::string bytes;
    // A file that exists but cannot be read whole is left as it is: writing
    // the one key alone would lose everything else in it.
    if (const int error = readSettingsFile(path, bytes); error != 0 && error != ENOENT) {
        setError(error);
        return false;
    }
    ini::Document document = ini::parse(bytes);
    ini::setValue(document, section, key, value);
    const int error = replaceFile(path, ini::serialize(document));
    if (error != 0) setError(error);
    return error == 0;
}

std::unique_ptr<RegistryHandle> PosixPlatform::openRegistryKey(const WideString&, bool) { return nullptr; }

// runtimeNotFoundDialog: terminal_prompt.cpp.

Status PosixPlatform::loadLibrary(const WideString& path, void*& library) {
    errno = 0;
    library = dlopen(systemPath(path).c_str(), RTLD_NOW | RTLD_GLOBAL);
    // dlopen leaves errno as the failing open set it; a file that opens but
    // is no loadable library leaves no code, and ENOEXEC says what happened.
    if (!library) return Status::failure(errno != 0 ? errno : ENOEXEC);
    return {};
}

Status PosixPlatform::findSymbol(void* library, const char* name, void*& symbol) {
    symbol = dlsym(library, name);
    return symbol != nullptr ? Status() : Status::failure(ENOENT);
}

std::unique_ptr<ThreadHandle> PosixPlatform::startThread(std::function<std::uint32_t()> body,
                                                         std::uint32_t stackSize) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize > 0) {
        std::size_t size = stackSize;
        if (size < static_cast<std::size_t>(PTHREAD_STACK_MIN)) size = PTHREAD_STACK_MIN;
        pthread_attr_setstacksize(&attributes, size);
    }
    auto* start = new ThreadStart{std::move(body)};
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, threadEntry, start);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete start;
        setError(result);
        return nullptr;
    }
    return std::make_unique<PosixThread>(thread);
}

std::int32_t PosixPlatform::startPairedProcess(const WideString& program, bool wait) {
    // The same argument vector, program name included, as this process received.
    std::vector<char*> argv;
    for (std::string& argument : rawArguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, systemPath(program).c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
    if (!wait) return 0;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 0;
    }
    if (WIFEXITED(status)) return static_cast<std::int32_t>(static_cast<std::int8_t>(WEXITSTATUS(status)));
    // A child ended by a signal gives 128 + the signal number, as shells report it.
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

Status PosixPlatform::restartOwnExecutable() {
    WideString program;
    if (const Status found = modulePath(program); !found) return found;
    // The same argument vector, program name included, as this process received.
    std::vector<char*> argv;
    for (std::string& argument : rawArguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return Status::fromCode(ENOMEM);
    // The JVM's own descriptors (the application's files and sockets) are
    // not all close-on-exec; the new process gets the standard three only.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t child = 0;
    const int started = posix_spawn(&child, systemPath(program).c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return Status::fromCode(started);
}

Status PosixPlatform::startQuietProcess(const WideString& program, const WideStringList& arguments,
                                        const WideString& markerVariable, bool wait, std::int32_t& exitCode) {
    std::vector<std::string> texts{systemPath(program)};
    for (const WideString& argument : arguments) texts.push_back(toUtf8(argument));
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::string marker = markerVariable.empty() ? std::string() : toUtf8(markerVariable) + "=1";
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
    if (!marker.empty()) envp.push_back(marker.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) return Status::fromCode(ENOMEM);
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return Status::fromCode(ENOMEM);
    }
    for (int fd = 0; fd < 3; ++fd) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // The JVM's own descriptors (the application's files and sockets) are
    // not all close-on-exec; the child must hold none of them.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // Its own session: no terminal, and no signal sent to this process's group.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    const int started = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (started != 0) return Status::fromCode(started);
    if (!wait) return {};
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return Status::fromCode(errno);
    }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return {};
}

InstanceChannelOpening PosixPlatform::openInstanceChannel(const WideString& instanceName) {
    return openPosixInstanceChannel(instanceName);
}

void PosixPlatform::sleepMilliseconds(std::uint32_t ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

void PosixPlatform::sleepForever() {
    for (;;) pause();
}

}  // namespace kite
