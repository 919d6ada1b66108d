// Set-up of the single-instance guard and the secondary's wait. The first
// start of an executable becomes the primary and listens; later starts hand
// their arguments over and wait for the primary's reply.
#include "instance/instance_guard.h"

#include <memory>

#include "foundation/message_catalog.h"
#include "instance/argument_area.h"
#include "settings/file_locations.h"
#include "platform/instance_channel.h"
#include "platform/platform.h"
#include "settings/settings_store.h"

namespace kite {

namespace {

// The name of the guard's objects: the executable's path with every
// backslash made an underscore, so each executable path has its own.
WideString instanceNameFor(const WideString& executablePath) {
    WideString name = executablePath;
    for (char16_t& c : name) {
        if (c == u'\\') c = u'_';
    }
    return name;
}

}  // namespace

InstanceGuard::InstanceGuard(Platform& platform, const Trace& trace, JavaVm& javaVm, const WideString& mainClass)
    : platform_(platform), trace_(trace), javaVm_(javaVm), mainClass_(mainClass) {}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::setUp(const WideStringList& arguments) {
    singleInstance_ = false;
    isPrimary_ = false;
    WideString settingsFile;
    if (!settingsFilePath(platform_, settingsFile)) return false;
    LayeredSettingsStore store(platform_, settingsFile);
    WideString value;
    store.getValue(u"Application", u"Application Type", value);
    if (value == u"service") return true;  // a service is never guarded
    store.getValue(u"Application", u"Single Instance", value);
    if (value != u"yes") return true;
    singleInstance_ = true;

    WideString executable;
    InstanceChannelOpening opening;
    if (modulePath(platform_, executable)) {
        opening = platform_.processes.openInstanceChannel(instanceNameFor(executable));
    }
    if (!opening.unsafeFolder.empty()) {
        // Whether an instance runs cannot be told: running unguarded could
        // start a second one.
        printMessage(platform_, MessageId::InstanceFolderNotPrivate, {opening.unsafeFolder});
        singleInstance_ = false;
        return false;
    }
    channel_ = std::move(opening.channel);
    if (!channel_) {
        singleInstance_ = false;  // runs as an ordinary instance
        return true;
    }
    isPrimary_ = opening.isPrimary;

    if (isPrimary_) {
        // Each forwarded start is delivered on a thread of its own; the thread
        // handle is closed at once, the thread is never waited for.
        const bool listening = channel_->startPrimary([this](std::shared_ptr<ForwardedStart> start) {
            platform_.processes.startThread(
                [this, start] {
                    deliver(*start);
                    return std::uint32_t{0};
                },
                0);
        });
        // Without a listener the guard goes off for this process; the channel
        // stays, so later starts find a primary that does not answer.
        if (!listening) singleInstance_ = false;
        return true;
    }

    ArgumentArea area{};
    if (!writeArgumentArea(arguments, area)) return false;
    const ForwardResult forwarded = channel_->forward(area);
    if (forwarded == ForwardResult::Unreachable) printMessage(platform_, MessageId::PrimaryUnreachable, {});
    return forwarded == ForwardResult::Forwarded;
}

std::int32_t InstanceGuard::waitForPrimary() {
    if (!channel_) return 0;
    const PrimaryReply reply = channel_->waitForReply();
    if (!reply.refused) return reply.exitCode;
    printMessage(platform_, MessageId::NoSecondaryMain, {});
    return -1;
}

void InstanceGuard::release() {
    channel_.reset();
    singleInstance_ = false;
    isPrimary_ = false;
}

void InstanceGuard::signalMainStarted() {
    if (channel_) channel_->signalMainStarted();
}

}  // namespace kite
