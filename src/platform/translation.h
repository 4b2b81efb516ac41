#pragma once
#include <array>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// The language of the user interface. The German texts are the source of every
// text and the default; other languages come from the gettext catalogue "kirvo".
enum class UiLanguage { German, English };

// The language the locale settings ask for. The first of LANGUAGE (its first
// entry), LC_ALL, LC_MESSAGES and LANG that is set decides: unset, "C", "POSIX"
// and German ("de", "de_AT.UTF-8", ...) mean German, any other language English.
UiLanguage LanguageFromSettings(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                                std::string_view lang);

// Sets up the texts of this process from its environment, once at start and
// after anything that calls setlocale(LC_ALL, "") (QApplication does). The
// catalogue is looked up beside the executable (the build tree) and in
// ../share/locale (the installed program). Only the messages' locale is
// touched: numbers and everything written to files stay as they are.
void InitTranslation();

// Switches the texts to `language`, with the catalogues under `localeFolder`
// (a folder holding en/LC_MESSAGES/kirvo.mo); for English, sets the messages'
// locale and LANGUAGE so that gettext reads it. False, and German, when the
// catalogue is not there.
bool UseLanguage(UiLanguage language, const std::string& localeFolder);
UiLanguage CurrentLanguage();
// The language Tr() gives on this thread: CurrentLanguage(), or German while
// a SourceTexts lives. Numbers and dates follow it (value_text.h).
UiLanguage TextsLanguage();

// How English dates are ordered: month first as in the United States (also
// where the regional settings name no region: unset, "C", "en"), or day first
// (any other region: en_GB, en_AU, de_DE, ...). Taken from the first of
// LC_ALL, LC_TIME and LANG that is set.
enum class EnglishDates { MonthFirst, DayFirst };
EnglishDates EnglishDatesFromSettings(std::string_view lcAll, std::string_view lcTime, std::string_view lang);
EnglishDates CurrentEnglishDates();
void UseEnglishDates(EnglishDates order);

// The text in the current language. Marks a German text for the extractor;
// a text that has no translation stays German.
const char* Tr(const char* german);
// For a view of a whole marked text (a table's field), which ends in '\0';
// an empty view (also a default one, without data) gives "".
inline const char* Tr(std::string_view german) { return german.empty() ? "" : Tr(german.data()); }
// The form for `count` (German: the first for 1, the second otherwise).
const char* TrN(const char* germanOne, const char* germanMany, uint64_t count);
// While one lives, Tr() and TrN() on its thread give the German texts: for
// what is written for programs (TSV, JSON, the log), which reads the same in
// every language.
class SourceTexts {
public:
    SourceTexts();
    ~SourceTexts();
    SourceTexts(const SourceTexts&) = delete;
    SourceTexts& operator=(const SourceTexts&) = delete;
};

// Marks a text in a table that is translated where it is shown, with Tr().
constexpr const char* TrNoop(const char* german) { return german; }

// `pattern` with each directive replaced by the next argument: "%s" and "%d"
// (also "%1$s", "%2$d", ... for translations that reorder them), "%%" is "%".
// Arguments are texts or integers; a missing one leaves nothing.
std::string FormatText(std::string_view pattern, const std::string* arguments, size_t count);

inline std::string FormatArgument(std::string_view text) { return std::string(text); }
inline std::string FormatArgument(const char* text) { return text ? text : ""; }
inline std::string FormatArgument(const std::string& text) { return text; }
inline std::string FormatArgument(char character) { return std::string(1, character); }
template <std::integral Number>
std::string FormatArgument(Number number) {
    return std::to_string(number);
}

template <typename... Arguments>
std::string Format(std::string_view pattern, const Arguments&... arguments) {
    const std::array<std::string, sizeof...(Arguments)> texts{FormatArgument(arguments)...};
    return FormatText(pattern, texts.data(), texts.size());
}

}  // namespace kirvo
