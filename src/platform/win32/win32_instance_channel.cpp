#include "platform/win32/win32_instance_channel.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/win32_handles.h"

namespace kite {

namespace {

// The shared block: three header fields, the argument area and a reserved
// part that is never written.
constexpr DWORD kBlockSize = 2092;
constexpr std::size_t kListenerThreadOffset = 0;
constexpr std::size_t kProcessIdOffset = 4;
constexpr std::size_t kMessageIdOffset = 8;
constexpr std::size_t kArgumentAreaOffset = 12;
static_assert(kArgumentAreaOffset + 2 * kArgumentAreaSize == kBlockSize);

// Header fields are written with a full barrier, in the order message id,
// process id, listener thread id: a reader that sees the listener's id sees
// the rest too.
void storeField(std::uint8_t* block, std::size_t offset, DWORD value) {
    InterlockedExchange(reinterpret_cast<volatile LONG*>(block + offset), static_cast<LONG>(value));
}
DWORD loadField(const std::uint8_t* block, std::size_t offset) {
    return *reinterpret_cast<const volatile DWORD*>(block + offset);
}

// The reply message carries the exit code in wParam and its kind in
// lParam: kReplyValue, or kReplyRefused when nothing takes the arguments.
constexpr LPARAM kReplyValue = 0;
constexpr LPARAM kReplyRefused = 1;

// Gives the calling thread its message queue, so that messages posted to
// it from now on are kept (a thread without a queue loses them).
void ensureMessageQueue() {
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

// The block and the event. Shared by the channel and the forwarded starts
// of the primary, and released with the last of them: a delivery thread that
// still waits for the start event at the teardown keeps using valid objects.
struct SharedObjects {
    KernelHandle mapping;
    std::uint8_t* block = nullptr;
    KernelHandle startEvent;
    UINT messageId = 0;

    SharedObjects() = default;
    SharedObjects(const SharedObjects&) = delete;
    SharedObjects& operator=(const SharedObjects&) = delete;
    ~SharedObjects() {
        // The view goes before the mapping handle closes with the members.
        if (block != nullptr) UnmapViewOfFile(block);
    }
};

class Win32ForwardedStart : public ForwardedStart {
public:
    Win32ForwardedStart(std::shared_ptr<SharedObjects> shared, DWORD senderThread)
        : shared_(std::move(shared)), senderThread_(senderThread) {}

    void waitMainStarted() override {
        if (shared_->startEvent.valid()) WaitForSingleObject(shared_->startEvent.get(), INFINITE);
    }
    void readArgumentArea(ArgumentArea& area) override {
        std::memcpy(area.data(), shared_->block + kArgumentAreaOffset, area.size());
    }
    void reply(std::int32_t value) override {
        PostThreadMessageW(senderThread_, shared_->messageId, static_cast<WPARAM>(static_cast<DWORD>(value)),
                           kReplyValue);
    }
    void refuse() override { PostThreadMessageW(senderThread_, shared_->messageId, 0, kReplyRefused); }

private:
    std::shared_ptr<SharedObjects> shared_;
    DWORD senderThread_;
};

struct ListenerContext {
    std::shared_ptr<SharedObjects> shared;
    std::function<void(std::shared_ptr<ForwardedStart>)> onForward;
};

// The primary's listener: one forwarded start per forwarding message, until
// a quit message arrives. Its id goes into the block only once it owns a
// message queue, so no secondary can post into the void.
DWORD WINAPI listenerMain(LPVOID argument) {
    auto* context = static_cast<ListenerContext*>(argument);
    ensureMessageQueue();
    storeField(context->shared->block, kListenerThreadOffset, GetCurrentThreadId());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != context->shared->messageId) continue;
        context->onForward(std::make_shared<Win32ForwardedStart>(
            context->shared, static_cast<DWORD>(message.wParam)));
    }
    return 0;
}

class Win32InstanceChannel : public InstanceChannel {
public:
    Win32InstanceChannel(std::shared_ptr<SharedObjects> shared, WideString name)
        : shared_(std::move(shared)), name_(std::move(name)) {}
    Win32InstanceChannel(const Win32InstanceChannel&) = delete;
    Win32InstanceChannel& operator=(const Win32InstanceChannel&) = delete;

    ~Win32InstanceChannel() override {
        if (!listener_.valid()) return;
        // Repeated, because a listener that has no queue yet loses the first post.
        for (;;) {
            PostThreadMessageW(listenerThreadId_, WM_QUIT, 0, 0);
            DWORD code = 0;
            if (!GetExitCodeThread(listener_.get(), &code) || code != STILL_ACTIVE) break;
            WaitForSingleObject(listener_.get(), 10);
        }
    }

    bool startPrimary(std::function<void(std::shared_ptr<ForwardedStart>)> onForward) override {
        // Without the event nothing waits and nothing signals.
        const WideString eventName = name_ + u"_upr_evt";
        shared_->startEvent.reset(CreateEventW(nullptr, TRUE, FALSE, wide(eventName)));
        shared_->messageId = RegisterWindowMessageW(wide(name_));
        if (shared_->messageId == 0) return false;
        storeField(shared_->block, kMessageIdOffset, shared_->messageId);
        storeField(shared_->block, kProcessIdOffset, GetCurrentProcessId());
        context_ = std::make_unique<ListenerContext>(ListenerContext{shared_, std::move(onForward)});
        listener_.reset(CreateThread(nullptr, 0, listenerMain, context_.get(), 0, &listenerThreadId_));
        return listener_.valid();
    }

    void signalMainStarted() override {
        if (shared_->startEvent.valid()) SetEvent(shared_->startEvent.get());
    }

    // A failed post (the primary has no listener yet, or none at all) is the
    // same failure as the Linux build's primary that does not accept: the
    // start ends with its error line, not without a word.
    ForwardResult forward(const ArgumentArea& area) override {
        // The reply is posted to this thread: it needs its queue before the
        // primary learns its id.
        ensureMessageQueue();
        std::memcpy(shared_->block + kArgumentAreaOffset, area.data(), area.size());
        messageId_ = loadField(shared_->block, kMessageIdOffset);
        const DWORD listener = loadField(shared_->block, kListenerThreadOffset);
        // No listener's id yet: the header is incomplete. (A post to thread 0
        // is not refused everywhere.)
        if (listener == 0) return ForwardResult::Unreachable;
        return PostThreadMessageW(listener, messageId_, GetCurrentThreadId(), 0) != 0 ? ForwardResult::Forwarded
                                                                                    : ForwardResult::Unreachable;
    }

    PrimaryReply waitForReply() override {
        const KernelHandle primary(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, loadField(shared_->block, kProcessIdOffset)));
        // The primary's state cannot be read: nothing to wait for.
        if (!primary.valid()) return {};
        PrimaryReply result;
        for (;;) {
            MSG message;
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) && message.message == messageId_) {
                result.exitCode = static_cast<std::int32_t>(static_cast<DWORD>(message.wParam));
                result.refused = message.lParam == kReplyRefused;
                break;
            }
            DWORD code = 0;
            if (!GetExitCodeProcess(primary.get(), &code)) break;  // 0 as well
            if (code != STILL_ACTIVE) {
                result.exitCode = static_cast<std::int32_t>(code);
                break;
            }
            Sleep(100);
        }
        return result;
    }

private:
    std::shared_ptr<SharedObjects> shared_;
    WideString name_;
    UINT messageId_ = 0;  // secondary: the id the primary registered
    std::unique_ptr<ListenerContext> context_;
    KernelHandle listener_;
    DWORD listenerThreadId_ = 0;
};

}  // namespace

std::unique_ptr<InstanceChannel> openWin32InstanceChannel(const WideString& instanceName, bool& isPrimary) {
    auto shared = std::make_shared<SharedObjects>();
    SetLastError(0);
    shared->mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize,
                                             wide(instanceName)));
    if (!shared->mapping.valid()) return nullptr;
    isPrimary = GetLastError() != ERROR_ALREADY_EXISTS;
    // A same-named object smaller than the block cannot be mapped whole: no guard then.
    shared->block = static_cast<std::uint8_t*>(MapViewOfFile(shared->mapping.get(), FILE_MAP_WRITE, 0, 0, kBlockSize));
    if (shared->block == nullptr) return nullptr;
    return std::make_unique<Win32InstanceChannel>(std::move(shared), instanceName);
}

}  // namespace kite
