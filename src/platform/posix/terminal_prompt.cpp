// The runtime-not-found dialog on Linux: a conversation on the terminal when
// standard input and output both are one; without a terminal it counts as a
// dialog that could not be shown.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"
#include "ui/runtime_not_found_dialog.h"
#include "ui/runtime_prompt.h"

namespace kite {

namespace {

class Terminal : public PromptTerminal {
public:
    explicit Terminal(PosixPlatform& platform) : platform_(platform) {}

    void write(const WideString& text) override { platform_.writeStdout(text); }

    bool readLine(WideString& line) override {
        // Byte by byte, so nothing after the line is taken from the Java program's input.
        std::string bytes;
        for (;;) {
            char c = 0;
            const ssize_t count = ::read(STDIN_FILENO, &c, 1);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) {
                if (bytes.empty()) return false;
                break;
            }
            if (c == '\n') break;
            bytes.push_back(c);
        }
        line = platform_.widenText(bytes);
        return true;
    }

    WideString folderPath(const WideString& answer) override {
        WideString home;
        if ((answer == u"~" || answer.starts_with(u"~/")) && platform_.getEnvironment(u"HOME", home))
            return home + answer.substr(1);
        if (answer.starts_with(u"/")) return answer;
        // "JRE Path" is read back relative to a later current folder: keep it absolute.
        std::vector<char> buffer(4096);
        if (::getcwd(buffer.data(), buffer.size()) == nullptr) return answer;
        WideString folder = platform_.widenText(buffer.data());
        if (!folder.ends_with(u"/")) folder.push_back(u'/');
        return folder + answer;
    }

private:
    PosixPlatform& platform_;
};

}  // namespace

int PosixPlatform::runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                                         WideString& folder) {
    if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) return RuntimeNotFoundDialog::kNotShown;
    RuntimeNotFoundDialog dialog(*this, message, static_cast<JvmType>(jvmType));
    Terminal terminal(*this);
    return dialog.finish(runRuntimePrompt(dialog, terminal), jvmLibrary, folder);
}

}  // namespace kite
