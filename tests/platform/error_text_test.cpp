#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "support/english_texts.h"

namespace kirvo {
namespace {

// Kirvo's own texts, whatever messages the C library has on the machine.
TEST(ErrorText, OwnTextsInEachLanguage) {
    const struct {
        bool english;
        int code;
        const char* text;
    } cases[] = {
        {false, EACCES, "Keine Berechtigung"},
        {false, ENOSPC, "Kein Platz mehr auf dem Datenträger"},
        {false, EROFS, "Das Dateisystem ist schreibgeschützt"},
        {false, ECONNRESET, "Die Gegenseite hat die Verbindung zurückgesetzt"},
        {true, EACCES, "Permission denied"},
        {true, ENOSPC, "No space left on device"},
        {true, EROFS, "Read-only file system"},
        {true, ECONNRESET, "Connection reset by the other side"},
    };
    for (const auto& c : cases) {
        std::optional<test::EnglishTexts> english;
        if (c.english) ASSERT_TRUE(english.emplace().switched());
        EXPECT_EQ(ErrorText(c.code), c.text) << c.code;
    }
    // A number without a text of its own says which it is.
    EXPECT_EQ(ErrorText(4242).rfind("Systemfehler 4242", 0), 0u);
}

}  // namespace
}  // namespace kirvo
