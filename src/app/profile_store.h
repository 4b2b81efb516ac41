#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// Per-user settings, addressed by section and entry. Reads never fail: a
// missing or unreadable value yields the default. Write results are ignored
// by every caller, so implementations report nothing.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    virtual int32_t GetProfileInt(std::string_view section, std::string_view entry,
                                  int32_t defaultValue) = 0;
    virtual void WriteProfileInt(std::string_view section, std::string_view entry,
                                 int32_t value) = 0;
    virtual std::string GetProfileString(std::string_view section, std::string_view entry,
                                         std::string_view defaultValue = {}) = 0;
    virtual void WriteProfileString(std::string_view section, std::string_view entry,
                                    std::string_view value) = 0;
};

// The settings layout shared by every reader and writer.
namespace profile {
inline constexpr std::string_view kOptions = "Optionen";
inline constexpr std::string_view kSource = "Quelle";
inline constexpr std::string_view kTarget = "Ziel";
inline constexpr std::string_view kMain = "Main";
inline constexpr std::string_view kWidth = "cx";
inline constexpr std::string_view kHeight = "cy";
inline constexpr std::string_view kMaximized = "Maximiert";
inline constexpr std::string_view kFilter = "Filter";
inline constexpr std::string_view kFilterInclude = "Einschliessen";
inline constexpr std::string_view kFilterExclude = "Ausschliessen";
}  // namespace profile

// Parses a stored integer the way a typed store would have kept it: the whole
// text must be a decimal number within the 32-bit range (unsigned values
// above INT32_MAX wrap like a DWORD read into an int). Anything else is "not a
// number" and the caller takes its default.
bool ParseProfileInt(std::string_view text, int32_t& value);

}  // namespace kirvo
