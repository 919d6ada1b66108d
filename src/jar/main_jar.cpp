#include "jar/main_jar.h"

#include <string>
#include <string_view>

#include "foundation/message_catalog.h"
#include "foundation/utf.h"
#include "jar/jar_manifest.h"
#include "jar/zip_archive.h"
#include "platform/platform.h"
#include "settings/launch_settings.h"

namespace kite {

namespace {

constexpr std::string_view kManifestName = "META-INF/MANIFEST.MF";

enum class JarRead { Read, Unreadable, Broken };

// The jar mapped for reading; Unreadable for a missing file, a folder or
// one that cannot be opened, Broken for an empty file.
JarRead mapJar(Platform& platform, const WideString& path, std::unique_ptr<MappedFile>& file) {
    FileStatus status;
    if (!platform.fs.fileStatus(path, status) || status.isFolder) return JarRead::Unreadable;
    file = platform.fs.mapFile(path);
    if (file == nullptr) return status.size == 0 ? JarRead::Broken : JarRead::Unreadable;
    return JarRead::Read;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The "module/package" items of Add-Opens or Add-Exports, separated by
// blanks. An item that could make another option of the text (it holds '='
// or ',') is left out; the trace says so.
void appendModulePackages(const Trace& trace, const JarManifest& manifest, std::string_view attribute,
                          WideStringList& items) {
    const std::string* value = manifest.value(attribute);
    if (value == nullptr) return;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view item = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        if (item.empty()) continue;
        const std::size_t slash = item.find('/');
        const bool modulePackage = slash != std::string_view::npos && slash != 0 && slash + 1 < item.size() &&
                                   item.find('/', slash + 1) == std::string_view::npos &&
                                   item.find_first_of("=,") == std::string_view::npos;
        if (!modulePackage) {
            trace.write([&] {
                return u"main jar: " + fromAscii(attribute) + u" item " + traceQuoted(fromUtf8(item)) +
                       u" is not module/package, left out";
            });
            continue;
        }
        items.append(fromUtf8(item));
    }
}

}  // namespace

bool readMainJar(Platform& platform, const Trace& trace, LaunchSettings& settings) {
    MainJarSettings& jar = settings.jar;
    if (jar.path.empty()) return true;
    std::unique_ptr<MappedFile> file;
    const JarRead read = mapJar(platform, jar.path, file);
    if (read == JarRead::Unreadable) {
        printMessage(platform, MessageId::MainJarUnreadable, {jar.path});
        return false;
    }
    std::vector<std::uint8_t> bytes;
    ZipLookup lookup{ZipStatus::Broken, "empty file"};
    if (file != nullptr) {
        lookup = readZipEntry(std::span(file->data(), file->size()), kManifestName, true, kMaxManifestSize, bytes);
    }
    JarManifest manifest;
    if (lookup.status == ZipStatus::Found &&
        !manifest.parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        lookup = {ZipStatus::Broken, "manifest has a line that is not \"name: value\""};
    }
    if (lookup.status == ZipStatus::Broken) {
        trace.write([&] { return u"main jar: " + traceQuoted(jar.path) + u": " + fromAscii(lookup.reason); });
        printMessage(platform, MessageId::MainJarBroken, {jar.path});
        return false;
    }
    if (lookup.status == ZipStatus::NoEntry) {
        trace.write([&] { return u"main jar: " + traceQuoted(jar.path) + u" has no manifest"; });
    }

    if (const std::string* image = manifest.value("SplashScreen-Image")) jar.splashImage = fromUtf8(trimmed(*image));
    const std::string* manifestMain = manifest.value("Main-Class");
    const std::string_view mainClass = manifestMain == nullptr ? std::string_view() : trimmed(*manifestMain);
    if (!settings.mainClass.empty()) {
        // "Main Class" wins; the launcher class then reads no manifest, so
        // the module options it would have applied are taken from it here.
        appendModulePackages(trace, manifest, "Add-Opens", jar.addOpens);
        appendModulePackages(trace, manifest, "Add-Exports", jar.addExports);
        const std::string* nativeAccess = manifest.value("Enable-Native-Access");
        jar.enableNativeAccess = nativeAccess != nullptr && trimmed(*nativeAccess) == "ALL-UNNAMED";
        trace.write([&] { return u"main jar: " + traceQuoted(jar.path) + u", \"Main Class\" wins over its manifest"; });
        return true;
    }
    if (mainClass.empty()) {
        printMessage(platform, MessageId::MainJarNoMainClass, {jar.path});
        return false;
    }
    jar.jarMode = true;
    settings.mainClass = fromUtf8(mainClass);
    for (char16_t& c : settings.mainClass) {
        if (c == u'.') c = u'/';
    }
    trace.write([&] { return u"main jar: " + traceQuoted(jar.path) + u", Main-Class " + fromUtf8(mainClass); });
    return true;
}

bool readJarEntry(Platform& platform, const Trace& trace, const WideString& jarPath, const WideString& entryName,
                  std::size_t maxSize, std::vector<std::uint8_t>& content) {
    std::unique_ptr<MappedFile> file;
    if (mapJar(platform, jarPath, file) != JarRead::Read) {
        trace.write([&] { return u"main jar: " + traceQuoted(jarPath) + u" cannot be read"; });
        return false;
    }
    const std::string name = toUtf8(entryName);
    const ZipLookup lookup = readZipEntry(std::span(file->data(), file->size()), name, false, maxSize, content);
    if (lookup.status == ZipStatus::Found) return true;
    trace.write([&] {
        return u"main jar: entry " + traceQuoted(entryName) + u" of " + traceQuoted(jarPath) + u": " +
               (lookup.status == ZipStatus::NoEntry ? WideString(u"not there") : fromAscii(lookup.reason));
    });
    return false;
}

}  // namespace kite
