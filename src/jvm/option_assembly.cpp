// Everything the JVM receives from the settings after its library is loaded:
// the class path, the VM parameters, the output files and the "Cmd" words.
#include "jvm/option_assembly.h"

#include "foundation/message_catalog.h"
#include "jvm/splash_screen.h"
#include "settings/command_line.h"
#include "settings/file_locations.h"
#include "jvm/class_data_archive.h"
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

bool assembleJvmOptions(Platform& platform, const Trace& trace, const LaunchSettings& settings,
                        const ChosenRuntime& runtime, const WideStringList& arguments, JvmOptions& jvm) {
    WideString settingsFile;
    if (!settingsFilePath(platform, settingsFile)) return false;
    LayeredSettingsStore store(platform, settingsFile);

    WideStringList classPath = buildClassPath(platform, store);
    WideString value;
    store.getValue(kApplication, u"Embedded Jar", value);
    WideString executable;
    if (isYes(value) && modulePath(platform, executable)) {
        // The executable carries the application's classes as an archive.
        WideStringList withExecutable{executable};
        for (const WideString& entry : classPath) withExecutable.append(entry);
        classPath = std::move(withExecutable);
    }
    const WideStringList pieces = classPathPieces(platform.style(), classPath);
    if (pieces.empty()) {
        printError(platform, MessageCatalog::text(MessageId::ClassPathMissing));
        return false;
    }
    // The class path option has its references expanded like the other
    // options; a piece may then hold separators again.
    WideStringList entries;
    for (WideString piece : pieces) {
        if (piece.find(u'%') != WideString::npos) expandEnvironment(platform, piece);
        appendListPieces(platform.style(), piece, entries);
    }
    std::string classPathOption;
    if (!jvmPathListText(platform, trace, entries, classPathOption)) return false;

    WideStringList options;
    store.getValue(u"Java Runtime Environment", u"Virtual Machine Parameters", value);
    if (!splitVmParameters(platform, value, options, jvm.mainThreadStackSize)) return false;
    jvm.options.push_back("-Djava.class.path=" + classPathOption);
    for (WideString option : options) {
        expandEnvironment(platform, option);
        jvm.options.push_back(platform.env.narrowText(option));
    }
    addClassDataArchiveOptions(platform, trace, settings.product, runtime, store, classPath, jvm);

    OutputFiles& output = jvm.output;
    readFileName(platform, store, u"Output File", output.outputFile);
    store.getValue(kApplication, u"Output Append", value);
    output.outputAppend = isExactYes(value);
    readFileName(platform, store, u"Error File", output.errorFile);
    store.getValue(kApplication, u"Error Append", value);
    output.errorAppend = isExactYes(value);

    jvm.mainArguments = arguments;
    WideString cmd;
    store.getValue(kApplication, u"Cmd", cmd);
    if (!cmd.empty()) {
        expandEnvironment(platform, cmd);
        WideStringList words;
        splitCommandLine(cmd, words);
        for (const WideString& word : words) {
            if (!word.empty()) jvm.mainArguments.append(word);
        }
    }
    showSplashScreen(platform, trace, settings.service.serviceMode, runtime.jvmLibraryPath, jvm.options, store);
    return true;
}

}  // namespace kite
