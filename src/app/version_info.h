#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kirvo {

// The program's version block: a fixed product version and one string table
// for one translation, looked up by key ("CompanyName", "WWW", ...).
class VersionInfo {
public:
    // The version block of this program (version from the build).
    static const VersionInfo& Program();

    VersionInfo(std::array<uint16_t, 4> productVersion, uint16_t language, uint16_t codePage,
                std::vector<std::pair<std::string, std::string>> strings);

    const std::array<uint16_t, 4>& productVersion() const { return productVersion_; }
    uint16_t language() const { return language_; }
    uint16_t codePage() const { return codePage_; }
    // The value of "StringFileInfo\<language><code page>\<key>"; empty when
    // the table has no such key.
    std::string_view Value(std::string_view key) const;

    // "1.5.1.12" -> {1, 5, 1, 12}; missing or bad parts are 0.
    static std::array<uint16_t, 4> ParseVersion(std::string_view text);

private:
    std::array<uint16_t, 4> productVersion_;
    uint16_t language_;
    uint16_t codePage_;
    std::vector<std::pair<std::string, std::string>> strings_;
};

}  // namespace kirvo
