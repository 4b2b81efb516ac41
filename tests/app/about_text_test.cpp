#include "app/about_text.h"

#include <gtest/gtest.h>

#include "app/version_info.h"

namespace kirvo {
namespace {

TEST(AboutText, ProgramTextHasExactlySixLines) {
    EXPECT_EQ(BuildAboutText(VersionInfo::Program()),
              "Kirvo Application \r\n"
              "\r\n"
              "Product Version:  1.5.1.12\r\n"
              "Firma:  Orvane\r\n"
              "Copyright © 2026 Orvane\r\n"
              "WWW:  https://kirvo.example\r\n");
}

TEST(AboutText, VersionLineComesFromTheFixedVersionAndMissingValuesAreEmpty) {
    // The "ProductVersion" string disagrees on purpose: the numbers count.
    VersionInfo info({2, 0, 65535, 7}, 0x0407, 0x04B0, {{"ProductVersion", "9.9"}});
    EXPECT_EQ(BuildAboutText(info),
              "Kirvo Application \r\n\r\nProduct Version:  2.0.65535.7\r\nFirma:  \r\n\r\nWWW:  \r\n");
}

TEST(AboutText, VersionParsing) {
    EXPECT_EQ(VersionInfo::ParseVersion("1.5.1.12"), (std::array<uint16_t, 4>{1, 5, 1, 12}));
    EXPECT_EQ(VersionInfo::ParseVersion("3.4"), (std::array<uint16_t, 4>{3, 4, 0, 0}));
    EXPECT_EQ(VersionInfo::ParseVersion("1.x.2.99999"), (std::array<uint16_t, 4>{1, 0, 2, 0}));
    EXPECT_EQ(VersionInfo::Program().language(), 0x0407);
    EXPECT_EQ(VersionInfo::Program().codePage(), 0x04B0);
}

}  // namespace
}  // namespace kirvo
