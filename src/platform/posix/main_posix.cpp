// Process entry of the Linux build.
#include "launcher/launcher.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    kite::PosixPlatform platform(argc, argv);
    return kite::launcherMain(platform);
}
