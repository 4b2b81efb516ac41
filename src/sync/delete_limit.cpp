#include "sync/delete_limit.h"
#include "platform/translation.h"

#include <charconv>

namespace kirvo {

std::optional<DeleteLimit> DeleteLimit::Parse(std::string_view text, std::string* error) {
    const bool percent = !text.empty() && text.back() == '%';
    const std::string_view digits = percent ? text.substr(0, text.size() - 1) : text;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const bool number = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
    if (number && (!percent || value <= 100) && value <= (uint64_t{1} << 40)) return DeleteLimit(value, percent);
    if (error != nullptr)
        *error = "„" + std::string(text) +
                 Tr("“ ist keine gültige Grenze: erlaubt sind eine Anzahl (etwa 20) oder ein Anteil von 0% bis 100% (etwa "
                 "10%).");
    return std::nullopt;
}

}  // namespace kirvo
