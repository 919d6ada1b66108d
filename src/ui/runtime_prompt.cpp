#include "ui/runtime_prompt.h"

#include "foundation/message_catalog.h"
#include "ui/runtime_not_found_dialog.h"

namespace kite {

namespace {

// The texts of the dialog template, in the same words.
constexpr char16_t kCaption[] = u"JRE nicht gefunden";
constexpr char16_t kHint[] = u"Wenn Sie ein JRE installiert haben, k\u00f6nnen Sie unten danach suchen:";
constexpr char16_t kFolderLabel[] = u"JRE Pfad: ";
constexpr char16_t kNoRuntime[] = u"Kein JRE: ";

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; }

WideString trimmed(const WideString& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first])) ++first;
    while (last > first && isBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace

int runRuntimePrompt(RuntimeNotFoundDialog& dialog, PromptTerminal& terminal) {
    terminal.write(WideString(kCaption) + u"\n" + dialog.message() + u" " + kRuntimeDownloadAddress + u"\n" +
                   kHint + u"\n");
    for (;;) {
        terminal.write(kFolderLabel);
        WideString line;
        if (!terminal.readLine(line)) {
            terminal.write(u"\n");
            return RuntimeNotFoundDialog::kCancelled;
        }
        const WideString answer = trimmed(line);
        if (answer.empty()) return RuntimeNotFoundDialog::kCancelled;
        const WideString folder = terminal.folderPath(answer);
        if (dialog.browsed(folder)) return RuntimeNotFoundDialog::kAccepted;
        terminal.write(kNoRuntime + folder + u"\n");
    }
}

}  // namespace kite
