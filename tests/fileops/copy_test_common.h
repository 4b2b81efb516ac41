#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fileops/file_operation_service.h"

namespace kirvo::test {

// Two ordinary moments for "older" and "newer" files.
constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;
// Overwrite and create folders without asking.
inline const CopyFlags kNoQuestions{false, false};

// Temporary files of ours left anywhere below root.
inline std::vector<std::string> TempFilesBelow(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.path().filename().string().find(".kirvo-tmp") != std::string::npos) found.push_back(e.path());
    return found;
}

}  // namespace kirvo::test
