// Everything the JVM receives from the settings after its library is loaded:
// the class path, the VM parameters, sun.java.command, the output files and
// the arguments of main with the "Leading Cmd" and "Cmd" words.
#include "jvm/option_assembly.h"

#include "foundation/message_catalog.h"
#include "discovery/runtime_candidates.h"
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

// With "Main Class" set, the manifest's Add-Opens, Add-Exports and
// Enable-Native-Access as the options the java command knows for them. The
// VM reads module options from release 9 on and native access from 22 on
// (where the manifest attribute came in); an older or unknown runtime would
// refuse them, so it gets none and the trace says so.
void appendManifestModuleOptions(Platform& platform, const Trace& trace, const ChosenRuntime& runtime,
                                 const MainJarSettings& jar, std::vector<std::string>& options) {
    if (jar.addOpens.empty() && jar.addExports.empty() && !jar.enableNativeAccess) return;
    JavaVersion version = runtime.version;
    if (version.count == 0) {
        version.parse(releaseVersion(platform, runtimeHomeOf(platform.style(), runtime.jvmLibraryPath)), 0);
    }
    const std::int32_t release = featureRelease(version);
    if (release < 9) {
        trace.write([] {
            return WideString(u"main jar: runtime before 9 or of unknown version, manifest module options left out");
        });
        return;
    }
    for (const WideString& item : jar.addOpens) {
        options.push_back("--add-opens=" + platform.env.narrowText(item) + "=ALL-UNNAMED");
    }
    for (const WideString& item : jar.addExports) {
        options.push_back("--add-exports=" + platform.env.narrowText(item) + "=ALL-UNNAMED");
    }
    if (jar.enableNativeAccess && release >= 22) options.push_back("--enable-native-access=ALL-UNNAMED");
}

}  // namespace

WideString javaCommandText(const WideString& mainClass, const WideStringList& mainArguments) {
    WideString text = mainClass;
    for (char16_t& c : text) {
        if (c == u'/') c = u'.';
    }
    return jarCommandText(text, mainArguments);
}

WideString jarCommandText(const WideString& jarPath, const WideStringList& mainArguments) {
    WideString text = jarPath;
    for (const WideString& argument : mainArguments) text += u' ' + argument;
    return text;
}

bool assembleJvmOptions(Platform& platform, const Trace& trace, const LaunchSettings& settings,
                        const ChosenRuntime& runtime, const WideStringList& arguments, JvmOptions& jvm) {
    WideString settingsFile;
    if (!settingsFilePath(platform, settingsFile)) return false;
    LayeredSettingsStore store(platform, settingsFile);

    WideStringList classPath = buildClassPath(platform, store);
    if (!settings.jar.path.empty()) {
        // The jar comes first, as the only entry the java command would give.
        WideStringList withJar{settings.jar.path};
        for (const WideString& entry : classPath) withJar.append(entry);
        classPath = std::move(withJar);
    }
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
    if (!settings.jar.jarMode) appendManifestModuleOptions(platform, trace, runtime, settings.jar, jvm.options);
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
    // Started from a jar, the java command names the jar in the class's place.
    if (!setsJavaCommand(jvm.options)) {
        const WideString command = settings.jar.jarMode ? jarCommandText(settings.jar.path, jvm.mainArguments)
                                                        : javaCommandText(settings.mainClass, jvm.mainArguments);
        jvm.options.push_back("-Dsun.java.command=" + platform.env.narrowText(command));
    }
    addClassDataArchiveOptions(platform, trace, settings.product, runtime, store, classPath, jvm);

    OutputFiles& output = jvm.output;
    readFileName(platform, store, u"Output File", output.outputFile);
    store.getValue(kApplication, u"Output Append", value);
    output.outputAppend = isExactYes(value);
    readFileName(platform, store, u"Error File", output.errorFile);
    store.getValue(kApplication, u"Error Append", value);
    output.errorAppend = isExactYes(value);

    showSplashScreen(platform, trace, settings.service.serviceMode, runtime.jvmLibraryPath, jvm.options, settings.jar,
                     store);
    return true;
}

}  // namespace kite
