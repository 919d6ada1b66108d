// Class-path assembly through \lib\*.jar with 1,000 and 10,000 real (empty)
// jar files in a temporary folder, on the real Linux platform: the directory
// search, the entry list, the joined text and its narrow form. Prints the
// best time per 1,000 entries for both sizes and their ratio; linear
// assembly gives a ratio near 1.
//
// Usage: class_path_bench [repetitions]   (default 7)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "jvm/option_assembly.h"
#include "platform/posix/posix_platform.h"
#include "settings/settings_store.h"

namespace {

namespace fs = std::filesystem;

// The real platform, with the executable placed in the benchmark's folder.
class BenchPlatform : public kite::PosixPlatform {
public:
    BenchPlatform(int argc, char** argv, kite::WideString executable)
        : PosixPlatform(argc, argv), executable_(std::move(executable)) {}
    kite::Status modulePath(kite::WideString& out) override {
        out = executable_;
        return {};
    }

private:
    kite::WideString executable_;
};

kite::WideString wide(const std::string& text) { return kite::WideString(text.begin(), text.end()); }

// Best milliseconds of one assembly over the repetitions; entries reports its size.
double assemble(kite::Platform& platform, const fs::path& settings, int repetitions, std::size_t& entries) {
    kite::IniSettingsStore store(platform, wide(settings.string()));
    double best = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const kite::WideStringList classPath = kite::buildClassPath(platform, store);
        const std::string option =
            platform.env.narrowText(u"-Djava.class.path=" + kite::classPathText(platform.style(), classPath));
        const auto stop = std::chrono::steady_clock::now();
        entries = classPath.size();
        if (option.size() < entries) std::abort();
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path root = fs::temp_directory_path() / ("kite-class-path-bench-" + std::to_string(stamp));
    double perThousand[2] = {};
    const std::size_t sizes[2] = {1000, 10000};
    for (int s = 0; s < 2; ++s) {
        const fs::path folder = root / std::to_string(sizes[s]);
        fs::create_directories(folder / "lib");
        for (std::size_t i = 0; i < sizes[s]; ++i) {
            std::ofstream(folder / "lib" / ("library-module-" + std::to_string(i) + ".jar"));
        }
        std::ofstream(folder / "app.ini") << "[Class Path]\nClass Path=\\lib\\*.jar\n";
        BenchPlatform platform(argc, argv, wide((folder / "app").string()));
        platform.env.initLocale();
        std::size_t entries = 0;
        const double ms = assemble(platform, folder / "app.ini", repetitions, entries);
        if (entries != sizes[s]) {
            std::fprintf(stderr, "expected %zu entries, got %zu\n", sizes[s], entries);
            fs::remove_all(root);
            return 1;
        }
        perThousand[s] = ms * 1000.0 / static_cast<double>(entries);
        std::printf("%6zu jars: %8.2f ms in all, %6.3f ms per 1,000 entries (best of %d)\n", entries, ms,
                    perThousand[s], repetitions);
    }
    fs::remove_all(root);
    std::printf("ratio (10,000 / 1,000 per entry): %.2f\n", perThousand[1] / perThousand[0]);
    return 0;
}
