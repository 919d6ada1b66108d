#include "platform/posix/posix_instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/utf.h"

namespace kite {

namespace {

// Closes a file descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// The socket address: "\0kite-<uid>-<instance name>". The abstract namespace
// leaves no file behind when a primary ends, and the user id keeps other
// users' instances apart. A name too long for sun_path keeps its end and gets
// a hash of the whole name in front.
struct SocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

SocketAddress socketAddressFor(const WideString& instanceName) {
    const std::string name = toUtf8(instanceName);
    std::string text = "kite-" + std::to_string(getuid()) + "-";
    const std::size_t room = sizeof(sockaddr_un{}.sun_path) - 1;  // after the leading zero byte
    if (text.size() + name.size() <= room) {
        text += name;
    } else {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        text += std::string(hex) + "-";
        text += name.substr(name.size() - (room - text.size()));
    }
    SocketAddress result;
    result.address.sun_family = AF_UNIX;
    std::memcpy(result.address.sun_path + 1, text.data(), text.size());
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + text.size());
    return result;
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

// What the primary's channel and its forwarded starts share: the start
// event, and the connections of secondaries that got no reply. Those stay
// open until the primary ends, so that such a secondary waits as long as the
// primary runs.
struct PrimaryState {
    std::mutex lock;
    std::condition_variable started;
    bool mainStarted = false;
    std::vector<Descriptor> unanswered;
};

class PosixForwardedStart : public ForwardedStart {
public:
    PosixForwardedStart(std::shared_ptr<PrimaryState> state, Descriptor connection)
        : state_(std::move(state)), connection_(std::move(connection)) {}
    PosixForwardedStart(const PosixForwardedStart&) = delete;
    PosixForwardedStart& operator=(const PosixForwardedStart&) = delete;
    ~PosixForwardedStart() override {
        if (replied_) return;
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->unanswered.push_back(std::move(connection_));
    }

    void waitMainStarted() override {
        std::unique_lock<std::mutex> guard(state_->lock);
        state_->started.wait(guard, [this] { return state_->mainStarted; });
    }
    // A secondary that sends less leaves the rest zero.
    void readArgumentArea(ArgumentArea& area) override {
        area.fill(0);
        receiveAll(connection_.get(), area.data(), area.size());
    }
    void reply(std::int32_t value) override {
        const auto bits = static_cast<std::uint32_t>(value);
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                       static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
        sendAll(connection_.get(), bytes, sizeof bytes);
        replied_ = true;
    }

private:
    std::shared_ptr<PrimaryState> state_;
    Descriptor connection_;
    bool replied_ = false;
};

class PosixInstanceChannel : public InstanceChannel {
public:
    // primary: socket is bound to address; secondary: socket is unused.
    PosixInstanceChannel(Descriptor socket, SocketAddress address)
        : socket_(std::move(socket)), address_(address), state_(std::make_shared<PrimaryState>()) {}
    PosixInstanceChannel(const PosixInstanceChannel&) = delete;
    PosixInstanceChannel& operator=(const PosixInstanceChannel&) = delete;

    ~PosixInstanceChannel() override {
        if (listener_.joinable()) {
            const char stop = 0;
            while (write(stopWrite_.get(), &stop, 1) < 0 && errno == EINTR) {
            }
            listener_.join();
        }
    }

    bool startPrimary(std::function<void(std::shared_ptr<ForwardedStart>)> onForward) override {
        if (listen(socket_.get(), SOMAXCONN) != 0) return false;
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
        stopRead_ = Descriptor(pipeEnds[0]);
        stopWrite_ = Descriptor(pipeEnds[1]);
        listener_ = std::thread([this, onForward = std::move(onForward)] { acceptLoop(onForward); });
        return true;
    }

    void signalMainStarted() override {
        {
            std::lock_guard<std::mutex> guard(state_->lock);
            state_->mainStarted = true;
        }
        state_->started.notify_all();
    }

    bool forward(const ArgumentArea& area) override {
        socket_ = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket_.valid()) return false;
        if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address_.address), address_.length) != 0)
            return false;
        if (!peerIsSameUser(socket_.get())) return false;
        return sendAll(socket_.get(), area.data(), area.size());
    }

    // The connection closing without a reply means the primary has ended;
    // its exit code cannot be read for a process that is not our child, so
    // the answer is 0 then.
    std::int32_t waitForReply() override {
        std::uint8_t bytes[4] = {};
        if (!socket_.valid() || receiveAll(socket_.get(), bytes, sizeof bytes) != sizeof bytes) return 0;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                         (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                         (static_cast<std::uint32_t>(bytes[3]) << 24));
    }

private:
    // The listener thread: one forwarded start per accepted connection, until
    // the stop pipe becomes readable at the teardown.
    void acceptLoop(const std::function<void(std::shared_ptr<ForwardedStart>)>& onForward) {
        pollfd waits[2] = {{socket_.get(), POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
        for (;;) {
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (waits[1].revents != 0) return;
            if ((waits[0].revents & POLLIN) == 0) continue;
            Descriptor connection(accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection.valid()) {
                // Out of descriptors and the like: try again a little later.
                if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) usleep(100 * 1000);
                continue;
            }
            if (!peerIsSameUser(connection.get())) continue;
            onForward(std::make_shared<PosixForwardedStart>(state_, std::move(connection)));
        }
    }

    Descriptor socket_;
    SocketAddress address_;
    std::shared_ptr<PrimaryState> state_;
    Descriptor stopRead_;
    Descriptor stopWrite_;
    std::thread listener_;
};

}  // namespace

std::unique_ptr<InstanceChannel> openPosixInstanceChannel(const WideString& instanceName, bool& isPrimary) {
    const SocketAddress address = socketAddressFor(instanceName);
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) return nullptr;
    if (bind(socket.get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0) {
        isPrimary = true;
    } else if (errno == EADDRINUSE) {
        isPrimary = false;
        socket.reset();
    } else {
        return nullptr;
    }
    return std::make_unique<PosixInstanceChannel>(std::move(socket), address);
}

}  // namespace kite
