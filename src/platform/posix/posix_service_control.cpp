#include "platform/posix/posix_service_control.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "foundation/utf.h"
#include "platform/posix/posix_descriptor.h"

namespace kite {

namespace {

// The signal handler passes the signal number through this pipe to the dispatcher loop.
int signalPipe[2] = {-1, -1};

// The other bytes on the pipe: the service main has returned, and the service
// has made its first report (its stop control is ready). No stop signal has
// these numbers.
constexpr char kServiceMainDone = 0;
constexpr char kStopControlReady = 0x7f;

void writeToLoop(char byte) { [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1); }

void onStopSignal(int number) {
    const int saved = errno;
    writeToLoop(static_cast<char>(number));
    errno = saved;
}

struct ServiceMainStart {
    ServiceCallbacks* callbacks;
    WideStringList arguments;
};

void* serviceMainThread(void* argument) {
    auto* start = static_cast<ServiceMainStart*>(argument);
    start->callbacks->serviceMain(start->arguments);
    writeToLoop(kServiceMainDone);
    return nullptr;
}

// Installs the stop handlers for the dispatcher's lifetime and restores the old ones.
class StopSignals {
public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, &oldTerm_);
        sigaction(SIGINT, &action, &oldInt_);
    }
    ~StopSignals() {
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGINT, &oldInt_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
};

}  // namespace

PosixServiceControl::PosixServiceControl(std::string programName) : programName_(std::move(programName)) {}

PosixServiceControl::~PosixServiceControl() { pthread_mutex_destroy(&lock_); }

std::int32_t PosixServiceControl::runDispatcher(ServiceCallbacks& callbacks) {
    if (pipe2(signalPipe, O_CLOEXEC) != 0) return errno;
    std::int32_t result = 0;
    {
        StopSignals signals;
        // The service's name is the first start argument, as a service manager passes it.
        const std::size_t slash = programName_.rfind('/');
        ServiceMainStart start{&callbacks, {fromUtf8(slash == std::string::npos ? programName_
                                                                                : programName_.substr(slash + 1))}};
        pthread_t thread;
        // pthread_create returns its error code; it does not set errno.
        if (const int error = pthread_create(&thread, nullptr, serviceMainThread, &start); error != 0) {
            result = error;
        } else {
            // A stop signal that comes before the service's first report is kept
            // and delivered as soon as it has made one: the host then stops the
            // Java application once main is called, or the start ends on its own.
            bool ready = false;
            bool stopPending = false;
            for (;;) {
                char byte = 0;
                const ssize_t n = read(signalPipe[0], &byte, 1);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0 || byte == kServiceMainDone) break;
                if (byte == kStopControlReady) {
                    ready = true;
                    if (!std::exchange(stopPending, false)) continue;
                } else if (!ready) {
                    stopPending = true;
                    continue;
                }
                callbacks.control(kServiceControlStop);
            }
            pthread_join(thread, nullptr);
        }
    }
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
    return result;
}

bool PosixServiceControl::registerHandler() { return true; }

bool PosixServiceControl::reportStatus(const ServiceStatus& status) {
    if (status.currentState == kServiceStartPending || status.currentState == kServiceRunning) {
        // systemd takes the service as started only once main is called.
        if (status.currentState == kServiceRunning) notify("READY=1");
        // The stop control is taken from now on. The host reports under its lock,
        // so a stop delivered now is reported after this state.
        if (!stopControlReady_) {
            stopControlReady_ = true;
            writeToLoop(kStopControlReady);
        }
    } else if (!stoppingSent_ &&
               (status.currentState == kServiceStopPending || status.currentState == kServiceStopped)) {
        stoppingSent_ = true;
        notify("STOPPING=1");
    }
    return true;
}

void PosixServiceControl::serialized(const std::function<void()>& action) {
    pthread_mutex_lock(&lock_);
    action();
    pthread_mutex_unlock(&lock_);
}

void PosixServiceControl::logError(const WideString& line) {
    const std::string text = toUtf8(line);
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text.data(), text.size());
}

void PosixServiceControl::notify(const char* message) {
    const char* socketPath = std::getenv("NOTIFY_SOCKET");
    if (socketPath == nullptr || socketPath[0] == '\0') return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(socketPath);
    if (length >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, socketPath, length);
    if (address.sun_path[0] == '@') address.sun_path[0] = '\0';  // abstract namespace
    const Descriptor fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return;
    sendto(fd.get(), message, std::strlen(message), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
           static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length));
}

}  // namespace kite
