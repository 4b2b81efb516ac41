#include "app/sync_request.h"

namespace kirvo {

SyncSettings SyncRequest::Settings() const {
    SyncSettings settings;
    settings.mode = mode;
    settings.mirrorFrom = mirrorFrom();
    settings.sides = sides;
    settings.compareSetting = static_cast<int32_t>(scan.compareBy);
    settings.filterHash = FilterHashOf(filter, scan.excludeSubFolders, scan.excludeSystemFolders);
    settings.filter = filter.LeavesOutNothing() ? nullptr : &filter;
    settings.limit = limit;
    return settings;
}

RunOptions SyncRequest::ScanOptions() const {
    RunOptions run = scan;
    run.filter = filter.LeavesOutNothing() ? nullptr : &filter;
    run.identities = mode != SyncMode::Update;
    return run;
}

}  // namespace kirvo
