// Settings stores over INI files: the plain file store and the layered store
// whose "Section+" companion extends an empty value.
#pragma once

#include <cstdint>

#include "foundation/wide_string.h"

namespace kite {

class FileSystem;

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Reads the first four bytes of the backing file: 0 or an error code.
    virtual std::int32_t readFileHead(std::uint8_t (&head)[4]) = 0;
    // The value of a key; empty when there is none.
    virtual void getValue(const WideString& section, const WideString& key, WideString& value) = 0;
    // Replaces names by the section names in file order.
    virtual void getSectionNames(WideStringList& names) = 0;
    virtual bool setValue(const WideString& section, const WideString& key, const WideString& value) = 0;
    virtual bool removeFile() = 0;
};

class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore(FileSystem& files, WideString filePath);

    std::int32_t readFileHead(std::uint8_t (&head)[4]) override;
    void getValue(const WideString& section, const WideString& key, WideString& value) override;
    void getSectionNames(WideStringList& names) override;
    bool setValue(const WideString& section, const WideString& key, const WideString& value) override;
    bool removeFile() override;

    const WideString& filePath() const { return filePath_; }

protected:
    FileSystem& files_;

private:
    WideString filePath_;
};

// A key missing (or empty) in its section is taken from "<section>+", with one
// leading space unless the value already begins with one.
class LayeredSettingsStore : public IniSettingsStore {
public:
    using IniSettingsStore::IniSettingsStore;
    void getValue(const WideString& section, const WideString& key, WideString& value) override;
};

// Cuts text at every occurrence of separator; a separator at the very end
// yields no empty last piece. The list is replaced.
void splitAtSeparator(const WideString& text, const WideString& separator, WideStringList& pieces);

}  // namespace kite
