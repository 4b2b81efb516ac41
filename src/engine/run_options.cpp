#include "engine/run_options.h"

#include <utility>

namespace kirvo {
namespace {

constexpr std::pair<const char*, CompareBy> kCompareNames[] = {
    {"time", CompareBy::Time},
    {"time-size", CompareBy::TimeAndSize},
    {"content", CompareBy::Content},
};

}  // namespace

const char* CompareByName(CompareBy compareBy) {
    for (const auto& [name, setting] : kCompareNames)
        if (setting == compareBy) return name;
    return "time";
}

bool CompareByFromName(std::string_view name, CompareBy& compareBy) {
    for (const auto& [text, setting] : kCompareNames) {
        if (name == text) {
            compareBy = setting;
            return true;
        }
    }
    return false;
}

}  // namespace kirvo
