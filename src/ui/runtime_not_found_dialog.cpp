#include "ui/runtime_not_found_dialog.h"

#include <utility>

#include "discovery/runtime_candidates.h"
#include "platform/platform.h"

namespace kite {

RuntimeNotFoundDialog::RuntimeNotFoundDialog(Platform& platform, WideString message, JvmType jvmType)
    : platform_(platform), jvmType_(jvmType), message_(std::move(message)) {}

bool RuntimeNotFoundDialog::browsed(const WideString& folder) {
    jreFolder_ = withTrailingSeparator(platform_, folder);
    // The folder is the runtime home; neither bin\java.dll nor the version is examined.
    bool server = false;
    jvmLibraryPath_ = findJvmLibrary(platform_, jreFolder_, jvmType_, server);
    return okEnabled();
}

RuntimeNotFoundDialog::CommandOutcome RuntimeNotFoundDialog::command(int controlId) const {
    switch (controlId) {
        case kOkButton:
            // Enter or a direct command must not accept a dialog without a library.
            if (okEnabled()) return {Action::End, kAccepted};
            return {};
        case kCancelButton:
            return {Action::End, kCancelled};
        case kBrowseButton:
            return {Action::Browse, 0};
        default:
            return {};
    }
}

int RuntimeNotFoundDialog::finish(int result, WideString& jvmLibrary, WideString& folder) const {
    if (result == kAccepted && okEnabled()) {
        jvmLibrary = jvmLibraryPath_;
        folder = jreFolder_;
        return kAccepted;
    }
    if (result == kCancelled) return kCancelled;
    return kNotShown;
}

}  // namespace kite
