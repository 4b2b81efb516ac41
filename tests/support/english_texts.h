#pragma once
#include "platform/translation.h"

namespace kirvo::test {

// While one lives, the texts are English, from the catalogue of the build
// tree (KIRVO_LOCALE_DIR); German again at its end.
class EnglishTexts {
public:
    EnglishTexts() : switched_(UseLanguage(UiLanguage::English, KIRVO_LOCALE_DIR)) {}
    ~EnglishTexts() { UseLanguage(UiLanguage::German, {}); }
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;
    bool switched() const { return switched_; }

private:
    bool switched_;
};

}  // namespace kirvo::test
