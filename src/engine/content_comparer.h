#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/file_entry.h"
#include "platform/content_hasher.h"
#include "platform/content_reader.h"

namespace kirvo {

class ContentProgress;

// Compares the contents of two files byte by byte: both are read in step, in
// large pieces, and the comparison stops at the first difference. Two names
// of one file (the same root on both sides, hard links) are identical without
// reading. Each file is opened once and read at most once. A link listed as
// itself has its text for its content: two such links are read with their
// texts, and a link never has a file's content. Where a side keeps no
// contents but their hashes (a snapshot), the hashes are compared: the
// other side's file is read whole and hashed, unless it keeps hashes too.
class ContentComparer {
public:
    enum class Outcome {
        Identical,
        Different,
        Failed,   // a side could not be read, vanished or changed: reason says which
        Stopped,  // the progress asked to stop
    };

    // Pieces of this many bytes per side and read.
    static constexpr size_t kPieceSize = 1 << 20;
    static constexpr size_t kPageSize = 4096;  // the pieces' alignment

    // utcOffset: what the run added to the files' UTC times (their listed times
    // are checked against the opened files). progress may be null.
    ContentComparer(ContentReader& source, ContentReader& target, int64_t utcOffset, ContentProgress* progress);
    ~ContentComparer();

    // Compares the files of two entries of equal listed size.
    Outcome Compare(const FileEntry& source, const FileEntry& target, std::string& reason);

private:
    struct OpenFile;
    Outcome OpenAndRead(const FileEntry& source, const FileEntry& target, std::string& reason);
    Outcome ReadInStep(OpenFile (&sides)[2], uint64_t size, std::string& reason);
    Outcome CompareLinks(const FileEntry& source, const FileEntry& target, std::string& reason);
    Outcome CompareHashes(const FileEntry& source, const FileEntry& target, std::string& reason);

    ContentReader& sourceReader_;
    ContentReader& targetReader_;
    int64_t utcOffset_;
    ContentProgress* progress_;
    std::unique_ptr<char[]> buffers_;  // two aligned pieces, allocated at the first read
    std::unique_ptr<ContentHasher> hasher_;  // at the first file hashed
    uint64_t accounted_ = 0;           // bytes of the pair under way told to the progress
};

}  // namespace kirvo
