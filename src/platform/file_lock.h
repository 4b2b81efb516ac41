#pragma once
#include <string>
#include <utility>

namespace kirvo {

// An exclusive lock on a file that ends with its holder: held until release()
// or the object's end, and dropped by the system when the process ends in
// any way, so a lock left by a killed process never blocks.
class FileLock {
public:
    enum class State { Taken, Busy, Failed };

    explicit FileLock(std::string path) : path_(std::move(path)) {}
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock if it is free (the file and its folders are made when
    // missing). Failed comes with a German reason in error.
    State tryTake(std::string& error);
    // Waits until the lock is free and takes it. False when a signal ended the
    // wait (interrupted) or it failed (error says why).
    bool wait(bool& interrupted, std::string& error);
    void release();

    const std::string& path() const { return path_; }

private:
    bool open(std::string& error);

    std::string path_;
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace kirvo
