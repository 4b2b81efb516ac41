#pragma once
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/translation.h"

namespace kirvo::test {

// While one lives, the texts are English, from the catalogue of the build
// tree (KIRVO_LOCALE_DIR), and English dates have the given order; German
// again at its end, with LANGUAGE as it was (programs started later speak
// German again).
class EnglishTexts {
public:
    explicit EnglishTexts(EnglishDates dates = EnglishDates::MonthFirst)
        : language_(Saved("LANGUAGE")), dates_(CurrentEnglishDates()) {
        UseEnglishDates(dates);
        switched_ = UseLanguage(UiLanguage::English, KIRVO_LOCALE_DIR);
    }
    ~EnglishTexts() {
        UseLanguage(UiLanguage::German, {});
        UseEnglishDates(dates_);
        if (language_) {
            setenv("LANGUAGE", language_->c_str(), 1);
        } else {
            unsetenv("LANGUAGE");
        }
    }
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;
    bool switched() const { return switched_; }

private:
    static std::optional<std::string> Saved(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }

    std::optional<std::string> language_;
    EnglishDates dates_;
    bool switched_ = false;
};

}  // namespace kirvo::test
