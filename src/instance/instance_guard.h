// "Single Instance=yes": the first start of an executable becomes the primary
// and listens; each later start hands its arguments over, waits for the
// primary's reply and ends with it. The primary calls the main class's static
// secondaryMain with each forwarded start's arguments; without one it refuses
// them, and the later start ends at once with an error line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "foundation/trace.h"
#include "foundation/wide_string.h"

namespace kite {

class Platform;
class JavaVm;
class InstanceChannel;
class ForwardedStart;

class InstanceGuard {
public:
    // javaVm is the VM forwarded starts are delivered into, mainClass (with
    // '/' in place of '.') the class whose secondaryMain receives them; trace
    // takes the primary's note that there is none.
    InstanceGuard(Platform& platform, const Trace& trace, JavaVm& javaVm, const WideString& mainClass);
    // Stops the listener and releases the shared objects.
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Reads "Application Type" and "Single Instance" and opens the channel:
    // as the primary it starts listening; as a later start it hands arguments
    // over. False after the error line when the start cannot go on (the
    // channel's folder is not private, the arguments do not fit or could not
    // be handed over).
    bool setUp(const WideStringList& arguments);
    // A later start whose arguments went to the primary.
    bool isSecondary() const { return singleInstance_ && !isPrimary_; }
    bool isPrimary() const { return isPrimary_; }
    bool guarded() const { return singleInstance_; }
    // The secondary's exit code: the primary's reply; -1 after the error line
    // when the primary refused the arguments (no secondaryMain).
    std::int32_t waitForPrimary();
    // Releases the secondaries waiting for the primary's main to start.
    void signalMainStarted();
    // Stops the listener and releases the shared objects now, as the
    // destructor does, so that a new process of the same executable can
    // become the primary; the guard is off afterwards.
    void release();

private:
    void deliver(ForwardedStart& start);

    Platform& platform_;
    const Trace& trace_;
    JavaVm& javaVm_;
    const WideString& mainClass_;
    std::unique_ptr<InstanceChannel> channel_;
    bool singleInstance_ = false;
    bool isPrimary_ = false;
    // The missing secondaryMain has been traced; deliveries run concurrently.
    std::atomic<bool> noReceiverTraced_{false};
};

}  // namespace kite
