#include "instance/restart.h"


#include "foundation/message_catalog.h"
#include "platform/platform.h"

namespace kite {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Decimal digits only, at most maxDigits of them.
bool parseDigits(const WideString& text, std::size_t maxDigits, std::int64_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char16_t c : text) {
        if (!isDigit(c)) return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

}  // namespace

bool parseRestartHistory(const WideString& text, RestartHistory& history) {
    const std::size_t blank = text.find(u' ');
    if (blank == WideString::npos) return false;
    std::int64_t count = 0;
    std::int64_t start = 0;
    if (!parseDigits(text.substr(0, blank), 1, count) || !parseDigits(text.substr(blank + 1), 18, start)) return false;
    if (count < 1 || count > kMaxRestarts) return false;
    history.count = static_cast<int>(count);
    history.windowStart = start;
    return true;
}

WideString restartHistoryText(const RestartHistory& history) {
    return traceNumber(history.count) + u' ' + traceNumber(history.windowStart);
}

RestartHistory nextRestart(const RestartHistory* previous, std::int64_t now) {
    if (previous != nullptr && now >= previous->windowStart && now - previous->windowStart < kRestartWindowSeconds) {
        return {previous->count + 1, previous->windowStart};
    }
    return {1, now};
}

bool restartIfAsked(Platform& platform, const Trace& trace, const RestartSettings& settings,
                    std::int32_t exitCode) {
    if (!settings.enabled || exitCode != settings.code) return false;
    WideString text;
    RestartHistory previous;
    const bool known = platform.env.getEnvironment(kRestartVariable, text) && parseRestartHistory(text, previous);
    const RestartHistory next = nextRestart(known ? &previous : nullptr, platform.clock.secondsSinceEpoch());
    if (next.count > kMaxRestarts) {
        trace.write([&] {
            return u"restart code " + traceNumber(exitCode) + u": " + traceNumber(kMaxRestarts) +
                   u" restarts within " + traceNumber(kRestartWindowSeconds) +
                   u" s already; no restart, the launch ends with " + traceNumber(exitCode);
        });
        return false;
    }
    platform.env.setEnvironment(kRestartVariable, restartHistoryText(next));
    trace.write([&] {
        return u"restart code " + traceNumber(exitCode) + u": the executable starts again (restart " +
               traceNumber(next.count) + u" of at most " + traceNumber(kMaxRestarts) + u" within " +
               traceNumber(kRestartWindowSeconds) + u" s)";
    });
    if (const Status started = platform.processes.restartOwnExecutable(); !started) {
        printMessage(platform, MessageId::RestartFailed, {started.code()});
        return false;
    }
    return true;
}

}  // namespace kite
