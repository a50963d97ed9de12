#pragma once
// Sets the interface language for one test and gives back the one it found, so that a test
// that speaks English never leaves the others (which expect the Japanese texts) in English.
#include "common/translation.h"

namespace korvane::testing {

class LanguageScope {
public:
    explicit LanguageScope(Language language) : saved_(CurrentLanguage()) { SetLanguage(language); }
    ~LanguageScope() { SetLanguage(saved_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    Language saved_;
};

}  // namespace korvane::testing
