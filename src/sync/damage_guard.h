#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/function_ref.h"

#include "sync/content_records.h"
#include "sync/observed_file.h"
#include "sync/sync_decision.h"
#include "sync/sync_work.h"

namespace kirvo {

// Keeps a damaged file from spreading. A file recorded as damaged (other
// bytes found under the size and time of its good ones) that still shows
// that size and time is never copied over its counterpart: where the
// counterpart still holds the good bytes (its record has their hash and its
// identity has not moved since) and its side may be changed, the pair's
// decision brings them back over the damaged file (the damaged one goes to
// the trash like any replaced file); otherwise the pair is a conflict,
// unless the other side's file is to replace the damaged one anyway. A
// damaged file without a counterpart keeps its decision. `paths` and
// `decisions` are the pairs' (folders are left alone).
// A file about to be copied whose record has its size and time but whose
// identity moved since (a change time, another inode) is read first
// (`readNow`, none where it cannot be read): other bytes than recorded are
// damage, marked in `records` (at `now`) like verify marks it.
using ReadNow = FunctionRef<std::optional<ContentHash>(SyncSide side, std::string_view path)>;
void GuardDamage(std::span<const ObservedPath> paths, std::span<PathDecision> decisions, ContentRecords& records,
                 ChangedSides sides, ReadNow readNow, int64_t now);

}  // namespace kirvo
