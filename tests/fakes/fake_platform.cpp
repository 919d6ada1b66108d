#include "fake_platform.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "foundation/path_helpers.h"
#include "platform/common/ini_text.h"
#include "platform/common/percent_expansion.h"

namespace kite::testing {

namespace {

char16_t fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool wildcardMatch(const WideString& pattern, const WideString& name, bool ignoreCase) {
    std::size_t p = 0, n = 0, star = WideString::npos, mark = 0;
    auto same = [&](char16_t a, char16_t b) { return ignoreCase ? fold(a) == fold(b) : a == b; };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star != WideString::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

class FakeMappedFile : public MappedFile {
public:
    explicit FakeMappedFile(std::string bytes) : bytes_(std::move(bytes)) {}
    const std::uint8_t* data() const override { return reinterpret_cast<const std::uint8_t*>(bytes_.data()); }
    std::size_t size() const override { return bytes_.size(); }

private:
    std::string bytes_;
};

struct FakeRegistryHandle : RegistryHandle {
    std::vector<WideString> subKeys;
    std::map<WideString, std::vector<std::uint8_t>> values;
    bool subKeyName(std::uint32_t index, WideString& name) override {
        if (index >= subKeys.size()) return false;
        name = subKeys[index];
        return true;
    }
    bool valueBytes(const WideString& name, std::vector<std::uint8_t>& bytes) override {
        auto it = values.find(folded(name));
        if (it == values.end()) return false;
        bytes = it->second;
        return true;
    }
};

class FakeThread : public ThreadHandle {
public:
    explicit FakeThread(std::uint32_t code) : code_(code) {}
    std::uint32_t join() override { return code_; }

private:
    std::uint32_t code_;
};

}  // namespace

WideString folded(const WideString& text) {
    WideString out = text;
    for (char16_t& c : out) c = fold(c);
    return out;
}

std::string utf8(const WideString& text) { return toUtf8(text); }
WideString wide(const std::string& utf8Text) { return fromUtf8(utf8Text); }

WideString FakeFileSystem::key(const WideString& path) const {
    WideString out = path;
    if (osStyle == OsStyle::Posix) {
        for (char16_t& c : out)
            if (c == u'\\') c = u'/';
    } else {
        out = folded(out);
    }
    while (out.size() > 1 && (out.back() == u'\\' || out.back() == u'/')) out.pop_back();
    return out;
}

void FakeFileSystem::addFile(const WideString& path, const std::string& bytes) {
    const WideString k = key(path);
    files[k] = bytes;
    const std::size_t slash = k.find_last_of(u"\\/");
    if (slash != WideString::npos && slash > 0) addDirectory(k.substr(0, slash));
}

void FakeFileSystem::addDirectory(const WideString& path) {
    WideString k = key(path);
    while (!k.empty()) {
        directories.insert(k);
        const std::size_t slash = k.find_last_of(u"\\/");
        if (slash == WideString::npos || slash == 0) break;
        k = k.substr(0, slash);
    }
}

bool FakeFileSystem::findFiles(const WideString& pattern, WideStringList& names) {
    names.clear();
    const WideString k = key(pattern);
    const std::size_t slash = k.find_last_of(osStyle == OsStyle::Posix ? u"/" : u"\\");
    const WideString directory = slash == WideString::npos ? WideString() : k.substr(0, slash);
    const WideString last = slash == WideString::npos ? k : k.substr(slash + 1);
    const bool ignoreCase = osStyle == OsStyle::Windows;
    const char16_t separator = osStyle == OsStyle::Posix ? u'/' : u'\\';
    auto consider = [&](const WideString& entry) {
        const std::size_t s = entry.find_last_of(separator);
        if (s == WideString::npos) return;
        if (entry.substr(0, s) != directory) return;
        const WideString name = entry.substr(s + 1);
        if (wildcardMatch(last, name, ignoreCase)) names.append(name);
    };
    if (osStyle == OsStyle::Windows && directories.count(directory) && last.find_first_of(u"*?") != WideString::npos) {
        if (wildcardMatch(last, u".", true)) names.append(u".");
        if (wildcardMatch(last, u"..", true)) names.append(u"..");
    }
    for (const auto& [path, bytes] : files) consider(path);
    for (const WideString& path : directories) consider(path);
    return !names.empty();
}

Status FakeFileSystem::createDirectory(const WideString& path) {
    const WideString k = key(path);
    if (failingDirectories.count(k)) return Status::failure(5);
    if (directories.count(k) || files.count(k)) return Status::failure(kErrorAlreadyExists);
    const std::size_t slash = k.find_last_of(osStyle == OsStyle::Posix ? u"/" : u"\\");
    if (slash != WideString::npos && slash > 0) {
        const WideString parent = k.substr(0, slash);
        const bool isRoot = parent.size() == 2 && parent[1] == u':';
        if (!isRoot && !directories.count(parent)) return Status::failure(3);  // path not found
    }
    directories.insert(k);
    return {};
}

Status FakeFileSystem::createPrivateDirectory(const WideString& path) {
    const Status result = createDirectory(path);
    if (result) privateDirectories.insert(key(path));
    return result;
}

std::int32_t FakeFileSystem::readFileHead(const WideString& path, std::uint8_t (&head)[4]) {
    auto it = files.find(key(path));
    if (it == files.end()) return 2;
    for (std::size_t i = 0; i < 4 && i < it->second.size(); ++i) head[i] = static_cast<std::uint8_t>(it->second[i]);
    return 0;
}

std::unique_ptr<MappedFile> FakeFileSystem::mapFile(const WideString& path) {
    auto it = files.find(key(path));
    if (it == files.end() || it->second.empty()) return nullptr;
    return std::make_unique<FakeMappedFile>(it->second);
}

Status FakeFileSystem::fileStatus(const WideString& path, FileStatus& status) {
    const WideString k = key(path);
    status = {};
    if (directories.count(k)) {
        status.isFolder = true;
        return {};
    }
    auto it = files.find(k);
    if (it == files.end()) return Status::failure(2);
    status.size = it->second.size();
    return {};
}

Status FakeFileSystem::pathAccess(const WideString& path, PathAccess& access) {
    const WideString k = key(path);
    if (auto it = pathAccesses.find(k); it != pathAccesses.end()) {
        access = it->second;
        return {};
    }
    if (!directories.count(k) && !files.count(k)) return Status::failure(2);
    access = {};
    access.isFolder = directories.count(k) > 0;
    access.ownedByUser = true;
    return {};
}

Status FakeFileSystem::revokeOthersWrite(const WideString& path) {
    const WideString k = key(path);
    if (!files.count(k)) return Status::failure(2);
    if (auto it = pathAccesses.find(k); it != pathAccesses.end()) it->second.othersMayWrite = false;
    return {};
}

std::int32_t FakeFileSystem::createNewFile(const WideString& path) {
    const WideString k = key(path);
    if (files.count(k) || directories.count(k)) return kErrorAlreadyExists;
    const std::size_t slash = k.find_last_of(osStyle == OsStyle::Posix ? u"/" : u"\\");
    if (slash == WideString::npos || !directories.count(k.substr(0, slash)) || failingDirectories.count(k.substr(0, slash)))
        return 5;
    files[k];
    return 0;
}

Status FakeFileSystem::renameFile(const WideString& from, const WideString& to) {
    auto it = files.find(key(from));
    if (it == files.end()) return Status::failure(2);
    std::string bytes = std::move(it->second);
    files.erase(it);
    files[key(to)] = std::move(bytes);
    return {};
}

WideString FakeFileSystem::profileString(const WideString& file, const WideString& section, const WideString& k) {
    auto it = files.find(key(file));
    if (it == files.end()) return {};
    return ini::value(ini::parse(it->second), section, k);
}

WideStringList FakeFileSystem::profileSectionNames(const WideString& file) {
    auto it = files.find(key(file));
    if (it == files.end()) return {};
    return ini::sectionNames(ini::parse(it->second));
}

bool FakeFileSystem::writeProfileString(const WideString& file, const WideString& section, const WideString& k,
                                      const WideString& value) {
    const WideString path = key(file);
    const std::size_t slash = path.find_last_of(osStyle == OsStyle::Posix ? u"/" : u"\\");
    if (slash != WideString::npos && !directories.count(path.substr(0, slash))) return false;
    ini::Document document = ini::parse(files.count(path) ? files[path] : std::string());
    ini::setValue(document, section, k, value);
    files[path] = ini::serialize(document);
    return true;
}

std::map<WideString, WideString>::iterator FakeEnvironment::find(const WideString& name, bool ignoreCase) {
    return std::find_if(environment.begin(), environment.end(), [&](const auto& entry) {
        return ignoreCase ? folded(entry.first) == folded(name) : entry.first == name;
    });
}

std::vector<std::string> FakeEnvironment::stderrLines() const {
    std::vector<std::string> lines;
    std::istringstream in(stderrText);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool FakeEnvironment::getEnvironment(const WideString& name, WideString& value) {
    const auto it = find(name, style_ == OsStyle::Windows);
    if (it == environment.end()) return false;
    value = it->second;
    return true;
}

void FakeEnvironment::setEnvironment(const WideString& name, const WideString& value) {
    if (const auto it = find(name, style_ == OsStyle::Windows); it != environment.end()) environment.erase(it);
    environment[name] = value;
}

bool FakeEnvironment::expandEnvironment(WideString& text) {
    text = expandPercentReferences(text, [this](const WideString& name, WideString& value) {
        const auto it = find(name, true);
        if (it != environment.end()) value = it->second;
        return it != environment.end();
    });
    return true;
}

bool FakeEnvironment::absolutePath(const WideString& path, WideString& out) {
    if (isAbsolutePath(style_, path)) {
        out = path;
        return true;
    }
    if (currentDirectory.empty()) return false;
    const char16_t separator = style_ == OsStyle::Windows ? u'\\' : u'/';
    out = currentDirectory;
    if (out.back() != separator) out += separator;
    out += path;
    return true;
}

void FakeRegistry::ensureRegistryKey(const WideString& keyPath, bool otherView) {
    auto& view = registry_[otherView ? 1 : 0];
    WideString path = folded(keyPath);
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    WideString original = keyPath;
    while (!original.empty() && original.back() == u'\\') original.pop_back();
    if (view.count(path)) return;
    view[path];
    const std::size_t slash = path.rfind(u'\\');
    if (slash == WideString::npos) return;
    ensureRegistryKey(original.substr(0, slash), otherView);
    view[path.substr(0, slash)].subKeys.push_back(original.substr(slash + 1));
}

void FakeRegistry::addRegistryString(const WideString& keyPath, const WideString& name, const WideString& value,
                                     bool otherView) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : value) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    addRegistryBytes(keyPath, name, std::move(bytes), otherView);
}

void FakeRegistry::addRegistryBytes(const WideString& keyPath, const WideString& name,
                                    std::vector<std::uint8_t> bytes, bool otherView) {
    ensureRegistryKey(keyPath, otherView);
    WideString path = folded(keyPath);
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    registry_[otherView ? 1 : 0][path].values[folded(name)] = std::move(bytes);
}

std::unique_ptr<RegistryHandle> FakeRegistry::openRegistryKey(const WideString& path, bool otherView) {
    if (style_ == OsStyle::Posix) return nullptr;
    WideString k = folded(path);
    while (!k.empty() && k.back() == u'\\') k.pop_back();
    auto& view = registry_[otherView ? 1 : 0];
    auto it = view.find(k);
    if (it == view.end()) return nullptr;
    auto handle = std::make_unique<FakeRegistryHandle>();
    handle->subKeys = it->second.subKeys;
    handle->values = it->second.values;
    return handle;
}

Status FakeProcesses::loadLibrary(const WideString& path, void*& library) {
    auto it = libraries.find(files_.key(path));
    library = it == libraries.end() ? nullptr : it->second;
    return Status::fromCode(library ? 0 : 126);
}

std::unique_ptr<ThreadHandle> FakeProcesses::startThread(std::function<std::uint32_t()> body,
                                                         std::uint32_t stackSize) {
    if (threadsFail) return nullptr;
    lastThreadStackSize = stackSize;
    return std::make_unique<FakeThread>(body());
}

void FakeProcesses::sleepForever() { throw std::runtime_error("sleepForever called"); }

Status FakeFileSystem::appendToFile(const WideString& path, const WideString& text) {
    return appendBytes(path, toUtf8(text));
}

Status FakeFileSystem::appendBytes(const WideString& path, std::string_view bytes) {
    const WideString k = key(path);
    if (directories.count(k)) return Status::failure(5);
    if (auto it = pathAccesses.find(k); it != pathAccesses.end() && it->second.isLink) return Status::failure(40);
    files[k] += bytes;
    return {};
}

bool FakeFileSystem::shortPathName(const WideString& path, WideString& out) {
    for (const auto& [longPath, shortPath] : shortPaths) {
        if (key(longPath) != key(path)) continue;
        out = shortPath;
        return true;
    }
    return false;
}

std::string FakeEnvironment::narrowText(const WideString& text) {
    if (narrowLimit == 0xFFFF) return toUtf8(text);
    WideString kept = text;
    for (char16_t& c : kept) {
        if (c > narrowLimit) c = u'?';
    }
    return toUtf8(kept);
}

}  // namespace kite::testing
