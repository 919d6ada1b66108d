#include "foundation/message_catalog.h"

#include <string>

#include "platform/common/console_message_sink.h"
#include "platform/environment.h"

namespace kite {

namespace {

struct Entry {
    MessageId id;
    const char16_t* text;
};

constexpr Entry kCatalog[] = {
    {MessageId::WindowsError, u"Windows Fehler: %s (Fehlernummer = %d).\n"},
    {MessageId::JniErrorWithReason, u"JNI Fehler: %s\nReason: %s.\n"},
    {MessageId::JreNotFoundServer,
     u"Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
     u"eine JRE mit Server JVM (%s) von:"},
    {MessageId::JreNotFound,
     u"Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
     u"eine JRE (%s) von:"},
    {MessageId::ModulePathNotFound, u"konnte den Modulpfad nicht finden"},
    {MessageId::ClassPathMissing, u"Java-Klassenpfad wurde in der INI-Datei nicht angegeben."},
    {MessageId::MainClassMissing, u"Main class in der INI-Datei nicht spezifiziert."},
    {MessageId::MainClassLoadFailed, u"Konnte die Main Class: %s nicht laden.\n"},
    {MessageId::CreateJavaVmNotFound, u"Kann CreateJavaVM JNI nicht finden"},
    {MessageId::CreateJavaVmFailed, u"konnte die Java VM nicht erzeugen"},
    {MessageId::BrowseForJreTitle, u"Nach dem JRE-Verzeichnis suchen"},
    {MessageId::MainClassNotFound, u"Konnte die Main class %s nicht finden.\n"},
    {MessageId::MainMethodNotFound, u"Keine Main class in der angegebenen Klasse gefunden.\n"},
    {MessageId::VersionLatest, u"neueste Version"},
    {MessageId::VersionMaximum, u"maximum Version %s"},
    {MessageId::VersionMinimum, u"minimum Version %s"},
    {MessageId::VersionExact, u"Version %s erforderlich"},
    {MessageId::VersionRange, u"Version zwischen %s und %s"},
    {MessageId::JvmLibraryLoadFailed,
     u"Konnte Java VM Bibliothek: %s (Fehlernummer= %d) nicht laden.\n"},
    {MessageId::JniReasonUnknown, u"unbekannt"},
    {MessageId::JniReasonDetached, u"Thread von der VM getrennt"},
    {MessageId::JniReasonVersion, u"JNI Versionsfehler"},
    {MessageId::JniReasonNoMemory, u"nicht gen\u00fcgend Arbeitsspeicher"},
    {MessageId::JniReasonVmExists, u"VM bereits erzeugt"},
    {MessageId::JniReasonInvalidArguments, u"ung\u00fcltige Argumente"},
    {MessageId::PathNotRepresentable,
     u"Der Pfad %s enth\u00e4lt Zeichen, die in der Codepage des Systems nicht darstellbar sind."},
    {MessageId::InstanceFolderNotPrivate,
     u"Der Ordner %s geh\u00f6rt einem anderen Benutzer oder ist f\u00fcr andere Benutzer zug\u00e4nglich; "
     u"die Einzelinstanz kann nicht gepr\u00fcft werden."},
    {MessageId::PrimaryUnreachable,
     u"Das Programm l\u00e4uft bereits, die laufende Instanz ist aber nicht erreichbar."},
};

WideString decimal(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return WideString(digits.begin(), digits.end());
}

}  // namespace

WideString MessageCatalog::text(MessageId id) {
    for (const Entry& entry : kCatalog) {
        if (entry.id == id) return entry.text;
    }
    return {};
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
WideString messageProduct;
bool messageService = false;

}  // namespace

void setErrorLog(ErrorLog* log) { errorLog = log; }

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
        messageSink->deliverError(text, messageProduct);
    } else {
        ConsoleMessageSink(console).deliverError(text, messageProduct);
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
