// The numbered German texts of the launcher and the error line around them.
#pragma once

#include <cstdint>
#include <initializer_list>
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
};

// The page that messages 206 and 207 send the user to, shown after them as
// the runtime-not-found dialog's link (item 205): Eclipse Adoptium's download
// page of current OpenJDK builds (Temurin), free to use and not tied to one
// vendor's licence.
inline constexpr char16_t kRuntimeDownloadAddress[] = u"https://adoptium.net/";

// A placeholder argument: %s takes text, %d a signed 32-bit number.
using MessageArgument = std::variant<WideString, std::int32_t>;

class MessageCatalog {
public:
    // The text of id; empty for an id without a text.
    static WideString text(MessageId id);
    // The text with its %s and %d placeholders filled in order.
    static WideString format(MessageId id, std::initializer_list<MessageArgument> arguments);
};

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

// The reason text for a JNI_CreateJavaVM result code (empty outside -1..-6).
WideString jniReasonText(std::int32_t code);

}  // namespace kite
