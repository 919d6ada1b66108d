#include "ui/runtime_prompt.h"

#include "foundation/message_catalog.h"
#include "ui/runtime_not_found_dialog.h"

namespace kite {

namespace {

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
    // The texts of the dialog, in the same words.
    terminal.write(MessageCatalog::text(MessageId::DialogTitle) + u"\n" + dialog.message() + u" " +
                   kRuntimeDownloadAddress + u"\n" + MessageCatalog::text(MessageId::DialogHint) + u"\n");
    const WideString folderLabel = MessageCatalog::text(MessageId::DialogFolderLabel) + u" ";
    for (;;) {
        terminal.write(folderLabel);
        WideString line;
        if (!terminal.readLine(line)) {
            terminal.write(u"\n");
            return RuntimeNotFoundDialog::kCancelled;
        }
        const WideString answer = trimmed(line);
        if (answer.empty()) return RuntimeNotFoundDialog::kCancelled;
        const WideString folder = terminal.folderPath(answer);
        if (dialog.browsed(folder)) return RuntimeNotFoundDialog::kAccepted;
        terminal.write(MessageCatalog::format(MessageId::PromptNoRuntime, {folder}) + u"\n");
    }
}

}  // namespace kite
