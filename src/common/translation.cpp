#include "common/translation.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace korvane {

// Generated from translations/en.po at build time.
std::span<const CatalogEntry> EnglishCatalog();

namespace {

std::atomic<Language> g_language{Language::Japanese};

const CatalogEntry* Find(std::span<const CatalogEntry> catalog, std::string_view source) {
    auto it = std::lower_bound(catalog.begin(), catalog.end(), source,
                               [](const CatalogEntry& entry, std::string_view key) {
                                   return std::string_view(entry.source) < key;
                               });
    if (it == catalog.end() || std::string_view(it->source) != source) return nullptr;
    return &*it;
}

}  // namespace

void SetLanguage(Language language) {
    g_language.store(language);
}

Language CurrentLanguage() {
    return g_language.load();
}

std::span<const CatalogEntry> Catalog(Language language) {
    if (language == Language::English) return EnglishCatalog();
    return {};
}

const char* Tr(const char* source) {
    if (source == nullptr) return source;
    const CatalogEntry* entry = Find(Catalog(CurrentLanguage()), source);
    return entry != nullptr ? entry->text : source;
}

std::string Tr(std::string_view source) {
    const CatalogEntry* entry = Find(Catalog(CurrentLanguage()), source);
    return entry != nullptr ? std::string(entry->text) : std::string(source);
}

std::optional<Language> ParseLanguage(std::string_view name) {
    if (name == "ja") return Language::Japanese;
    if (name == "en") return Language::English;
    return std::nullopt;
}

std::string_view LanguageName(Language language) {
    return language == Language::English ? "en" : "ja";
}

Language LanguageFromWindowsLangId(unsigned langId) {
    // The primary language is the id's low ten bits; LANG_JAPANESE is 0x11.
    return (langId & 0x3ffu) == 0x11u ? Language::Japanese : Language::English;
}

Language LanguageFromEnvironment(const EnvironmentLookup& getenv, std::optional<Language> system) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (value == nullptr || *value == '\0') continue;
        return std::strncmp(value, "en", 2) == 0 ? Language::English : Language::Japanese;
    }
    return system.value_or(Language::Japanese);
}

}  // namespace korvane
