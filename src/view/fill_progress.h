#pragma once
#include <cstdint>
#include <string>

#include "engine/file_entry.h"

namespace kirvo {

// What a window shows while ResultRows is being built: the running file
// counts in the side fields (1009, 1010) and a repaint of the path bar. All
// calls come from the building thread, in order; the defaults do nothing.
class FillProgress {
public:
    virtual ~FillProgress() = default;

    // Before any row: the selection fields (1011, 1012) are emptied.
    virtual void FillStarted() {}
    // "%i Dateien" for the given side (kSourceSide: 1009, kTargetSide: 1010),
    // with the count of that side's files before the one being added. Sent
    // for the first eleven files of a side and then for every interval-th.
    virtual void ShowFileCount(Side /*side*/, const std::string& /*text*/) {}
    // The pair index p was reached with p a multiple of the repaint interval.
    virtual void PairTick(int32_t /*pairIndex*/) {}
};

}  // namespace kirvo
