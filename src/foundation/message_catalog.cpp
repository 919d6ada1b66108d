#include "foundation/message_catalog.h"

#include <array>
#include <iterator>
#include <map>
#include <string>

#include "platform/common/console_message_sink.h"
#include "platform/environment.h"

namespace kite {

namespace {

struct Entry {
    MessageId id;
    const char16_t* german;
    const char16_t* english;
};

constexpr Entry kCatalog[] = {
    {MessageId::WindowsError, u"Windows Fehler: %s (Fehlernummer = %d).\n",
     u"System error: %s (error number = %d).\n"},
    {MessageId::JniErrorWithReason, u"JNI Fehler: %s\nReason: %s.\n", u"JNI error: %s\nReason: %s.\n"},
    {MessageId::JreNotFoundServer,
     u"Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
     u"eine JRE mit Server JVM (%s) von:",
     u"The Java runtime environment (JRE) was not found. Please download and install a JRE with a "
     u"server JVM (%s) from:"},
    {MessageId::JreNotFound,
     u"Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
     u"eine JRE (%s) von:",
     u"The Java runtime environment (JRE) was not found. Please download and install a JRE (%s) from:"},
    {MessageId::ModulePathNotFound, u"konnte den Modulpfad nicht finden", u"could not find the program's own path"},
    {MessageId::ClassPathMissing, u"Java-Klassenpfad wurde in der INI-Datei nicht angegeben.",
     u"The Java class path is not given in the INI file."},
    {MessageId::MainClassMissing, u"Main class in der INI-Datei nicht spezifiziert.",
     u"The main class is not specified in the INI file."},
    {MessageId::MainClassLoadFailed, u"Konnte die Main Class: %s nicht laden.\n",
     u"Could not load the main class: %s.\n"},
    {MessageId::CreateJavaVmNotFound, u"Kann CreateJavaVM JNI nicht finden",
     u"Cannot find the JNI function CreateJavaVM"},
    {MessageId::CreateJavaVmFailed, u"konnte die Java VM nicht erzeugen", u"could not create the Java VM"},
    {MessageId::BrowseForJreTitle, u"Nach dem JRE-Verzeichnis suchen", u"Browse for the JRE folder"},
    {MessageId::MainClassNotFound, u"Konnte die Main class %s nicht finden.\n",
     u"Could not find the main class %s.\n"},
    {MessageId::MainMethodNotFound, u"Keine Main class in der angegebenen Klasse gefunden.\n",
     u"No main method found in the given class.\n"},
    {MessageId::VersionLatest, u"neueste Version", u"latest version"},
    {MessageId::VersionMaximum, u"maximum Version %s", u"maximum version %s"},
    {MessageId::VersionMinimum, u"minimum Version %s", u"minimum version %s"},
    {MessageId::VersionExact, u"Version %s erforderlich", u"version %s required"},
    {MessageId::VersionRange, u"Version zwischen %s und %s", u"version between %s and %s"},
    {MessageId::JvmLibraryLoadFailed, u"Konnte Java VM Bibliothek: %s (Fehlernummer= %d) nicht laden.\n",
     u"Could not load the Java VM library: %s (error number = %d).\n"},
    {MessageId::JniReasonUnknown, u"unbekannt", u"unknown"},
    {MessageId::JniReasonDetached, u"Thread von der VM getrennt", u"thread detached from the VM"},
    {MessageId::JniReasonVersion, u"JNI Versionsfehler", u"JNI version error"},
    {MessageId::JniReasonNoMemory, u"nicht gen\u00fcgend Arbeitsspeicher", u"not enough memory"},
    {MessageId::JniReasonVmExists, u"VM bereits erzeugt", u"VM already created"},
    {MessageId::JniReasonInvalidArguments, u"ung\u00fcltige Argumente", u"invalid arguments"},
    {MessageId::PathNotRepresentable,
     u"Der Pfad %s enth\u00e4lt Zeichen, die in der Codepage des Systems nicht darstellbar sind.",
     u"The path %s contains characters that the system's code page cannot represent."},
    {MessageId::InstanceFolderNotPrivate,
     u"Der Ordner %s geh\u00f6rt einem anderen Benutzer oder ist f\u00fcr andere Benutzer zug\u00e4nglich; "
     u"die Einzelinstanz kann nicht gepr\u00fcft werden.",
     u"The folder %s belongs to another user or is accessible to other users; the single instance cannot be "
     u"checked."},
    {MessageId::PrimaryUnreachable,
     u"Das Programm l\u00e4uft bereits, die laufende Instanz ist aber nicht erreichbar.",
     u"The program is already running, but the running instance cannot be reached."},
    {MessageId::NoSecondaryMain,
     u"Das Programm l\u00e4uft bereits und nimmt die Argumente eines weiteren Aufrufs nicht an.",
     u"The program is already running and does not take the arguments of another start."},
    {MessageId::RestartFailed, u"Das Programm konnte nicht neu gestartet werden (Fehlernummer = %d).",
     u"The program could not be started again (error number = %d)."},
    {MessageId::VmEndedStart, u"Die Java VM hat den Start mit dem Exit-Code %d beendet.",
     u"The Java VM ended the start with exit code %d."},
    {MessageId::MainThrewUncaught, u"Die Java-Anwendung wurde durch eine nicht abgefangene Ausnahme beendet.",
     u"The Java application ended with an uncaught exception."},
    {MessageId::DialogTitle, u"JRE nicht gefunden", u"JRE not found"},
    {MessageId::DialogFrame, u"Kein JRE", u"No JRE"},
    {MessageId::DialogHint, u"Wenn Sie ein JRE installiert haben, k\u00f6nnen Sie unten danach suchen:",
     u"If you have installed a JRE, you can look for it below:"},
    {MessageId::DialogFolderLabel, u"JRE Pfad:", u"JRE path:"},
    {MessageId::DialogBrowse, u"Durchsuche...", u"Browse..."},
    {MessageId::DialogOk, u"Ok", u"OK"},
    {MessageId::DialogCancel, u"Abbrechen", u"Cancel"},
    {MessageId::PromptNoRuntime, u"Kein JRE: %s", u"No JRE: %s"},
    {MessageId::MainJarUnreadable, u"Die Jar-Datei %s wurde nicht gefunden oder kann nicht gelesen werden.",
     u"The jar file %s was not found or cannot be read."},
    {MessageId::MainJarBroken, u"Die Jar-Datei %s ist besch\u00e4digt oder keine Jar-Datei.",
     u"The jar file %s is damaged or not a jar file."},
    {MessageId::MainJarNoMainClass,
     u"Die Jar-Datei %s nennt keine Main-Class, und die INI-Datei keine Main Class.",
     u"The jar file %s names no Main-Class, and the INI file gives no main class."},
};

constexpr auto kIds = [] {
    std::array<MessageId, std::size(kCatalog)> ids{};
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = kCatalog[i].id;
    return ids;
}();

const Entry* entryOf(MessageId id) {
    for (const Entry& entry : kCatalog) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

// The catalog in use: set at the start, read afterwards.
MessageLanguage chosenLanguage = MessageLanguage::German;
std::map<MessageId, WideString> replacements;

WideString decimal(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return WideString(digits.begin(), digits.end());
}

}  // namespace

WideString MessageCatalog::text(MessageId id) {
    const auto replaced = replacements.find(id);
    if (replaced != replacements.end()) return replaced->second;
    return builtInText(id, chosenLanguage);
}

WideString MessageCatalog::builtInText(MessageId id, MessageLanguage language) {
    const Entry* entry = entryOf(id);
    if (entry == nullptr) return {};
    return language == MessageLanguage::English ? entry->english : entry->german;
}

std::span<const MessageId> MessageCatalog::ids() { return kIds; }

void MessageCatalog::reset(MessageLanguage language) {
    chosenLanguage = language;
    replacements.clear();
}

MessageLanguage MessageCatalog::language() { return chosenLanguage; }

ReplacementCheck MessageCatalog::replace(MessageId id, const WideString& replacement) {
    if (entryOf(id) == nullptr) return ReplacementCheck::UnknownId;
    const ReplacementCheck check = checkReplacement(builtInText(id, chosenLanguage), replacement);
    if (check == ReplacementCheck::Accepted) replacements[id] = replacement;
    return check;
}

namespace {

// The %s and %d of text in order ('s' and 'd'); false at any other '%'
// sequence, a lone '%' at the end included.
bool placeholderKinds(const WideString& text, WideString& kinds) {
    kinds.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') continue;
        if (i + 1 >= text.size()) return false;
        const char16_t kind = text[++i];
        if (kind == u's' || kind == u'd') {
            kinds.push_back(kind);
        } else if (kind != u'%') {
            return false;
        }
    }
    return true;
}

}  // namespace

ReplacementCheck checkReplacement(const WideString& original, const WideString& replacement) {
    WideString wanted;
    WideString given;
    placeholderKinds(original, wanted);
    if (!placeholderKinds(replacement, given)) return ReplacementCheck::UnknownPlaceholder;
    return given == wanted ? ReplacementCheck::Accepted : ReplacementCheck::PlaceholdersDiffer;
}

WideString MessageCatalog::format(MessageId id, std::initializer_list<MessageArgument> arguments) {
    return formatText(text(id), arguments);
}

WideString formatText(const WideString& pattern, std::initializer_list<MessageArgument> arguments) {
    WideString out;
    out.reserve(pattern.size() + 32);
    auto next = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        if (c != u'%' || i + 1 >= pattern.size()) {
            out.push_back(c);
            continue;
        }
        const char16_t kind = pattern[i + 1];
        if (kind == u'%') {
            out.push_back(u'%');
            ++i;
        } else if (kind == u's' || kind == u'd') {
            if (next != arguments.end()) {
                if (const auto* s = std::get_if<WideString>(&*next)) {
                    out += *s;
                } else {
                    out += decimal(std::get<std::int32_t>(*next));
                }
                ++next;
            }
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

ErrorLog* errorLog = nullptr;
MessageSink* messageSink = nullptr;
ErrorDetails* errorDetails = nullptr;
WideString messageProduct;
bool messageService = false;

}  // namespace

void setErrorLog(ErrorLog* log) { errorLog = log; }

void setErrorDetails(ErrorDetails* details) { errorDetails = details; }

void setMessageSink(MessageSink* sink) {
    messageSink = sink;
    setMessageContext({}, false);
}

void setMessageContext(const WideString& productName, bool service) {
    messageProduct = productName;
    messageService = service;
}

WideString errorLine(const WideString& text) { return u"Error: " + text + u" \n"; }

void printError(Environment& console, const WideString& text) {
    if (messageSink != nullptr && !messageService) {
        messageSink->deliverError(text, messageProduct, errorDetails != nullptr ? errorDetails->details() : WideString());
    } else {
        ConsoleMessageSink(console).deliverError(text, messageProduct, {});
    }
    if (errorLog != nullptr) errorLog->write(errorLine(text));
}

void printMessage(Environment& console, MessageId id, std::initializer_list<MessageArgument> arguments) {
    printError(console, MessageCatalog::format(id, arguments));
}

WideString jniReasonText(std::int32_t code) {
    switch (code) {
        case -1: return MessageCatalog::text(MessageId::JniReasonUnknown);
        case -2: return MessageCatalog::text(MessageId::JniReasonDetached);
        case -3: return MessageCatalog::text(MessageId::JniReasonVersion);
        case -4: return MessageCatalog::text(MessageId::JniReasonNoMemory);
        case -5: return MessageCatalog::text(MessageId::JniReasonVmExists);
        case -6: return MessageCatalog::text(MessageId::JniReasonInvalidArguments);
        default: return {};
    }
}

}  // namespace kite
