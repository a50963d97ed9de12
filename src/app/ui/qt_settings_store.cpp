#include "app/ui/qt_settings_store.h"

#include "common/ini_settings_store.h"
#include "host/settings.h"

namespace korvane {

namespace {
QString path(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}
}  // namespace

namespace {
// The file korvane-cli reads too: on POSIX it is where QSettings keeps them anyway; on Windows
// an INI file instead of the registry, which korvane-cli does not read.
std::unique_ptr<QSettings> userSettings() {
    const std::string file = UserSettingsPath(kSettingsCompany, kAppTitle);
    if (file.empty())
        return std::make_unique<QSettings>(QString::fromUtf8(kSettingsCompany),
                                           QString::fromUtf8(kAppTitle));
    return std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
}
}  // namespace

QtSettingsStore::QtSettingsStore() : settings_(userSettings()) {}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

int QtSettingsStore::getInt(const std::string& section, const std::string& key,
                            int fallback) const {
    const QVariant v = settings_->value(path(section, key));
    bool ok = false;
    const int value = v.toInt(&ok);
    return v.isValid() && ok ? value : fallback;
}

std::string QtSettingsStore::getString(const std::string& section, const std::string& key,
                                       const std::string& fallback) const {
    const QVariant v = settings_->value(path(section, key));
    return v.isValid() ? v.toString().toStdString() : fallback;
}

bool QtSettingsStore::getBytes(const std::string& section, const std::string& key,
                               std::vector<std::uint8_t>& out) const {
    const QVariant v = settings_->value(path(section, key));
    if (!v.isValid()) return false;
    const QByteArray bytes = v.toByteArray();
    out.assign(bytes.begin(), bytes.end());
    return true;
}

void QtSettingsStore::setInt(const std::string& section, const std::string& key, int value) {
    settings_->setValue(path(section, key), value);
}

void QtSettingsStore::setString(const std::string& section, const std::string& key,
                                const std::string& value) {
    settings_->setValue(path(section, key), QString::fromStdString(value));
}

void QtSettingsStore::setBytes(const std::string& section, const std::string& key,
                               const std::vector<std::uint8_t>& value) {
    settings_->setValue(path(section, key), QByteArray(reinterpret_cast<const char*>(value.data()),
                                                       static_cast<qsizetype>(value.size())));
}

}  // namespace korvane
