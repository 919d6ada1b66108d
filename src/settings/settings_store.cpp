#include "settings/settings_store.h"

#include "platform/files.h"

namespace kite {

IniSettingsStore::IniSettingsStore(FileSystem& files, WideString filePath)
    : files_(files), filePath_(std::move(filePath)) {}

std::int32_t IniSettingsStore::readFileHead(std::uint8_t (&head)[4]) {
    return files_.readFileHead(filePath_, head);
}

void IniSettingsStore::getValue(const WideString& section, const WideString& key, WideString& value) {
    value = files_.profileString(filePath_, section, key);
}

void IniSettingsStore::getSectionNames(WideStringList& names) {
    names = files_.profileSectionNames(filePath_);
}

bool IniSettingsStore::setValue(const WideString& section, const WideString& key, const WideString& value) {
    return files_.writeProfileString(filePath_, section, key, value);
}

bool IniSettingsStore::removeFile() { return files_.deleteFile(filePath_); }

void LayeredSettingsStore::getValue(const WideString& section, const WideString& key, WideString& value) {
    value.clear();
    IniSettingsStore::getValue(section, key, value);
    if (!value.empty()) return;
    WideString extension;
    IniSettingsStore::getValue(section + u"+", key, extension);
    if (extension.empty()) return;
    if (extension.front() != u' ') value.push_back(u' ');
    value += extension;
}

void splitAtSeparator(const WideString& text, const WideString& separator, WideStringList& pieces) {
    pieces.clear();
    if (text.empty()) return;
    if (separator.empty()) {
        pieces.append(text);
        return;
    }
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t found = text.find(separator, position);
        if (found == WideString::npos) {
            pieces.append(text.substr(position));
            return;
        }
        pieces.append(text.substr(position, found - position));
        position = found + separator.size();
    }
}

}  // namespace kite
