// The runtime-not-found dialog as a terminal conversation, for platforms
// without Windows dialogs: the message and the download address, then a
// prompt for a runtime folder that is checked like a browse in the dialog.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class RuntimeNotFoundDialog;

// The terminal the prompt talks to.
class PromptTerminal {
public:
    virtual ~PromptTerminal() = default;
    virtual void write(const WideString& text) = 0;
    // One line without its line end; false at the end of input.
    virtual bool readLine(WideString& line) = 0;
    // The answer as a folder path: "~" expanded, a relative path made absolute.
    virtual WideString folderPath(const WideString& answer) = 0;
};

// Asks until the user names a folder with a JVM library of the wanted
// layouts (1) or gives an empty answer or ends the input (2). The dialog
// state holds the accepted folder and library afterwards.
int runRuntimePrompt(RuntimeNotFoundDialog& dialog, PromptTerminal& terminal);

}  // namespace kite
