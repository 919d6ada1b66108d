#include "settings/message_settings.h"

#include "foundation/trace.h"
#include "platform/platform.h"
#include "settings/file_locations.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"

namespace kite {

namespace {

const WideString kApplication = u"Application";
const WideString kMessages = u"Messages";

WideString why(ReplacementCheck check) {
    switch (check) {
        case ReplacementCheck::UnknownPlaceholder:
            return u"it holds a '%' that is not %s, %d or %%";
        case ReplacementCheck::PlaceholdersDiffer:
            return u"its %s and %d differ from the built-in text's";
        default:
            return u"no built-in text has that number";
    }
}

}  // namespace

MessageLanguage messageLanguage(const WideString& value, bool& known) {
    known = true;
    if (value.empty() || equalsIgnoringCase(value, u"de")) return MessageLanguage::German;
    if (equalsIgnoringCase(value, u"en")) return MessageLanguage::English;
    known = false;
    return MessageLanguage::German;
}

WideString replacementText(const WideString& value) {
    WideString text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size() && value[i + 1] == u'n') {
            text.push_back(u'\n');
            ++i;
        } else {
            text.push_back(value[i]);
        }
    }
    return text;
}

void applyMessageSettings(SettingsStore& store, const Trace& trace) {
    WideString value;
    store.getValue(kApplication, u"Message Language", value);
    bool known = true;
    const MessageLanguage language = messageLanguage(value, known);
    MessageCatalog::reset(language);
    if (!known) {
        trace.write([&] {
            return u"Message Language " + traceQuoted(value) + u" is not one of de, en: the messages stay German";
        });
    }
    WideStringList sections;
    store.getSectionNames(sections);
    // Without the section the numbers are not looked up one by one.
    bool hasMessages = false;
    for (const WideString& section : sections) hasMessages = hasMessages || equalsIgnoringCase(section, kMessages);
    if (!hasMessages) return;
    for (const MessageId id : MessageCatalog::ids()) {
        const WideString number = traceNumber(static_cast<std::int64_t>(id));
        store.getValue(kMessages, number, value);
        if (value.empty()) continue;
        const ReplacementCheck check = MessageCatalog::replace(id, replacementText(value));
        if (check == ReplacementCheck::Accepted) {
            trace.write([&] { return u"message " + number + u" replaced from [Messages]"; });
        } else {
            trace.write([&] {
                return u"message " + number + u" from [Messages] refused, the built-in text stays: " + why(check);
            });
        }
    }
}

void applyMessageSettings(Platform& platform, const Trace& trace) {
    WideString module;
    WideString settingsFile;
    if (!platform.env.modulePath(module) || !settingsPathFor(platform, module, settingsFile)) {
        MessageCatalog::reset(MessageLanguage::German);
        return;
    }
    LayeredSettingsStore store(platform, settingsFile);
    applyMessageSettings(store, trace);
}

}  // namespace kite
