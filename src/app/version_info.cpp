#include "app/version_info.h"

#include <charconv>

#ifndef KIRVO_VERSION
#define KIRVO_VERSION "0.0.0.0"
#endif

namespace kirvo {

const VersionInfo& VersionInfo::Program() {
    static const VersionInfo info(ParseVersion(KIRVO_VERSION), 0x0407, 0x04B0,
                                  {
                                      {"CompanyName", "Orvane"},
                                      {"FileDescription", "Kirvo – Ordner vergleichen und abgleichen"},
                                      {"FileVersion", KIRVO_VERSION},
                                      {"InternalName", "Kirvo"},
                                      {"LegalCopyright", "Copyright © 2026 Orvane"},
                                      {"OriginalFilename", "kirvo"},
                                      {"ProductName", "Kirvo"},
                                      {"ProductVersion", KIRVO_VERSION},
                                      {"WWW", "https://kirvo.example"},
                                  });
    return info;
}

VersionInfo::VersionInfo(std::array<uint16_t, 4> productVersion, uint16_t language,
                         uint16_t codePage, std::vector<std::pair<std::string, std::string>> strings)
    : productVersion_(productVersion),
      language_(language),
      codePage_(codePage),
      strings_(std::move(strings)) {}

std::string_view VersionInfo::Value(std::string_view key) const {
    for (const auto& [name, value] : strings_) {
        if (name == key) return value;
    }
    return {};
}

std::array<uint16_t, 4> VersionInfo::ParseVersion(std::string_view text) {
    std::array<uint16_t, 4> parts{};
    for (uint16_t& part : parts) {
        const size_t dot = text.find('.');
        const std::string_view piece = text.substr(0, dot);
        uint16_t value = 0;
        auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        part = (error == std::errc() && end == piece.data() + piece.size()) ? value : 0;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts;
}

}  // namespace kirvo
