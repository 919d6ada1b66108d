#include "brand/file_access.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace kite::brand {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string reason(const std::error_code& error) {
    return error ? ": " + error.message() : std::string();
}

}  // namespace

Result<Bytes> StandardFileAccess::readFile(const std::string& path, std::size_t maxBytes) {
    const fs::path file = toPath(path);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        return fail(path + ": no such file" + reason(error));
    }
    const auto size = fs::file_size(file, error);
    if (error) {
        return fail(path + ": cannot read its size" + reason(error));
    }
    if (size > maxBytes) {
        return fail(path + ": larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB");
    }
    std::ifstream in(file, std::ios::binary);
    Bytes content(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()))) {
        return fail(path + ": cannot be read");
    }
    return content;
}

bool StandardFileAccess::sameFile(const std::string& first, const std::string& second) {
    std::error_code error;
    const fs::path a = fs::weakly_canonical(fs::absolute(toPath(first), error), error);
    const fs::path b = fs::weakly_canonical(fs::absolute(toPath(second), error), error);
    if (a == b) {
        return true;
    }
    std::error_code ignored;
    return fs::exists(toPath(first), ignored) && fs::exists(toPath(second), ignored) &&
           fs::equivalent(toPath(first), toPath(second), ignored);
}

Status StandardFileAccess::replaceFile(const std::string& path, ByteView content, const std::string& permissionsOf) {
    const fs::path target = toPath(path);
    std::error_code error;
    if (fs::is_directory(target, error)) {
        return fail(path + ": is a folder");
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) {
        return fail(path + ": the folder " + shown(folder) + " does not exist");
    }
    std::random_device random;
    fs::path temporary;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string number = std::to_string(random());
        std::u8string name = target.filename().u8string() + u8".kite-brand-";
        name.append(number.begin(), number.end());
        temporary = folder / (name + u8".tmp");
        if (!fs::exists(temporary, error)) {
            break;
        }
    }
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return fail(path + ": cannot create a file in " + shown(folder));
        }
        out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            return fail(path + ": writing failed (disk full?)");
        }
    }
    const auto permissions = fs::status(toPath(permissionsOf), error).permissions();
    if (!error) {
        fs::permissions(temporary, permissions, error);
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return fail(path + ": cannot be replaced" + reason(error));
    }
    return Done{};
}

}  // namespace kite::brand
