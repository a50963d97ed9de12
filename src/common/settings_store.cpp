#include "common/settings_store.h"

namespace korvane {
namespace {
std::string fullKey(const std::string& section, const std::string& key) {
    return section + '\n' + key;
}
}  // namespace

int MemorySettingsStore::getInt(const std::string& section, const std::string& key,
                                int fallback) const {
    auto it = ints_.find(fullKey(section, key));
    return it == ints_.end() ? fallback : it->second;
}

std::string MemorySettingsStore::getString(const std::string& section, const std::string& key,
                                           const std::string& fallback) const {
    auto it = strings_.find(fullKey(section, key));
    return it == strings_.end() ? fallback : it->second;
}

bool MemorySettingsStore::getBytes(const std::string& section, const std::string& key,
                                   std::vector<std::uint8_t>& out) const {
    auto it = bytes_.find(fullKey(section, key));
    if (it == bytes_.end()) return false;
    out = it->second;
    return true;
}

void MemorySettingsStore::setInt(const std::string& section, const std::string& key, int value) {
    ints_[fullKey(section, key)] = value;
}

void MemorySettingsStore::setString(const std::string& section, const std::string& key,
                                    const std::string& value) {
    strings_[fullKey(section, key)] = value;
}

void MemorySettingsStore::setBytes(const std::string& section, const std::string& key,
                                   const std::vector<std::uint8_t>& value) {
    bytes_[fullKey(section, key)] = value;
}

}  // namespace korvane
