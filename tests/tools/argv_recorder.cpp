// Stands in for a paired executable in the Linux end-to-end tests: appends
// its argument vector, program name included, to the file named by
// KITE_RECORDER_FILE (one line per start, arguments between < and >) and exits
// with the code in KITE_RECORDER_EXIT (0 when unset); "sig<n>" there ends it
// through signal n instead.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (const char* file = std::getenv("KITE_RECORDER_FILE")) {
        std::string line;
        for (int i = 0; i < argc; ++i) line += std::string("<") + argv[i] + ">";
        if (std::FILE* out = std::fopen(file, "a")) {
            std::fprintf(out, "%s\n", line.c_str());
            std::fclose(out);
        }
    }
    const char* code = std::getenv("KITE_RECORDER_EXIT");
    if (code != nullptr && std::string(code).starts_with("sig")) {
        std::signal(std::atoi(code + 3), SIG_DFL);
        std::raise(std::atoi(code + 3));
    }
    return code ? std::atoi(code) : 0;
}
