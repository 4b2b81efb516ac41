#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sftp/sftp_wire.h"

namespace kirvo {

class SftpConnection;

// The temporary file of one copy to another machine, written without waiting
// for the server in between, so that many files (and many pieces of a big
// one) are under way on the connection at once. All requests of one file go
// to one lane of the connection (see SftpConnection), whose server works
// through them in order: OPEN (exclusive, 0600, our name form; a name
// already taken gets another), the writes, then FSETSTAT, fsync@openssh.com
// where offered and CLOSE, the last three sent together after the last
// write. The first error is kept (the file is closed) and comes back from
// wait(); a flush the server tries and fails is one. The connection must
// outlive the upload.
class SftpUpload {
public:
    // Bytes written but not yet answered: the window starts so and doubles
    // each time it is full, up to kMaxWindow (the memory a file may hold).
    static constexpr uint64_t kFirstWindow = 1u << 20;
    static constexpr uint64_t kMaxWindow = 16u << 20;

    SftpUpload(SftpConnection& connection, std::string folderPath, std::string destinationName);
    ~SftpUpload();
    SftpUpload(const SftpUpload&) = delete;
    SftpUpload& operator=(const SftpUpload&) = delete;

    // Sends the OPEN of a new temporary file.
    void create();
    // Whether a write of `bytes` fits into the window now, waiting up to `wait` for room.
    bool room(uint64_t bytes, std::chrono::milliseconds wait);
    // Writes data at offset (as soon as the file is open).
    void write(uint64_t offset, std::string data);
    // After the last write: the metadata, the flush (where `flush`) and the close.
    void finish(const sftp::Attributes& attributes, bool flush);
    // The first error so far (0: none yet).
    int error() const;
    // Waits until every step has been answered (or the first error has closed
    // the file): 0 or the first error.
    int wait();
    // The temporary file's name, "" before the server made it.
    std::string temporaryName() const;
    // Gives the file up: once nothing of it is under way any more, it is
    // closed and removed. Waits at most briefly; the rest runs on.
    void abandon();
    // Forgets the temporary file: it was renamed into place.
    void placed();

    struct State;  // shared with the replies' callbacks

private:
    std::shared_ptr<State> state_;
};

}  // namespace kirvo
