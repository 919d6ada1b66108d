// The language of the launcher's messages and a publisher's replacements of
// single texts, read from the settings file and installed into the message
// catalog before the start can show any message.
#pragma once

#include "foundation/message_catalog.h"
#include "foundation/wide_string.h"

namespace kite {

class Platform;
class SettingsStore;
class Trace;

// "Message Language" of [Application]: "de" or nothing gives German, "en"
// English, letter case aside. Any other value gives German; known is false then.
MessageLanguage messageLanguage(const WideString& value, bool& known);

// A replacement text as the settings file holds it, made ready for the
// catalog: the two characters "\n" become a line break, since an INI value
// cannot hold one.
WideString replacementText(const WideString& value);

// Resets the catalog to the language the store's settings name and takes
// every [Messages] entry "<number>=<text>" whose number has a built-in text
// and whose placeholders match it. What is refused or unknown keeps the
// built-in text and gets a trace line.
void applyMessageSettings(SettingsStore& store, const Trace& trace);

// The same for the settings file beside the executable. Quiet when that
// file cannot be named: the settings reader reports that a moment later.
void applyMessageSettings(Platform& platform, const Trace& trace);

}  // namespace kite
