// Everything the JVM receives from the settings after its library is loaded:
// the class path, the VM parameters, the output files and the "Cmd" words.
#include "jvm/option_assembly.h"

#include "foundation/message_catalog.h"
#include "jvm/splash_screen.h"
#include "launcher/command_line.h"
#include "settings/file_locations.h"
#include "launcher/launcher.h"
#include "platform/platform.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

const WideString kApplication = u"Application";

// A file name setting with its environment references expanded.
void readFileName(Platform& platform, SettingsStore& store, const WideString& key, WideString& out) {
    store.getValue(kApplication, key, out);
    if (!out.empty()) expandEnvironment(platform, out);
}

}  // namespace

bool Launcher::assembleJvmOptions() {
    WideString settingsFile;
    if (!settingsFilePath(platform_, settingsFile)) return false;
    LayeredSettingsStore store(platform_, settingsFile);

    WideStringList classPath = buildClassPath(platform_, store);
    WideString value;
    store.getValue(kApplication, u"Embedded Jar", value);
    WideString executable;
    if (isYes(value) && modulePath(platform_, executable)) {
        // The executable carries the application's classes as an archive.
        WideStringList withExecutable{executable};
        for (const WideString& entry : classPath) withExecutable.append(entry);
        classPath = std::move(withExecutable);
    }
    const WideStringList pieces = classPathPieces(platform_.style(), classPath);
    if (pieces.empty()) {
        printError(platform_, MessageCatalog::text(MessageId::ClassPathMissing));
        return false;
    }
    // The class path option has its references expanded like the other
    // options; a piece may then hold separators again.
    WideStringList entries;
    for (WideString piece : pieces) {
        if (piece.find(u'%') != WideString::npos) expandEnvironment(platform_, piece);
        appendListPieces(platform_.style(), piece, entries);
    }
    std::string classPathOption;
    if (!jvmPathListText(*this, entries, classPathOption)) return false;

    WideStringList options;
    store.getValue(u"Java Runtime Environment", u"Virtual Machine Parameters", value);
    if (!splitVmParameters(*this, value, options)) return false;
    jvmOptions.push_back("-Djava.class.path=" + classPathOption);
    for (WideString option : options) {
        expandEnvironment(platform_, option);
        jvmOptions.push_back(platform_.env.narrowText(option));
    }
    addClassDataArchiveOptions(store, classPath);

    readFileName(platform_, store, u"Output File", outputFile);
    store.getValue(kApplication, u"Output Append", value);
    if (isExactYes(value)) outputAppend = true;
    readFileName(platform_, store, u"Error File", errorFile);
    store.getValue(kApplication, u"Error Append", value);
    if (isExactYes(value)) errorAppend = true;

    store.getValue(kApplication, u"Cmd", cmdArguments);
    if (!cmdArguments.empty()) {
        expandEnvironment(platform_, cmdArguments);
        WideStringList words;
        splitCommandLine(cmdArguments, words);
        for (const WideString& word : words) {
            if (!word.empty()) arguments.append(word);
        }
    }
    showSplashScreen(*this, store);
    return true;
}

}  // namespace kite
