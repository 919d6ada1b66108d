// Cutting "Virtual Machine Parameters" into JVM options: blanks separate,
// double quotes group (a doubled closing quote stands for a quote), memory
// shares become absolute sizes and -Xss also sizes the Java main thread.
#include <cstdint>
#include <optional>

#include "foundation/message_catalog.h"
#include "jvm/memory_sizing.h"
#include "jvm/option_assembly.h"
#include "platform/platform.h"

namespace kite {

namespace {

constexpr std::size_t kNone = WideString::npos;

// Finds characters at increasing positions without rescanning: the answer
// for a position is kept until a later position passes it.
class ForwardFinder {
public:
    ForwardFinder(const WideString& text, char16_t wanted) : text_(text), wanted_(wanted) {}
    std::size_t from(std::size_t position) {
        if (!valid_ || (found_ != kNone && found_ < position) || position < searchedFrom_) {
            found_ = text_.find(wanted_, position);
            searchedFrom_ = position;
            valid_ = true;
        }
        return found_;
    }

private:
    const WideString& text_;
    char16_t wanted_;
    std::size_t found_ = kNone;
    std::size_t searchedFrom_ = 0;
    bool valid_ = false;
};

// The end of the token that starts at position: blanks inside double quotes
// do not end it, and a quote right after a closing quote does not open a new
// quoted part.
std::size_t tokenEnd(const WideString& text, std::size_t position, ForwardFinder& blanks, ForwardFinder& quotes) {
    std::size_t blank = blanks.from(position);
    std::size_t quote = quotes.from(position);
    while (quote != kNone) {
        if (blank == kNone) return text.size();
        if (blank < quote) return blank;
        std::size_t closing = quotes.from(quote + 1);
        if (closing == kNone) return blank;
        if (closing + 1 < text.size() && text[closing + 1] == u'"') ++closing;
        quote = quotes.from(closing + 1);
        blank = blanks.from(closing + 1);
    }
    return blank == kNone ? text.size() : blank;
}

// Replaces every quoted part by its inner text; a doubled closing quote
// leaves one quote behind. An unmatched quote stays as written.
WideString unquoted(const WideString& token) {
    std::size_t open = token.find(u'"');
    if (open == kNone) return token;
    WideString out;
    out.reserve(token.size());
    std::size_t copied = 0;
    while (open != kNone) {
        std::size_t close = token.find(u'"', open + 1);
        if (close == kNone) break;
        if (close + 1 < token.size() && token[close + 1] == u'"') ++close;
        out.append(token, copied, open - copied);
        out.append(token, open + 1, close - open - 1);
        copied = close + 1;
        open = token.find(u'"', copied);
    }
    out.append(token, copied, kNone);
    return out;
}

}  // namespace

bool splitVmParameters(Platform& platform, const WideString& text, WideStringList& options,
                       std::uint32_t& mainThreadStackSize) {
    ForwardFinder blanks(text, u' ');
    ForwardFinder quotes(text, u'"');
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = tokenEnd(text, position, blanks, quotes);
        if (!addVmParameter(platform, text.substr(position, end - position), options, mainThreadStackSize)) return false;
        position = end;
        while (position < text.size() && text[position] == u' ') ++position;
    }
    return true;
}

bool addVmParameter(Platform& platform, WideString token, WideStringList& options, std::uint32_t& mainThreadStackSize) {
    token = unquoted(token);
    // A value that begins with a blank (as one supplied only by a "+" section
    // always does) gives an empty first token. The JVM refuses an empty
    // option ("Unrecognized option") and would not start, so it is dropped.
    if (token.empty()) return true;
    std::optional<std::uint32_t> stackSize = 0;
    if (isPercentSize(token)) {
        token = resolvePercentSize(token, platform.clock.memoryFigures(), wideSizeArithmetic());
        if (token.empty()) stackSize = std::nullopt;
    }
    if (token.starts_with(u"-Xss")) stackSize = parseStackSize(token.substr(4));
    if (!stackSize) {
        // A size too large for this build's arithmetic would wrap to a
        // small or zero one; it is refused as the VM refuses an invalid one.
        printMessage(platform, MessageId::JniErrorWithReason,
                     {MessageCatalog::text(MessageId::CreateJavaVmFailed),
                      MessageCatalog::text(MessageId::JniReasonInvalidArguments)});
        return false;
    }
    // A later -Xss overrides an earlier one; a size that is no plain number
    // keeps what an earlier token set.
    if (*stackSize != 0) mainThreadStackSize = *stackSize;
    options.append(token);
    return true;
}

}  // namespace kite
