// "Restart Code": when the application ends with that exit code, the
// launcher starts its own executable again with the same command line, as
// a new process, once this one has let go of its VM and its single-instance
// objects. The count of restarts travels to the new process in an
// environment variable, which bounds them: at most kMaxRestarts within
// kRestartWindowSeconds.
#pragma once

#include <cstdint>

#include "foundation/trace.h"
#include "foundation/wide_string.h"
#include "settings/launch_settings.h"

namespace kite {

class Platform;

inline constexpr char16_t kRestartVariable[] = u"KITE_RESTART_HISTORY";
inline constexpr int kMaxRestarts = 5;
inline constexpr std::int64_t kRestartWindowSeconds = 60;

// The restarts of the current window: how many, and when (seconds since
// 1970) the first of them happened.
struct RestartHistory {
    int count = 0;
    std::int64_t windowStart = 0;
};

// The variable's value "<count> <windowStart>". It comes from the
// environment and may hold anything: false unless count is 1 to
// kMaxRestarts and windowStart at most 18 digits.
bool parseRestartHistory(const WideString& text, RestartHistory& history);
WideString restartHistoryText(const RestartHistory& history);
// The history after one more restart at now: within the window of previous
// (valid and now not before its start) the count goes up, otherwise a new
// window starts with this restart.
RestartHistory nextRestart(const RestartHistory* previous, std::int64_t now);

// Called as the launch ends with exitCode, after the VM has ended and the
// single-instance objects are released. When exitCode is the restart code,
// starts the executable again with the history in kRestartVariable, unless
// that would be more than kMaxRestarts within the window: then only a trace
// line. A start that fails prints its error line. True when a new process
// was started.
bool restartIfAsked(Platform& platform, const Trace& trace, const RestartSettings& settings,
                    std::int32_t exitCode);

}  // namespace kite
