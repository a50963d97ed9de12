#pragma once
// The per-user settings store: section and key to an int, a string or bytes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int getInt(const std::string& section, const std::string& key, int fallback) const = 0;
    virtual std::string getString(const std::string& section, const std::string& key,
                                  const std::string& fallback) const = 0;
    // Returns false (and leaves `out` alone) when the key does not exist.
    virtual bool getBytes(const std::string& section, const std::string& key,
                          std::vector<std::uint8_t>& out) const = 0;
    virtual void setInt(const std::string& section, const std::string& key, int value) = 0;
    virtual void setString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
    virtual void setBytes(const std::string& section, const std::string& key,
                          const std::vector<std::uint8_t>& value) = 0;
};

class MemorySettingsStore : public SettingsStore {
public:
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

private:
    std::map<std::string, int> ints_;
    std::map<std::string, std::string> strings_;
    std::map<std::string, std::vector<std::uint8_t>> bytes_;
};

}  // namespace korvane
