#pragma once
// The interface's language. Every text the program says is written in the code once, in
// Japanese, the interface's original language; another language is a catalog keyed by those
// source texts (translations/<language>.po, compiled into the program so that the core and the
// command-line tool need no run-time files or libraries).
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

enum class Language { Japanese, English };

// One catalog entry: the source text exactly as the code writes it, and its translation.
struct CatalogEntry {
    const char* source;
    const char* text;
};

// Chosen once at start-up, before any window opens or any command runs.
void SetLanguage(Language language);
Language CurrentLanguage();

// What the user reads for a source text. In Japanese, and for a text the catalog lacks, the
// source itself comes back (the same pointer), so the Japanese interface stays byte for byte.
const char* Tr(const char* source);
std::string Tr(std::string_view source);

// "ja" or "en" (as given to --lang and kept in the settings); anything else is no language.
std::optional<Language> ParseLanguage(std::string_view name);
std::string_view LanguageName(Language language);

// The language the system asks for when no environment variable does: on Windows, where
// those are rarely set, the user's display language; nullopt on POSIX.
std::optional<Language> SystemLanguage();
// A Windows language id (LANGID) as an interface language: Japanese for any Japanese one,
// English for every other.
Language LanguageFromWindowsLangId(unsigned langId);

// The language the environment asks for: the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG
// that is set and not empty decides; English when it starts with "en", otherwise (C, POSIX,
// ja_JP, ...) Japanese, the original. With none set, the system's language, else Japanese.
using EnvironmentLookup = std::function<const char*(const char*)>;
Language LanguageFromEnvironment(const EnvironmentLookup& getenv,
                                 std::optional<Language> system = SystemLanguage());

// The compiled catalog of a language, sorted by source (byte order); empty for Japanese.
std::span<const CatalogEntry> Catalog(Language language);

}  // namespace korvane
