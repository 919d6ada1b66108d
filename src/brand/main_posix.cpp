// kite-brand on Linux: arguments and file names are UTF-8 already.
#include <cstdio>
#include <string>
#include <vector>

#include "brand/file_access.h"
#include "brand/tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kite::brand::StandardFileAccess files;
    const auto out = [](const std::string& line) { std::fprintf(stdout, "%s\n", line.c_str()); };
    const auto err = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    return kite::brand::runBrandTool(args, files, out, err);
}
