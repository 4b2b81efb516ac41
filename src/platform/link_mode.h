#pragma once
#include <cstdint>
#include <string_view>

namespace kirvo {

// What a comparison and its copies do with a symbolic link ("Verknüpfungen").
// A link to a folder is never entered, whatever the setting.
enum class LinkMode : uint8_t {
    Follow,  // a link to a file stands for that file: listed and copied as the file
    Copy,    // a link is listed as itself (its own size and time, its text as its
             // content) and copied as a link with the same text
    Skip,    // links are left out of the listings
};

// The names of the settings in kirvo-cli's --links and in [Optionen] Verknuepfungen.
constexpr std::string_view LinkModeName(LinkMode mode) {
    switch (mode) {
    case LinkMode::Copy: return "copy";
    case LinkMode::Skip: return "skip";
    case LinkMode::Follow: break;
    }
    return "follow";
}

// False for any other text.
constexpr bool ParseLinkMode(std::string_view text, LinkMode& mode) {
    for (LinkMode m : {LinkMode::Follow, LinkMode::Copy, LinkMode::Skip}) {
        if (text == LinkModeName(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

}  // namespace kirvo
