#include "platform/translation.h"

#include <libintl.h>

#include <atomic>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kirvo {
namespace {

constexpr const char* kDomain = "kirvo";
std::atomic<UiLanguage> gLanguage{UiLanguage::German};
std::atomic<EnglishDates> gEnglishDates{EnglishDates::MonthFirst};
thread_local int tSourceTexts = 0;

bool German() { return gLanguage == UiLanguage::German || tSourceTexts > 0; }

// "de_AT.UTF-8@euro" -> "de_AT"
std::string_view WithoutCodeset(std::string_view locale) {
    return locale.substr(0, std::min(locale.find('.'), locale.find('@')));
}

bool IsGermanOrDefault(std::string_view locale) {
    locale = WithoutCodeset(locale);
    const std::string_view language = locale.substr(0, locale.find('_'));
    if (language.empty() || language == "C" || language == "POSIX") return true;
    return language.size() == 2 && std::tolower(static_cast<unsigned char>(language[0])) == 'd' &&
           std::tolower(static_cast<unsigned char>(language[1])) == 'e';
}

// The setting that decides, as gettext reads it: the first entry of LANGUAGE,
// else the locale of the messages.
std::string_view DecidingSetting(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                                 std::string_view lang) {
    if (const std::string_view first = language.substr(0, language.find(':')); !first.empty()) return first;
    for (const std::string_view value : {lcAll, lcMessages, lang})
        if (!value.empty()) return value;
    return {};
}

std::string_view Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool HasCatalogue(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder / "en" / "LC_MESSAGES" / "kirvo.mo", error);
}

// Beside the executable in the build tree, ../share/locale once installed.
std::string CatalogueFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path folder = executable.parent_path();
    for (const std::filesystem::path& candidate : {folder / "share" / "locale", folder.parent_path() / "share" / "locale"})
        if (HasCatalogue(candidate)) return candidate.string();
    return {};
}

// gettext reads LANGUAGE only when the messages' locale is not "C": where the
// user's locale is not there (or is "C"), C.UTF-8 stands in for it.
void SetMessagesLocale() {
    const char* set = std::setlocale(LC_MESSAGES, "");
    if (set && std::string_view(set) != "C" && std::string_view(set) != "POSIX") return;
    if (!std::setlocale(LC_MESSAGES, "C.UTF-8")) std::setlocale(LC_MESSAGES, "C.utf8");
}

// The user's languages, then English: a catalogue in the user's own language
// wins where there is one, and programs started from here keep their language.
void PreferEnglishLast(std::string_view deciding) {
    std::string languages(Variable("LANGUAGE"));
    if (languages.empty()) languages = WithoutCodeset(deciding);
    const std::string padded = ":" + languages + ":";
    if (padded.find(":en:") == std::string::npos) languages += languages.empty() ? "en" : ":en";
    setenv("LANGUAGE", languages.c_str(), 1);
}

}  // namespace

UiLanguage LanguageFromSettings(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                                std::string_view lang) {
    return IsGermanOrDefault(DecidingSetting(language, lcAll, lcMessages, lang)) ? UiLanguage::German
                                                                                : UiLanguage::English;
}

EnglishDates EnglishDatesFromSettings(std::string_view lcAll, std::string_view lcTime, std::string_view lang) {
    std::string_view locale;
    for (const std::string_view value : {lcAll, lcTime, lang}) {
        if (value.empty()) continue;
        locale = WithoutCodeset(value);
        break;
    }
    // Only the United States (and no region at all: "C", "en") put the month first.
    const size_t underscore = locale.find('_');
    if (underscore == std::string_view::npos) return EnglishDates::MonthFirst;
    const std::string_view region = locale.substr(underscore + 1);
    return region == "US" || region.empty() ? EnglishDates::MonthFirst : EnglishDates::DayFirst;
}

void InitTranslation() {
    gEnglishDates = EnglishDatesFromSettings(Variable("LC_ALL"), Variable("LC_TIME"), Variable("LANG"));
    const std::string_view deciding =
        DecidingSetting(Variable("LANGUAGE"), Variable("LC_ALL"), Variable("LC_MESSAGES"), Variable("LANG"));
    if (IsGermanOrDefault(deciding)) return;
    const std::string folder = CatalogueFolder();
    if (folder.empty()) return;
    PreferEnglishLast(deciding);
    UseLanguage(UiLanguage::English, folder);
}

bool UseLanguage(UiLanguage language, const std::string& localeFolder) {
    if (language == UiLanguage::English) {
        if (!HasCatalogue(localeFolder)) {
            gLanguage = UiLanguage::German;
            return false;
        }
        PreferEnglishLast({});
        SetMessagesLocale();
        bindtextdomain(kDomain, localeFolder.c_str());
        bind_textdomain_codeset(kDomain, "UTF-8");
    }
    gLanguage = language;
    return true;
}

UiLanguage CurrentLanguage() { return gLanguage; }

UiLanguage TextsLanguage() { return German() ? UiLanguage::German : UiLanguage::English; }

EnglishDates CurrentEnglishDates() { return gEnglishDates; }

void UseEnglishDates(EnglishDates order) { gEnglishDates = order; }

SourceTexts::SourceTexts() { ++tSourceTexts; }
SourceTexts::~SourceTexts() { --tSourceTexts; }

const char* Tr(const char* german) {
    // An empty text would fetch the catalogue's header.
    if (German() || !german || !*german) return german;
    return dgettext(kDomain, german);
}

const char* TrN(const char* germanOne, const char* germanMany, uint64_t count) {
    if (German()) return count == 1 ? germanOne : germanMany;
    return dngettext(kDomain, germanOne, germanMany, static_cast<unsigned long>(count));
}

std::string FormatText(std::string_view pattern, const std::string* arguments, size_t count) {
    std::string text;
    text.reserve(pattern.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            text += pattern[i];
            continue;
        }
        if (pattern[i + 1] == '%') {
            text += '%';
            ++i;
            continue;
        }
        // %[N$][l|ll|z](s|d|i|u)
        size_t at = i + 1, index = next;
        size_t digits = at;
        while (digits < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[digits]))) ++digits;
        bool positional = false;
        if (digits > at && digits < pattern.size() && pattern[digits] == '$') {
            index = std::strtoul(std::string(pattern.substr(at, digits - at)).c_str(), nullptr, 10) - 1;
            at = digits + 1;
            positional = true;
        }
        while (at < pattern.size() && (pattern[at] == 'l' || pattern[at] == 'z')) ++at;
        if (at >= pattern.size() || std::string_view("sdiu").find(pattern[at]) == std::string_view::npos) {
            text += pattern[i];
            continue;
        }
        if (index < count) text += arguments[index];
        if (!positional) ++next;
        i = at;
    }
    return text;
}

}  // namespace kirvo
