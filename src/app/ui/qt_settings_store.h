#pragma once
// The settings store on QSettings: the user's own store, or an INI file of its own (--demo).
#include <QSettings>
#include <memory>

#include "common/settings_store.h"

namespace korvane {

class QtSettingsStore : public SettingsStore {
public:
    // The user's store of the company and application keys.
    QtSettingsStore();
    // A store kept in `iniFile` only.
    explicit QtSettingsStore(const QString& iniFile);

    int getInt(const std::string& section, const std::string& key, int fallback) const override;
    std::string getString(const std::string& section, const std::string& key,
                          const std::string& fallback) const override;
    bool getBytes(const std::string& section, const std::string& key,
                  std::vector<std::uint8_t>& out) const override;
    void setInt(const std::string& section, const std::string& key, int value) override;
    void setString(const std::string& section, const std::string& key,
                   const std::string& value) override;
    void setBytes(const std::string& section, const std::string& key,
                  const std::vector<std::uint8_t>& value) override;

    void sync() { settings_->sync(); }

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace korvane
