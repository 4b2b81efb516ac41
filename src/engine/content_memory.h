#pragma once
#include <optional>
#include <string_view>

#include "engine/file_entry.h"
#include "platform/content_hash.h"
#include "platform/file_node.h"

namespace kirvo {

// What a content comparison asks about hashes read before: a file whose
// identity has not moved since its bytes were last read whole holds the same
// bytes, and need not be read again. Kept by the caller (per pair and side);
// a comparison without one reads every file.
class ContentMemory {
public:
    virtual ~ContentMemory() = default;
    // The hash recorded for `relative` on `side`, where the file as just
    // opened (`now`) still has the identity it had then; none otherwise.
    virtual std::optional<ContentHash> Recall(Side side, std::string_view relative, const NodeInfo& now) = 0;
    // A file just read whole: its hash, and the file as it was opened (and
    // found unchanged after the last byte).
    virtual void Remember(Side side, std::string_view relative, const ContentHash& hash, const NodeInfo& identity) = 0;
};

}  // namespace kirvo
