// Process entry of the Linux build.
#include "launcher/launcher.h"
#include "platform/common/console_message_sink.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/posix_service_control.h"

int main(int argc, char** argv) {
    kite::PosixPlatform platform(argc, argv);
    kite::PosixServiceControl serviceControl(argc > 0 && argv[0] ? argv[0] : "kite");
    kite::ConsoleMessageSink messages(platform);
    return kite::launcherMain(platform, serviceControl, &messages);
}
