// The settings file as korvane-cli reads it: any bytes give a store, and a value read as text
// and as bytes is the same value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ini_settings_store.h"
#include "fuzz_check.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const IniSettingsStore store = IniSettingsStore::Parse(text);
    for (const char* section : {"", "Main", "General", "Sec%tion"}) {
        for (const char* key : {"k", "v", "Company Header", "Int", "Bytes"}) {
            const std::string value = store.getString(section, key, "");
            std::vector<std::uint8_t> bytes;
            const bool isBytes = store.getBytes(section, key, bytes);
            (void)store.getInt(section, key, 0);
            if (isBytes) FUZZ_CHECK(std::string(bytes.begin(), bytes.end()) == value);
        }
    }
    return 0;
}
