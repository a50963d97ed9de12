#pragma once
// The settings the program keeps through Qt's INI files, read without Qt: what korvane-cli needs
// to share the user's choices (the report's header texts, say) with the window.
//
// The file is read as Qt 6 writes it: UTF-8 text; keys and section names percent-encoded
// ("%20", "%UXXXX" above Latin-1); values with C escapes ("\n", "\x1", octal), double quotes
// around text with edge blanks or separators, ";" starting a comment outside quotes, an unquoted
// "," making a list, "@@" for a leading "@", and "@ByteArray(...)" for bytes. The section Qt
// calls [General] holds the keys of no section; a real section of that name is "[%General]".
// Anything not understood reads as absent, never as a wrong value.
#include <map>
#include <string>

#include "common/settings_store.h"

namespace korvane {

class IniSettingsStore : public SettingsStore {
public:
    // Empty when the file does not exist, cannot be read or is far too large to be one.
    static IniSettingsStore Load(const std::string& path);
    static IniSettingsStore Parse(const std::string& text);

    bool empty() const { return values_.empty(); }

    int getInt(const std::string& section, const std::string& key, int fallback) const override;
    std::string getString(const std::string& section, const std::string& key,
                          const std::string& fallback) const override;
    bool getBytes(const std::string& section, const std::string& key,
                  std::vector<std::uint8_t>& out) const override;
    // Changes stay in memory: the file belongs to the program that writes it.
    void setInt(const std::string& section, const std::string& key, int value) override;
    void setString(const std::string& section, const std::string& key,
                   const std::string& value) override;
    void setBytes(const std::string& section, const std::string& key,
                  const std::vector<std::uint8_t>& value) override;

private:
    struct Value {
        enum class Kind { kText, kList, kBytes, kOther } kind = Kind::kText;
        std::u16string text;  // kText, or the bytes of kBytes one per unit
    };
    const Value* find(const std::string& section, const std::string& key) const;

    std::map<std::string, Value> values_;  // "section\nkey", both UTF-8
};

// Where this user's settings of an organisation's application are kept, shared by the window
// program and korvane-cli: $XDG_CONFIG_HOME (or ~/.config)/ORGANISATION/APPLICATION.conf, where
// QSettings keeps them on POSIX; %APPDATA%\ORGANISATION\APPLICATION.ini on Windows. Empty when
// the system names no such place.
std::string UserSettingsPath(const std::string& organisation, const std::string& application);

}  // namespace korvane
