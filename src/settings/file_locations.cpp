#include "settings/file_locations.h"

#include "foundation/message_catalog.h"
#include "foundation/path_helpers.h"
#include "platform/common/os_conventions.h"
#include "platform/platform.h"
#include "settings/launch_settings.h"
#include "settings/settings_store.h"

namespace kite {

namespace {

const WideString kJreSection = u"Java Runtime Environment";
const WideString kJrePathKey = u"JRE Path";

}  // namespace

WideString productFolderName(const WideString& productName) {
    WideString out;
    for (char16_t c : productName) {
        if (WideString(u"\\?\"|><:/*").find(c) == WideString::npos) out.push_back(c);
    }
    // Without separators the name is one folder; made of dots alone ("..")
    // it would name the folder above, so it names none.
    if (out.find_first_not_of(u". ") == WideString::npos) out.clear();
    return out;
}

namespace {

// A path that names one folder whatever the current folder and drive are:
// /x on Linux; C:\x or \\server\share on Windows.
bool isFullPath(OsStyle style, const WideString& path) {
    if (style == OsStyle::Posix) return !path.empty() && path[0] == u'/';
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    return path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
}

}  // namespace

bool modulePath(Platform& platform, WideString& out) {
    const Status found = platform.env.modulePath(out);
    if (found) return true;
    printMessage(platform, MessageId::WindowsError,
                 {MessageCatalog::text(MessageId::ModulePathNotFound), found.code()});
    return false;
}

WideString pathBesideExecutable(Platform& platform, const WideString& path) {
    const OsStyle style = platform.style();
    if (isAbsolutePath(style, path)) return nativePath(style, path);
    WideString module;
    if (!platform.env.modulePath(module)) return {};
    const std::size_t cut = lastPathSeparator(style, module);
    WideString folder = cut == WideString::npos ? WideString() : module.substr(0, cut);
    const WideString relative = nativePath(style, path);
    if (relative.empty() || !isPathSeparator(style, relative.front())) folder.push_back(pathSeparator(style));
    return folder + relative;
}

bool settingsPathFor(Platform& platform, const WideString& executablePath, WideString& out) {
    const OsStyle style = platform.style();
    if (conventions(style).settingsFileNaming == SettingsFileNaming::LastDotOfFileName) {
        const std::size_t slash = lastPathSeparator(style, executablePath);
        const std::size_t nameStart = slash == WideString::npos ? 0 : slash + 1;
        const std::size_t dot = executablePath.rfind(u'.');
        if (executablePath.size() == nameStart) return false;
        if (dot == WideString::npos || dot < nameStart) {
            out = executablePath + u".ini";
        } else {
            out = executablePath.substr(0, dot + 1) + u"ini";
        }
        return true;
    }
    const std::size_t dot = executablePath.rfind(u'.');
    if (dot == WideString::npos) return false;
    out = executablePath.substr(0, dot + 1) + u"ini";
    return true;
}

bool userBaseFolder(Platform& platform, const BaseFolderRule& rule, WideString& out) {
    const OsStyle style = platform.style();
    if (platform.env.getEnvironment(rule.variable, out) && !out.empty() &&
        (rule.maxLength == 0 || out.size() <= rule.maxLength) && (!rule.variableMustBeFull || isFullPath(style, out)))
        return true;
    out.clear();
    WideString home;
    if (rule.belowHome == nullptr || !platform.env.getEnvironment(u"HOME", home) || home.empty() ||
        (rule.homeMustBeFull && !isFullPath(style, home)))
        return false;
    out = home + rule.belowHome;
    return true;
}

bool settingsFilePath(Platform& platform, WideString& out) {
    WideString module;
    if (!modulePath(platform, module)) return false;
    return settingsPathFor(platform, module, out);
}

void userSettingsPath(Platform& platform, const ProductSettings& product, const WideString& executablePath,
                      bool createFolders, WideString& out) {
    out.clear();
    if (executablePath.empty()) return;
    const OsStyle style = platform.style();
    const std::size_t slash = lastPathSeparator(style, executablePath);
    WideString fileName = slash == WideString::npos ? executablePath : executablePath.substr(slash + 1);
    const std::size_t dot = fileName.rfind(u'.');
    if (dot != WideString::npos) fileName.resize(dot);
    fileName += u".ini";

    const BaseFolderRule& rule = conventions(style).configurationFolder;
    WideString base;
    // Without the user's own folder there is no per-user file: the path
    // would lie in the current folder or at the root of the current drive,
    // where any user can create the file that decides "JRE Path".
    if (!userBaseFolder(platform, rule, base)) return;
    const char16_t separator = pathSeparator(style);
    const WideString productFolder = base + separator + productFolderName(product.name);
    const WideString codeFolder = productFolder + separator + productFolderName(product.code);
    if (createFolders) {
        // ~/.config (or $XDG_CONFIG_HOME) may not exist yet in a fresh home folder;
        // APPDATA always does.
        if (rule.mayBeMissing) static_cast<void>(platform.fs.createDirectory(base));
        static_cast<void>(platform.fs.createDirectory(productFolder));
        static_cast<void>(platform.fs.createDirectory(codeFolder));
    }
    out = codeFolder + separator + fileName;
}

void applyWorkingDirectory(Platform& platform) {
    WideString module;
    if (!modulePath(platform, module)) return;
    const std::size_t slash = lastPathSeparator(platform.style(), module);
    if (slash == WideString::npos || slash == 0) return;
    platform.env.setCurrentDirectory(module.substr(0, slash));
}

void recordJrePath(Platform& platform, const LaunchSettings& settings, const WideString& folder) {
    const WideString& pairProduct = settings.pair.product;
    WideString settingsFile;
    if (!settingsFilePath(platform, settingsFile)) return;
    if (!settings.service.serviceMode) {
        WideString module;
        WideString userFile;
        if (platform.env.modulePath(module)) userSettingsPath(platform, settings.product, module, true, userFile);
        if (!userFile.empty()) platform.fs.writeProfileString(userFile, kJreSection, kJrePathKey, folder);
        if (!pairProduct.empty()) {
            WideString pairedUserFile;
            userSettingsPath(platform, settings.product, pairProduct, true, pairedUserFile);
            if (!pairedUserFile.empty())
                platform.fs.writeProfileString(pairedUserFile, kJreSection, kJrePathKey, folder);
        }
        return;
    }
    platform.fs.writeProfileString(settingsFile, kJreSection, kJrePathKey, folder);
    WideString pairedFile;
    if (!pairProduct.empty() && settingsPathFor(platform, pairProduct, pairedFile))
        platform.fs.writeProfileString(pairedFile, kJreSection, kJrePathKey, folder);
}

}  // namespace kite
