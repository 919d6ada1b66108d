// Everything the JVM receives from the settings after its library is loaded:
// the class path, the VM parameters, sun.java.command, the output files and
// the arguments of main with the "Leading Cmd" and "Cmd" words.
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

enum class EmptyWords { dropped, quotedKept };

// Appends the words of a command-line setting ("Leading Cmd", "Cmd"), its
// environment references expanded. "Cmd" drops every empty word. "Leading
// Cmd" keeps a quoted empty word (""), as a start script's fixed options
// hold one ("-cp \"\"" before the user's arguments: dropping it would make
// the option take the user's first argument as its value); leading blanks
// are trimmed first, as they are the only source of an unquoted empty word.
void appendSettingWords(Platform& platform, SettingsStore& store, const WideString& key, EmptyWords empty,
                        WideStringList& out) {
    WideString text;
    store.getValue(kApplication, key, text);
    if (text.empty()) return;
    expandEnvironment(platform, text);
    if (empty == EmptyWords::quotedKept) text.erase(0, text.find_first_not_of(u' '));
    WideStringList words;
    splitCommandLine(text, words);
    for (const WideString& word : words) {
        if (!word.empty() || empty == EmptyWords::quotedKept) out.append(word);
    }
}

bool setsJavaCommand(const std::vector<std::string>& options) {
    const std::string property = "-Dsun.java.command";
    for (const std::string& option : options) {
        if (option.compare(0, property.size(), property) == 0 &&
            (option.size() == property.size() || option[property.size()] == '=')) {
            return true;
        }
    }
    return false;
}

}  // namespace

WideString javaCommandText(const WideString& mainClass, const WideStringList& mainArguments) {
    WideString text = mainClass;
    for (char16_t& c : text) {
        if (c == u'/') c = u'.';
    }
    for (const WideString& argument : mainArguments) text += u' ' + argument;
    return text;
}

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

    // The arguments of main: the "Leading Cmd" words, the command line's,
    // then the "Cmd" words.
    appendSettingWords(platform, store, u"Leading Cmd", EmptyWords::quotedKept, jvm.mainArguments);
    for (const WideString& argument : arguments) jvm.mainArguments.append(argument);
    appendSettingWords(platform, store, u"Cmd", EmptyWords::dropped, jvm.mainArguments);
    // What the java command sets, read by tools (jps, jcmd) and by
    // applications that restart themselves.
    if (!setsJavaCommand(jvm.options)) {
        jvm.options.push_back("-Dsun.java.command=" +
                              platform.env.narrowText(javaCommandText(settings.mainClass, jvm.mainArguments)));
    }
    addClassDataArchiveOptions(platform, trace, settings.product, runtime, store, classPath, jvm);

    OutputFiles& output = jvm.output;
    readFileName(platform, store, u"Output File", output.outputFile);
    store.getValue(kApplication, u"Output Append", value);
    output.outputAppend = isExactYes(value);
    readFileName(platform, store, u"Error File", output.errorFile);
    store.getValue(kApplication, u"Error Append", value);
    output.errorAppend = isExactYes(value);

    showSplashScreen(platform, trace, settings.service.serviceMode, runtime.jvmLibraryPath, jvm.options, store);
    return true;
}

}  // namespace kite
