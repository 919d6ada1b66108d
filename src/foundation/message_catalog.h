// The numbered texts of the launcher, German by default and English on
// request, with a publisher's replacements of single texts, and the error
// line around them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <variant>

#include "foundation/wide_string.h"

namespace kite {

class Environment;
class MessageSink;

enum class MessageId : std::uint16_t {
    WindowsError = 202,
    JniErrorWithReason = 203,
    JreNotFoundServer = 206,
    JreNotFound = 207,
    ModulePathNotFound = 208,
    ClassPathMissing = 209,
    MainClassMissing = 210,
    MainClassLoadFailed = 211,
    CreateJavaVmNotFound = 212,
    CreateJavaVmFailed = 213,
    BrowseForJreTitle = 214,
    MainClassNotFound = 215,
    MainMethodNotFound = 216,
    VersionLatest = 217,
    VersionMaximum = 218,
    VersionMinimum = 219,
    VersionExact = 220,
    VersionRange = 221,
    JvmLibraryLoadFailed = 222,
    JniReasonUnknown = 225,
    JniReasonDetached = 226,
    JniReasonVersion = 227,
    JniReasonNoMemory = 228,
    JniReasonVmExists = 229,
    JniReasonInvalidArguments = 230,
    PathNotRepresentable = 231,
    InstanceFolderNotPrivate = 232,
    PrimaryUnreachable = 233,
    NoSecondaryMain = 234,
    RestartFailed = 235,
    // The windowed builds' boxes for a start the JVM ended.
    VmEndedStart = 236,
    MainThrewUncaught = 237,
    // The runtime-not-found dialog (items of the Windows template) and the
    // Linux prompt that stands in for it.
    DialogTitle = 240,
    DialogFrame = 241,
    DialogHint = 242,
    DialogFolderLabel = 243,
    DialogBrowse = 244,
    DialogOk = 245,
    DialogCancel = 246,
    PromptNoRuntime = 247,
    // "Main Jar".
    MainJarUnreadable = 250,
    MainJarBroken = 251,
    MainJarNoMainClass = 252,
};

// The built-in catalogs. German is the default and stays unless the settings
// ask for another.
enum class MessageLanguage { German, English };

// Why a replacement text was taken or refused.
enum class ReplacementCheck {
    Accepted,
    UnknownId,            // no built-in text has that number
    UnknownPlaceholder,   // a '%' that is not %s, %d or %%
    PlaceholdersDiffer,   // not the built-in text's %s and %d in the same order
};

// The page that messages 206 and 207 send the user to, shown after them as
// the runtime-not-found dialog's link (item 205): Eclipse Adoptium's download
// page of current OpenJDK builds (Temurin), free to use and not tied to one
// vendor's licence.
inline constexpr char16_t kRuntimeDownloadAddress[] = u"https://adoptium.net/";

// A placeholder argument: %s takes text, %d a signed 32-bit number.
using MessageArgument = std::variant<WideString, std::int32_t>;

// The catalog in use is process-wide: it is chosen once at the start, from
// the settings, before any other thread exists, and only read afterwards.
class MessageCatalog {
public:
    // The text of id in use: a replacement, else the built-in text of the
    // chosen language; empty for an id without a text.
    static WideString text(MessageId id);
    // The text with its %s and %d placeholders filled in order.
    static WideString format(MessageId id, std::initializer_list<MessageArgument> arguments);

    // The built-in text of id in language; empty for an id without a text.
    static WideString builtInText(MessageId id, MessageLanguage language);
    // Every id with a text, in ascending order.
    static std::span<const MessageId> ids();

    // Chooses the built-in texts of language and drops every replacement.
    static void reset(MessageLanguage language);
    static MessageLanguage language();
    // Replaces the text of id for the rest of the process when
    // checkReplacement accepts it against the built-in text in use; anything
    // else leaves the text as it was.
    static ReplacementCheck replace(MessageId id, const WideString& replacement);
};

// Whether replacement may stand for original: it holds the same %s and %d
// in the same order, and no other '%' than "%%". A text that passes cannot
// make the formatter read an argument that is not there.
ReplacementCheck checkReplacement(const WideString& original, const WideString& replacement);

// Fills %s and %d placeholders of a printf-style text in order; "%%" gives '%'.
WideString formatText(const WideString& pattern, std::initializer_list<MessageArgument> arguments);

// A second receiver of every error line, besides standard output.
class ErrorLog {
public:
    virtual ~ErrorLog() = default;
    virtual void write(const WideString& line) = 0;
};

// Makes log receive every later error line (null: none). Set by the process
// entry before any other thread exists.
void setErrorLog(ErrorLog* log);

// What a message box shows below an error message: the JVM's own text of
// the failure (windowed builds).
class ErrorDetails {
public:
    virtual ~ErrorDetails() = default;
    virtual WideString details() = 0;
};

// Makes details supply the text below every later error message (null:
// none). Set before the JVM is created and cleared once it is gone.
void setErrorDetails(ErrorDetails* details);

// Makes sink receive every later error message (null: the console line on
// standard output). Set by the process entry before any other thread exists.
void setMessageSink(MessageSink* sink);
// What the sink learns from the settings, once they are read: the product
// name (a message box's caption), and service mode, in which every message
// takes the console line, as a service never shows a window.
void setMessageContext(const WideString& productName, bool service);

// "Error: <text> \n", the line the console shows.
WideString errorLine(const WideString& text);
// Hands text to the message sink (by default: its error line on standard
// output), and the error line to the error log when one is set.
void printError(Environment& console, const WideString& text);
// Formats a catalog text and prints it with printError.
void printMessage(Environment& console, MessageId id, std::initializer_list<MessageArgument> arguments);

// The reason text for a JNI_CreateJavaVM result code (empty outside -1..-6),
// in the catalog's language.
WideString jniReasonText(std::int32_t code);

}  // namespace kite
