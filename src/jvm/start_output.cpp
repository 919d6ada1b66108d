#include "jvm/start_output.h"

#include <utility>

#include "foundation/path_helpers.h"
#include "platform/platform.h"
#include "settings/file_locations.h"

namespace kite {

namespace {

// Before main, memory holds at most this much of the newest output; an
// exception's text is kept up to this much from its start.
constexpr std::size_t kKeptBeforeMain = 64 * 1024;
constexpr std::size_t kKeptOfException = 16 * 1024;

constexpr char16_t kEllipsis = u'\u2026';

WideStringList splitLines(const WideString& text) {
    WideStringList lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == WideString::npos) end = text.size();
        WideString line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

bool blank(const WideString& line) { return line.find_first_not_of(u" \t") == WideString::npos; }

}  // namespace

WideString shortenForBox(const WideString& text, KeptLines kept, std::size_t maxLines, std::size_t maxLength) {
    const WideStringList all = splitLines(text);
    std::size_t first = 0;
    std::size_t last = all.size();
    while (first < last && blank(all[first])) ++first;
    while (last > first && blank(all[last - 1])) --last;
    if (first == last || maxLines == 0) return {};
    const bool dropped = last - first > maxLines;
    if (dropped && kept == KeptLines::First) last = first + maxLines;
    if (dropped && kept == KeptLines::Last) first = last - maxLines;
    WideString out;
    if (dropped && kept == KeptLines::Last) out += WideString(1, kEllipsis) + u"\n";
    for (std::size_t i = first; i < last; ++i) {
        const WideString& line = all[i];
        out += line.size() > maxLength ? line.substr(0, maxLength) + kEllipsis : line;
        if (i + 1 < last) out += u"\n";
    }
    if (dropped && kept == KeptLines::First) out += u"\n" + WideString(1, kEllipsis);
    return out;
}

WideString startLogPath(Platform& platform, const WideString& productName) {
    WideString base;
    WideString module;
    if (!platform.env.getEnvironment(u"LOCALAPPDATA", base) || base.empty()) return {};
    if (!platform.env.modulePath(module)) return {};
    const OsStyle style = platform.style();
    WideString name = module.substr(lastPathSeparator(style, module) + 1);
    if (const std::size_t dot = name.rfind(u'.'); dot != WideString::npos && dot > 0) name.erase(dot);
    WideString folder = productFolderName(productName);
    if (folder.empty()) folder = name;
    if (isPathSeparator(style, base.back())) base.pop_back();
    const char16_t separator = pathSeparator(style);
    return base + separator + folder + separator + name + u".log";
}

TrimmedLog::TrimmedLog(FileSystem& files, WideString path, std::uint64_t limit)
    : files_(files), path_(std::move(path)), limit_(limit) {}

void TrimmedLog::append(std::string_view bytes) {
    if (path_.empty() || bytes.empty()) return;
    if (!opened_) {
        opened_ = true;
        ensureParentDirectories(files_, path_);
        FileStatus status;
        if (files_.fileStatus(path_, status)) size_ = status.size;
    }
    if (size_ + bytes.size() <= limit_) {
        if (files_.appendBytes(path_, bytes)) size_ += bytes.size();
        return;
    }
    // Rewritten through a temporary file that replaces the log in one step:
    // a start that ends meanwhile leaves the old log or the new one.
    std::string whole;
    if (auto mapped = files_.mapFile(path_)) whole.assign(reinterpret_cast<const char*>(mapped->data()), mapped->size());
    whole += bytes;
    const std::size_t keep = static_cast<std::size_t>(limit_ / 4 * 3);
    if (whole.size() > keep) {
        std::size_t from = whole.size() - keep;
        if (const std::size_t lineStart = whole.find('\n', from - 1); lineStart != std::string::npos && lineStart + 1 < whole.size()) {
            from = lineStart + 1;
        }
        whole.erase(0, from);
    }
    const WideString temporary = path_ + u".tmp";
    files_.deleteFile(temporary);
    if (files_.appendBytes(temporary, whole) && files_.renameFile(temporary, path_)) {
        size_ = whole.size();
        return;
    }
    // The log is held open by another program: it grows until it is free.
    files_.deleteFile(temporary);
    if (files_.appendBytes(path_, bytes)) size_ += bytes.size();
}

StartOutput::StartOutput(Platform& platform, OutputCapture* capture) : platform_(platform), capture_(capture) {}

StartOutput::~StartOutput() {
    if (!active_) return;
    setErrorDetails(nullptr);
    capture_->stop();
}

bool StartOutput::begin(const OutputFiles& files, const WideString& productName) {
    if (capture_ == nullptr) return false;
    log_.emplace(platform_.fs, startLogPath(platform_, productName), kStartLogLimit);
    active_ = capture_->start(*this, files.outputFile.empty(), files.errorFile.empty());
    if (active_) setErrorDetails(this);
    return active_;
}

void StartOutput::mainStarting() {
    mainStarted_ = true;
    if (!active_) return;
    capture_->exclusive([this] {
        phase_ = Phase::Running;
        log_->append(kept_);
        kept_.clear();
    });
}

void StartOutput::mainReturned(bool threw) {
    if (!active_ || !threw) return;
    // Everything main printed has reached the log before the exception's text.
    capture_->settle();
    capture_->exclusive([this] {
        phase_ = Phase::Ending;
        kept_.clear();
    });
}

void StartOutput::reportUncaught() {
    if (!windowed()) return;
    printMessage(platform_, MessageId::MainThrewUncaught, {});
}

void StartOutput::received(const char* data, std::size_t size) {
    const std::string_view piece(data, size);
    switch (phase_) {
        case Phase::Starting:
            kept_ += piece;
            // Cut in large steps, so that a long output costs no copy per piece.
            if (kept_.size() > 2 * kKeptBeforeMain) kept_.erase(0, kept_.size() - kKeptBeforeMain);
            break;
        case Phase::Ending:
            if (kept_.size() < kKeptOfException) kept_ += piece.substr(0, kKeptOfException - kept_.size());
            log_->append(piece);
            break;
        case Phase::Running: log_->append(piece); break;
    }
}

void StartOutput::onVmExit(std::int32_t exitCode) {
    if (!windowed()) return;
    // The box shows with or without the JVM's lines: streams that the starter
    // redirected keep them, as the console line of every other error.
    if (active_) capture_->settle();
    if (!mainStarted_ && exitCode != 0) printMessage(platform_, MessageId::VmEndedStart, {exitCode});
}

void StartOutput::onVmAbort() {
    if (active_) capture_->settle();
}

WideString StartOutput::details() {
    if (!active_) return {};
    capture_->settle();
    std::string text;
    KeptLines kept = KeptLines::Last;
    capture_->exclusive([&] {
        if (phase_ == Phase::Running) return;
        text = phase_ == Phase::Starting && kept_.size() > kKeptBeforeMain ? kept_.substr(kept_.size() - kKeptBeforeMain)
                                                                         : kept_;
        kept = phase_ == Phase::Starting ? KeptLines::Last : KeptLines::First;
    });
    return shortenForBox(platform_.env.widenText(text), kept, kBoxLines, kBoxLineLength);
}

}  // namespace kite
