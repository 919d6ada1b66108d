// The state rules of the runtime-not-found dialog, shared by the Windows
// dialog window and the Linux terminal prompt: which browse result makes OK
// available, what a command does, and what an accepted dialog hands back.
#pragma once

#include "foundation/wide_string.h"
#include "discovery/runtime_requirements.h"

namespace kite {

class Platform;

// Item 205 shows and opens kRuntimeDownloadAddress (foundation/message_catalog.h).

class RuntimeNotFoundDialog {
public:
    // How a showing ends.
    static constexpr int kAccepted = 1;
    static constexpr int kCancelled = 2;
    static constexpr int kNotShown = -1;

    // The template and its control ids.
    static constexpr int kTemplateId = 201;
    static constexpr int kOkButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kFolderField = 201;
    static constexpr int kBrowseButton = 202;
    static constexpr int kMessageText = 203;
    static constexpr int kErrorIcon = 204;
    static constexpr int kDownloadLink = 205;
    static constexpr int kHintText = 206;
    static constexpr int kFrame = 207;
    static constexpr int kFolderLabel = 208;

    // What a command of the dialog leads to.
    enum class Action { None, Browse, End };
    struct CommandOutcome {
        Action action = Action::None;
        int result = 0;  // with Action::End
    };

    RuntimeNotFoundDialog(Platform& platform, WideString message, JvmType jvmType);

    const WideString& message() const { return message_; }
    JvmType jvmType() const { return jvmType_; }
    // The folder of the last browse with a trailing separator; empty before.
    const WideString& jreFolder() const { return jreFolder_; }
    // The JVM library the last browse found; empty before or when it found none.
    const WideString& jvmLibraryPath() const { return jvmLibraryPath_; }
    // OK is available exactly while the last browse found a JVM library.
    bool okEnabled() const { return !jvmLibraryPath_.empty(); }

    // Takes the folder a browse returned (as the browser gave it) and looks
    // for a JVM library of the wanted layouts in it. A browse that finds none
    // makes OK unavailable again, so no stale library can be accepted.
    // Returns whether OK is available afterwards.
    bool browsed(const WideString& folder);

    // The effect of the command of a control (OK, Cancel or Browse). OK ends
    // the dialog only while it is available.
    CommandOutcome command(int controlId) const;

    // Hands the outcome of a showing to the caller: 1 with the library and
    // the folder when accepted, 2 when cancelled; anything else is a dialog
    // that could not be shown (-1). Only an accepted dialog fills the outputs.
    int finish(int result, WideString& jvmLibrary, WideString& folder) const;

private:
    Platform& platform_;
    JvmType jvmType_;
    WideString jreFolder_;
    WideString jvmLibraryPath_;
    WideString message_;
};

}  // namespace kite
