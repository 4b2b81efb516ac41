#include "app/job.h"

#include "app/filter_rules_file.h"
#include "engine/path_filter.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr std::pair<std::string_view, Job::Direction> kDirections[] = {
    {"both", Job::Direction::Both},
    {"to-target", Job::Direction::ToTarget},
    {"to-source", Job::Direction::ToSource},
};

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

}  // namespace

Root Job::RootOf(const std::string& text) {
    const std::optional<Root> root = Root::Parse(text);
    return root ? *root : Root::Local(text);
}

bool Job::IsValidName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name.front() == '.') return false;
    for (char c : name)
        if (!IsNameByte(c)) return false;
    return true;
}

std::string Job::InvalidNameMessage(std::string_view name) {
    return Format(Tr("Ungültiger Name \"%s\" für einen Auftrag: erlaubt sind 1 bis %d Zeichen aus A-Z, a-z, 0-9, "
                     "\"-\", \"_\" und \".\", ohne Punkt am Anfang."),
                  name, kMaxNameLength);
}

bool Job::MakePathFilter(PathFilter& filter, std::string& error) const {
    std::vector<std::string> includes = include;
    std::vector<std::string> excludes = exclude;
    for (const std::string& file : filterFrom) {
        if (!ReadFilterFile(file, includes, excludes, error)) {
            error = Tr("Auftrag \"") + name + "\": " + error;
            return false;
        }
    }
    if (PathFilter::Create(includes, excludes, filter, error)) return true;
    error = Tr("Auftrag \"") + name + "\": " + error;
    return false;
}

std::string_view Job::DirectionName(Direction direction) {
    for (const auto& [name, value] : kDirections)
        if (value == direction) return name;
    return "both";
}

bool Job::ParseDirection(std::string_view name, Direction& direction) {
    for (const auto& [text, value] : kDirections) {
        if (text == name) {
            direction = value;
            return true;
        }
    }
    return false;
}

}  // namespace kirvo
