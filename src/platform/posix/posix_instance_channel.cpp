#include "platform/posix/posix_instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/utf.h"
#include "platform/posix/posix_descriptor.h"

namespace kite {

namespace {

// How long a connected secondary may take to send its whole message. A peer
// that sends nothing, or stops half-way, loses its place after this.
constexpr std::chrono::seconds kMessageDeadline{3};

// Connections held before their forwarded start is handed out: those whose
// message is still being read plus complete ones waiting for a delivery.
// A new connection beyond this closes the one that has been read longest
// without its message being complete. A real secondary sends its message
// as soon as it is connected, so by the time it is accepted its message is
// there: a flood of silent connections cannot keep it out.
constexpr std::size_t kMaxHeld = 64;

// Forwarded starts handed out and not yet destroyed (each has a delivery
// thread). Complete messages beyond this wait among the held connections.
constexpr std::size_t kMaxDelivering = 16;

// The reply is five bytes: the exit code (32 bits, little-endian), then its
// kind: kReplyValue, or kReplyRefused when nothing takes the arguments.
constexpr std::size_t kReplySize = 5;
constexpr std::uint8_t kReplyValue = 0;
constexpr std::uint8_t kReplyRefused = 1;

// Connections accepted in one round of the listener, so that deadlines and
// the teardown are looked at in between.
constexpr std::size_t kAcceptsPerRound = 64;

// True when path is a folder (not a link to one) of this user that no one
// else may enter or change.
bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

// The folder of the instance sockets, or why there is none.
struct SocketFolder {
    std::string path;     // empty: no folder can be used
    bool unsafe = false;  // path exists but is not this user's alone
};

// $XDG_RUNTIME_DIR when it is private, otherwise /tmp/kite-<uid>, created
// with mode 0700 and checked like it. A folder of that name that is not a
// private folder of this user (another user made it first, or it was opened
// to others) is reported, not used: a socket there could be taken over.
SocketFolder socketFolder(std::size_t room) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && std::strlen(runtime) <= room && isPrivateFolder(runtime)) {
        return {runtime, false};
    }
    const std::string fallback = "/tmp/kite-" + std::to_string(getuid());
    if (mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return {fallback, !isPrivateFolder(fallback)};
}

// The socket's path "<folder>/kite-<hash>" and the lock file beside it; the
// hash (FNV-1a, 64 bits) of the instance name keeps the name short and free
// of slashes.
struct SocketPlace {
    sockaddr_un address{};
    socklen_t length = 0;
    std::string socketPath;
    std::string lockPath;
};

// No place when no folder can be used; unsafeFolder names a folder that
// must not be used.
std::optional<SocketPlace> socketPlaceFor(const WideString& instanceName, WideString& unsafeFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : toUtf8(instanceName)) hash = (hash ^ c) * 1099511628211ull;
    char leaf[32];
    std::snprintf(leaf, sizeof leaf, "/kite-%016llx", static_cast<unsigned long long>(hash));
    SocketPlace place;
    const std::size_t room = sizeof place.address.sun_path - 1 - std::strlen(leaf);
    const SocketFolder folder = socketFolder(room);
    if (folder.unsafe) {
        unsafeFolder = fromUtf8(folder.path);
        return std::nullopt;
    }
    if (folder.path.empty() || folder.path.size() > room) return std::nullopt;
    place.socketPath = folder.path + leaf;
    place.lockPath = place.socketPath + ".lock";
    place.address.sun_family = AF_UNIX;
    std::memcpy(place.address.sun_path, place.socketPath.c_str(), place.socketPath.size() + 1);
    place.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + place.socketPath.size() + 1);
    return place;
}

// Only processes of the same user may talk to each other through the socket.
bool peerIsSameUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
    return credentials.uid == getuid();
}

bool sendAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads until size bytes arrived or the peer closed; the count read.
std::size_t receiveAll(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t got = recv(fd, data + total, size - total, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

// Wakes the listener's poll; the write end is non-blocking, so a full pipe
// (the listener is gone or busy) never blocks the writer.
void wake(int fd) {
    const char byte = 0;
    while (write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

// What the primary's channel and its forwarded starts share: the start
// event, the count of forwarded starts being delivered with the pipe that
// tells the listener when one ended, and the connections of secondaries that
// got no reply, on their way to the listener. The listener keeps each of
// those open while its secondary waits, so that the secondary lasts as long
// as the primary, and closes it once the secondary has gone.
struct PrimaryState {
    std::mutex lock;
    std::condition_variable started;
    bool mainStarted = false;
    std::size_t delivering = 0;
    std::vector<Descriptor> unanswered;
    Descriptor wakeRead;
    Descriptor wakeWrite;
};

// A forwarded start holds the secondary's whole message, read before it was
// handed out: nothing it does waits for the peer.
class PosixForwardedStart : public ForwardedStart {
public:
    PosixForwardedStart(std::shared_ptr<PrimaryState> state, Descriptor connection, const ArgumentArea& area)
        : state_(std::move(state)), connection_(std::move(connection)), area_(area) {}
    PosixForwardedStart(const PosixForwardedStart&) = delete;
    PosixForwardedStart& operator=(const PosixForwardedStart&) = delete;
    ~PosixForwardedStart() override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (!replied_) state_->unanswered.push_back(std::move(connection_));
        --state_->delivering;
        wake(state_->wakeWrite.get());
    }

    void waitMainStarted() override {
        std::unique_lock<std::mutex> guard(state_->lock);
        state_->started.wait(guard, [this] { return state_->mainStarted; });
    }
    void readArgumentArea(ArgumentArea& area) override { area = area_; }
    void reply(std::int32_t value) override { sendReply(value, kReplyValue); }
    void refuse() override { sendReply(0, kReplyRefused); }

private:
    // The reply: the 32-bit value, little-endian, then its kind.
    void sendReply(std::int32_t value, std::uint8_t kind) {
        const auto bits = static_cast<std::uint32_t>(value);
        const std::uint8_t bytes[kReplySize] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                                static_cast<std::uint8_t>(bits >> 16),
                                                static_cast<std::uint8_t>(bits >> 24), kind};
        sendAll(connection_.get(), bytes, sizeof bytes);
        replied_ = true;
    }

    std::shared_ptr<PrimaryState> state_;
    Descriptor connection_;
    const ArgumentArea area_;
    bool replied_ = false;
};

// A connection whose message is still arriving, or complete and waiting for
// a delivery.
struct IncomingMessage {
    Descriptor connection;
    ArgumentMessage message;
    std::chrono::steady_clock::time_point deadline;
};

// Reads what has arrived without blocking.
ArgumentMessage::State readMore(IncomingMessage& incoming) {
    for (;;) {
        std::uint8_t bytes[kArgumentAreaSize + 1];
        const ssize_t got = recv(incoming.connection.get(), bytes, sizeof bytes, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return incoming.message.state();
            return ArgumentMessage::State::Dropped;
        }
        if (got == 0) return incoming.message.end();
        if (incoming.message.add(bytes, static_cast<std::size_t>(got)) != ArgumentMessage::State::Waiting)
            return incoming.message.state();
    }
}

// The primary owns the lock file for its whole life and the socket file
// while it listens; a secondary holds the address only.
class PosixInstanceChannel : public InstanceChannel {
public:
    PosixInstanceChannel(SocketPlace place, Descriptor lock, Descriptor socket)
        : place_(std::move(place)), lock_(std::move(lock)), socket_(std::move(socket)),
          state_(std::make_shared<PrimaryState>()) {}
    PosixInstanceChannel(const PosixInstanceChannel&) = delete;
    PosixInstanceChannel& operator=(const PosixInstanceChannel&) = delete;

    ~PosixInstanceChannel() override {
        if (listener_.joinable()) {
            stopping_ = true;
            wake(state_->wakeWrite.get());
            listener_.join();
        }
        // Removed while the lock is still held, so that a primary started
        // meanwhile keeps its own socket file.
        if (lock_.valid()) unlink(place_.socketPath.c_str());
    }

    bool startPrimary(std::function<void(std::shared_ptr<ForwardedStart>)> onForward) override {
        if (listen(socket_.get(), SOMAXCONN) != 0) return false;
        // The listener takes connections until none is pending.
        if (fcntl(socket_.get(), F_SETFL, O_NONBLOCK) != 0) return false;
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
        state_->wakeRead = Descriptor(pipeEnds[0]);
        state_->wakeWrite = Descriptor(pipeEnds[1]);
        if (fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK) != 0 || fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK) != 0)
            return false;
        listener_ = std::thread([this, onForward = std::move(onForward)] { listenLoop(onForward); });
        return true;
    }

    void signalMainStarted() override {
        {
            std::lock_guard<std::mutex> guard(state_->lock);
            state_->mainStarted = true;
        }
        state_->started.notify_all();
    }

    // The message goes out whole, then the sending side is shut, which the
    // primary takes as its end. Another process holds the lock, so a primary
    // runs; when nothing takes the message (it is still starting, its
    // listener could not start, or it closed the connection), the start
    // cannot be handed over.
    ForwardResult forward(const ArgumentArea& area) override {
        socket_ = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket_.valid()) return ForwardResult::Unreachable;
        if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&place_.address), place_.length) != 0)
            return ForwardResult::Unreachable;
        if (!peerIsSameUser(socket_.get())) return ForwardResult::Unreachable;
        if (!sendAll(socket_.get(), area.data(), area.size()) || shutdown(socket_.get(), SHUT_WR) != 0)
            return ForwardResult::Unreachable;
        return ForwardResult::Forwarded;
    }

    // The connection closing without a reply means the primary has ended (or
    // dropped the message); the exit code of a process that is not our child
    // cannot be read, so the answer is 0 then.
    // A kind other than the two known ones is read as a plain value.
    PrimaryReply waitForReply() override {
        std::uint8_t bytes[kReplySize] = {};
        if (!socket_.valid() || receiveAll(socket_.get(), bytes, sizeof bytes) != sizeof bytes) return {};
        PrimaryReply reply;
        reply.exitCode = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
            (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24));
        reply.refused = bytes[4] == kReplyRefused;
        return reply;
    }

private:
    // The listener thread, until the teardown wakes it with stopping_ set:
    // accepts every pending connection, reads each message to its end within
    // the deadline, hands out one forwarded start per complete message while
    // fewer than kMaxDelivering are delivered, and closes the connections of
    // unanswered secondaries that have gone. Messages still arriving or
    // waiting then are dropped.
    void listenLoop(const std::function<void(std::shared_ptr<ForwardedStart>)>& onForward) {
        std::vector<IncomingMessage> incoming;  // oldest first
        std::deque<IncomingMessage> ready;
        std::vector<Descriptor> unanswered;
        std::vector<pollfd> waits;
        for (;;) {
            std::size_t delivering = 0;
            {
                std::lock_guard<std::mutex> guard(state_->lock);
                for (Descriptor& connection : state_->unanswered) unanswered.push_back(std::move(connection));
                state_->unanswered.clear();
                delivering = state_->delivering;
            }
            // Only this thread raises the count; delivery threads lower it.
            for (; !ready.empty() && delivering < kMaxDelivering; ++delivering) {
                {
                    std::lock_guard<std::mutex> guard(state_->lock);
                    ++state_->delivering;
                }
                onForward(std::make_shared<PosixForwardedStart>(state_, std::move(ready.front().connection),
                                                                ready.front().message.area()));
                ready.pop_front();
            }

            const int accepting = canAccept(incoming, ready) ? socket_.get() : -1;
            waits.assign({{state_->wakeRead.get(), POLLIN, 0}, {accepting, POLLIN, 0}});
            auto now = std::chrono::steady_clock::now();
            int timeout = -1;
            for (const IncomingMessage& message : incoming) {
                waits.push_back({message.connection.get(), POLLIN, 0});
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(message.deadline - now).count();
                const int leftMs = static_cast<int>(std::max<decltype(left)>(left, 0));
                if (timeout < 0 || leftMs < timeout) timeout = leftMs;
            }
            // The secondary has shut its sending side already: only its
            // close (POLLHUP, reported without asking) matters.
            for (const Descriptor& connection : unanswered) waits.push_back({connection.get(), 0, 0});
            if (poll(waits.data(), waits.size(), timeout) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (waits[0].revents != 0) {
                char drained[64];
                while (read(state_->wakeRead.get(), drained, sizeof drained) > 0) {
                }
                if (stopping_) return;
            }
            now = std::chrono::steady_clock::now();
            // waits[2 + i] belongs to incoming[i], then come the unanswered
            // connections in their order.
            std::vector<IncomingMessage> waiting;
            for (std::size_t i = 0; i < incoming.size(); ++i) {
                using State = ArgumentMessage::State;
                IncomingMessage& message = incoming[i];
                State progress = State::Waiting;
                if (waits[2 + i].revents != 0) progress = readMore(message);
                if (progress == State::Waiting && now >= message.deadline) progress = State::Dropped;
                if (progress == State::Waiting) {
                    waiting.push_back(std::move(message));
                } else if (progress == State::Complete) {
                    ready.push_back(std::move(message));
                }
            }
            const std::size_t firstUnanswered = 2 + incoming.size();
            incoming = std::move(waiting);
            std::vector<Descriptor> stillWaiting;
            for (std::size_t i = 0; i < unanswered.size(); ++i) {
                if ((waits[firstUnanswered + i].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0)
                    stillWaiting.push_back(std::move(unanswered[i]));
            }
            unanswered = std::move(stillWaiting);
            if ((waits[1].revents & POLLIN) != 0) acceptPending(incoming, ready, now);
        }
    }

    // A connection can be taken while fewer than kMaxHeld are held, or when
    // one still being read can make room.
    static bool canAccept(const std::vector<IncomingMessage>& incoming, const std::deque<IncomingMessage>& ready) {
        return incoming.size() + ready.size() < kMaxHeld || !incoming.empty();
    }

    // Takes the pending connections and reads what each has sent; past
    // kMaxHeld, the connection read longest without a complete message is
    // closed to make room.
    void acceptPending(std::vector<IncomingMessage>& incoming, std::deque<IncomingMessage>& ready,
                       std::chrono::steady_clock::time_point now) {
        using State = ArgumentMessage::State;
        for (std::size_t round = 0; round < kAcceptsPerRound && canAccept(incoming, ready); ++round) {
            Descriptor connection(accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!connection.valid()) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                // Out of descriptors and the like: try again a little later.
                if (errno != EAGAIN && errno != EWOULDBLOCK) usleep(100 * 1000);
                return;
            }
            if (!peerIsSameUser(connection.get())) continue;
            IncomingMessage message{std::move(connection), {}, now + kMessageDeadline};
            const State progress = readMore(message);
            if (progress == State::Dropped) continue;
            if (incoming.size() + ready.size() >= kMaxHeld) incoming.erase(incoming.begin());
            if (progress == State::Complete) {
                ready.push_back(std::move(message));
            } else {
                incoming.push_back(std::move(message));
            }
        }
    }

    SocketPlace place_;
    Descriptor lock_;
    Descriptor socket_;
    std::shared_ptr<PrimaryState> state_;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
};

}  // namespace

ArgumentMessage::State ArgumentMessage::add(const std::uint8_t* bytes, std::size_t count) {
    if (state_ != State::Waiting) return state_;
    if (count > kArgumentAreaSize - received_) return state_ = State::Dropped;
    std::memcpy(area_.data() + received_, bytes, count);
    received_ += count;
    return state_;
}

ArgumentMessage::State ArgumentMessage::end() {
    if (state_ != State::Waiting) return state_;
    return state_ = received_ == kArgumentAreaSize ? State::Complete : State::Dropped;
}

InstanceChannelOpening openPosixInstanceChannel(const WideString& instanceName) {
    InstanceChannelOpening opening;
    std::optional<SocketPlace> place = socketPlaceFor(instanceName, opening.unsafeFolder);
    if (!place) return opening;
    // Whoever holds the lock is the primary; the kernel lets it go when the
    // process ends, however it ends.
    Descriptor lock(open(place->lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid()) return opening;
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) return opening;
        opening.channel = std::make_unique<PosixInstanceChannel>(std::move(*place), Descriptor(), Descriptor());
        return opening;
    }
    // A socket file left by a primary that did not end cleanly.
    unlink(place->socketPath.c_str());
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) return opening;
    if (bind(socket.get(), reinterpret_cast<const sockaddr*>(&place->address), place->length) != 0) return opening;
    opening.isPrimary = true;
    opening.channel = std::make_unique<PosixInstanceChannel>(std::move(*place), std::move(lock), std::move(socket));
    return opening;
}

}  // namespace kite
