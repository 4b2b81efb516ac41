#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/file_entry.h"
#include "platform/content_hasher.h"
#include "platform/content_reader.h"

namespace kirvo {

class ContentMemory;
class ContentProgress;

// Compares the contents of two files byte by byte: both are read in step, in
// large pieces, and the comparison stops at the first difference. Two names
// of one file (the same root on both sides, hard links) are identical without
// reading. Each file is opened once and read at most once. A link listed as
// itself has its text for its content: two such links are read with their
// texts, and a link never has a file's content. Where a side keeps no
// contents but their hashes (a snapshot), the hashes are compared: the
// other side's file is read whole and hashed, unless it keeps hashes too.
// With a ContentMemory, a file it still knows is not read: two known files
// compare by their hashes, and of a pair with one known only the other is
// read; every file read whole is told to it.
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

    // Hashes read before (none: every file is read).
    void setMemory(ContentMemory* memory) { memory_ = memory; }

    // Compares the files of two entries of equal listed size.
    Outcome Compare(const FileEntry& source, const FileEntry& target, std::string& reason);

private:
    struct OpenFile;
    Outcome OpenAndRead(const FileEntry& source, const FileEntry& target, std::string& reason);
    Outcome ReadInStep(OpenFile (&sides)[2], uint64_t size, std::string& reason);
    Outcome CompareLinks(const FileEntry& source, const FileEntry& target, std::string& reason);
    Outcome CompareHashes(const FileEntry& source, const FileEntry& target, std::string& reason);
    // Of two opened files, at least one known to the memory: the other is read and hashed.
    Outcome CompareKnown(OpenFile (&sides)[2], const std::optional<ContentHash> (&known)[2], std::string& reason);
    // Reads a whole opened file into its hash: 0 or an error (none when stopped).
    int HashWhole(OpenedContent& file, uint64_t size, ContentHash& hash, bool& stopped);

    ContentReader& sourceReader_;
    ContentReader& targetReader_;
    int64_t utcOffset_;
    ContentProgress* progress_;
    ContentMemory* memory_ = nullptr;
    std::unique_ptr<char[]> buffers_;  // two aligned pieces, allocated at the first read
    std::unique_ptr<ContentHasher> hasher_;  // at the first file hashed
    uint64_t accounted_ = 0;           // bytes of the pair under way told to the progress
};

}  // namespace kirvo
