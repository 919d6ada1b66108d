// The splash library keeps one splash per process. java.awt.SplashScreen
// loads the same library from the runtime and finds the splash started
// there: the application can draw on it and close it, and the runtime closes
// it when the first window appears.
//
// What the library expects (its exports, checked on 17 and 25):
// - SplashInit() first. It resets the library's state: a name or scale
//   handed over before it is lost, and a load without it shows nothing.
// - SplashGetScaledImageName(jar, file, &scale, buffer, size): for a scaled
//   display, the name of the larger image ("splash@2x.png") when that file
//   exists; the buffer holds the name plus
//   SplashGetScaledImgNameMaxPstfixLen(file) bytes. SplashSetScaleFactor
//   then tells the library how to draw it.
// - SplashLoadFile(name) or SplashLoadMemory(bytes, size) decodes the image
//   and opens the window; 0 when the image cannot be decoded or there is no
//   display. The bytes are not used after the call.
// - SplashSetFileJarName(file, null): what SplashScreen.getImageURL answers.
// Names are narrow text in the process's encoding. The exports carry plain
// names and the C calling convention, not JNICALL.
#include "jvm/splash_screen.h"

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/path_helpers.h"
#include "foundation/utf.h"
#include "jar/main_jar.h"
#include "jvm/option_assembly.h"
#include "platform/common/os_conventions.h"
#include "settings/file_locations.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

using SplashInitFunction = void (*)();
using SplashCloseFunction = void (*)();
using SplashLoadFileFunction = int (*)(const char* name);
using SplashLoadMemoryFunction = int (*)(void* bytes, int size);
using SplashSetFileJarNameFunction = void (*)(const char* file, const char* jar);
using SplashSetScaleFactorFunction = void (*)(float scale);
using SplashScaledNameRoomFunction = int (*)(const char* file);
// Its result is a C bool: only the low byte counts.
using SplashGetScaledImageNameFunction = unsigned char (*)(const char* jar, const char* file, float* scale,
                                                           char* buffer, std::size_t size);

// The largest splash image read from a jar.
constexpr std::size_t kMaxSplashImage = 16u << 20;

// The open splash's SplashClose, for closeSplashScreen.
SplashCloseFunction openSplashClose = nullptr;

template <typename Function>
Function symbol(Platform& platform, void* library, const char* name) {
    void* address = nullptr;
    static_cast<void>(platform.processes.findSymbol(library, name, address));
    return reinterpret_cast<Function>(address);
}

// The image named by the setting: environment references expanded, a
// relative path joined to the executable's folder.
WideString imagePath(Platform& platform, WideString value) {
    expandEnvironment(platform, value);
    return pathBesideExecutable(platform, value);
}

}  // namespace

WideString splashLibraryPath(OsStyle style, const WideString& jvmLibraryPath) {
    const char16_t* name = conventions(style).splashLibrary;
    return stripPathComponents(style, jvmLibraryPath, 2) + pathSeparator(style) + name;
}

void showSplashScreen(Platform& platform, const Trace& trace, bool serviceMode, const WideString& jvmLibraryPath,
                      const std::vector<std::string>& options, const MainJarSettings& jar, SettingsStore& store) {
    openSplashClose = nullptr;
    WideString value;
    store.getValue(u"Java Runtime Environment", u"Splash Screen", value);
    // Without the setting, the main jar's SplashScreen-Image, as java -jar shows it.
    const bool fromJar = value.empty() && !jar.splashImage.empty();
    if (value.empty() && !fromJar) return;
    if (serviceMode) {
        trace.write([] { return WideString(u"splash screen: a service shows none"); });
        return;
    }
    // A headless VM refuses SplashScreen, so the application could never close it.
    for (const std::string& option : options) {
        constexpr std::string_view kHeadless = "-Djava.awt.headless=";
        if (option.size() == kHeadless.size() + 4 && option.starts_with(kHeadless) &&
            equalsIgnoringCase(fromAscii(option.substr(kHeadless.size())), u"true")) {
            trace.write([] { return WideString(u"splash screen: none, the VM parameters make Java headless"); });
            return;
        }
    }
    const WideString image = fromJar ? jar.splashImage : imagePath(platform, value);
    FileStatus status;
    std::vector<std::uint8_t> entry;
    if (fromJar) {
        if (!readJarEntry(platform, trace, jar.path, image, kMaxSplashImage, entry)) {
            trace.write([&] {
                return u"splash screen: image " + traceQuoted(image) + u" of the main jar not read, none shown";
            });
            return;
        }
    } else if (image.empty() || !platform.fs.fileStatus(image, status) || status.isFolder) {
        trace.write([&] { return u"splash screen: image " + traceQuoted(image) + u" not found, none shown"; });
        return;
    }
    const WideString libraryPath = splashLibraryPath(platform.style(), jvmLibraryPath);
    void* library = nullptr;
    if (const Status loaded = platform.processes.loadLibrary(libraryPath, library); !loaded) {
        trace.write([&] {
            return u"splash screen: the runtime's splash library " + libraryPath + u" cannot be loaded (error " +
                   traceNumber(loaded.code()) + u"), none shown";
        });
        return;
    }
    const auto init = symbol<SplashInitFunction>(platform, library, "SplashInit");
    const auto close = symbol<SplashCloseFunction>(platform, library, "SplashClose");
    const auto loadFile = symbol<SplashLoadFileFunction>(platform, library, "SplashLoadFile");
    const auto loadMemory = symbol<SplashLoadMemoryFunction>(platform, library, "SplashLoadMemory");
    const auto setNames = symbol<SplashSetFileJarNameFunction>(platform, library, "SplashSetFileJarName");
    const auto setScale = symbol<SplashSetScaleFactorFunction>(platform, library, "SplashSetScaleFactor");
    const auto scaledRoom = symbol<SplashScaledNameRoomFunction>(platform, library, "SplashGetScaledImgNameMaxPstfixLen");
    const auto scaledName = symbol<SplashGetScaledImageNameFunction>(platform, library, "SplashGetScaledImageName");
    if (init == nullptr || close == nullptr || loadFile == nullptr || loadMemory == nullptr || setNames == nullptr) {
        trace.write([&] { return u"splash screen: " + libraryPath + u" lacks the splash entry points, none shown"; });
        return;
    }

    init();
    if (fromJar) {
        // The bytes from the jar; the names make SplashScreen.getImageURL
        // answer the jar's entry.
        const std::string jarName = platform.env.narrowText(jar.path);
        // The entry is at most kMaxSplashImage bytes, which an int holds.
        if (loadMemory(entry.data(), static_cast<int>(entry.size())) == 0) {
            trace.write([&] {
                return u"splash screen: the splash library cannot show " + traceQuoted(image) + u" of the main jar" +
                       u" (no display, or not a PNG, GIF or JPEG image it can read)";
            });
            return;
        }
        if (platform.env.widenText(jarName) == jar.path) {
            setNames(platform.env.narrowText(image).c_str(), jarName.c_str());
        }
        openSplashClose = close;
        trace.write([&] {
            return u"splash screen: " + traceQuoted(image) + u" of " + traceQuoted(jar.path) + u" shown through " +
                   libraryPath;
        });
        return;
    }
    std::string name = platform.env.narrowText(image);
    const bool nameFits = platform.env.widenText(name) == image;
    bool loaded = false;
    float scale = 1.0f;
    if (nameFits) {
        if (scaledRoom != nullptr && scaledName != nullptr && setScale != nullptr) {
            const int room = scaledRoom(name.c_str());
            std::vector<char> scaled(name.size() + static_cast<std::size_t>(room > 0 ? room : 0) + 1, '\0');
            if (scaledName(nullptr, name.c_str(), &scale, scaled.data(), scaled.size()) != 0 && scaled[0] != '\0') {
                scaled.back() = '\0';
                name = scaled.data();
                setScale(scale);
            } else {
                scale = 1.0f;
            }
        }
        loaded = loadFile(name.c_str()) != 0;
    } else {
        // A name the process's encoding cannot hold: the launcher reads the
        // file and hands over its bytes, and no name (a wrong one would be
        // the application's image URL).
        const std::unique_ptr<MappedFile> file = platform.fs.mapFile(image);
        loaded = file != nullptr && file->size() <= static_cast<std::size_t>(INT_MAX) &&
                 loadMemory(const_cast<std::uint8_t*>(file->data()), static_cast<int>(file->size())) != 0;
    }
    const WideString shown = nameFits ? platform.env.widenText(name) : image;
    if (!loaded) {
        trace.write([&] {
            return u"splash screen: the splash library cannot show " + traceQuoted(shown) +
                   u" (no display, or not a PNG, GIF or JPEG image it can read)";
        });
        return;
    }
    if (nameFits) setNames(name.c_str(), nullptr);
    openSplashClose = close;
    trace.write([&] {
        return u"splash screen: " + traceQuoted(shown) + u" shown through " + libraryPath +
               (scale != 1.0f ? u" at scale " + traceNumber(static_cast<std::int64_t>(scale * 100)) + u"%"
                              : WideString());
    });
}

void closeSplashScreen() {
    if (openSplashClose == nullptr) return;
    openSplashClose();
    openSplashClose = nullptr;
}

}  // namespace kite
