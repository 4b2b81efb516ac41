#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/system_time.h"

namespace kirvo::test {

// A temporary folder, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(std::string_view relative) const;

private:
    std::string path_;
};

// UTC seconds of a local calendar time, as the engine converts it back.
int64_t LocalEpoch(int year, int month, int day, int hour, int minute, int second);

// Writes a file (creating missing folders) and sets its modification time.
void WriteFile(const std::string& path, std::string_view content, int64_t mtimeSeconds,
               uint32_t mtimeNanoseconds = 0);
void SetModified(const std::string& path, int64_t mtimeSeconds, uint32_t mtimeNanoseconds = 0);
void MakeDirs(const std::string& path);
std::string ReadFile(const std::string& path);

struct FileSpec {
    std::string relativePath;
    int64_t mtime = 1'300'000'000;  // a fixed, ordinary moment (March 2011)
    std::string content = "x";
};
// Creates every file below root.
void MakeTree(const std::string& root, std::initializer_list<FileSpec> files);

}  // namespace kirvo::test
