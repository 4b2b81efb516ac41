#include "sync/content_records.h"

namespace kirvo {
namespace {

int64_t Nanoseconds(int64_t seconds, uint32_t nanoseconds) { return seconds * 1'000'000'000 + nanoseconds; }

}  // namespace

NodeInfo ObservedNodeInfo(const ObservedFile& file) {
    NodeInfo info;
    info.kind = NodeKind::File;
    info.size = file.size;
    const auto split = [](int64_t ns, int64_t& seconds, uint32_t& rest) {
        seconds = ns / 1'000'000'000;
        int64_t r = ns % 1'000'000'000;
        if (r < 0) {
            r += 1'000'000'000;
            --seconds;
        }
        rest = static_cast<uint32_t>(r);
    };
    split(file.mtimeNs, info.modifiedSeconds, info.modifiedNanoseconds);
    split(file.ctimeNs, info.changedSeconds, info.changedNanoseconds);
    info.device = file.device;
    info.inode = file.inode;
    return info;
}

KeptContent KeptContent::Of(const ContentHash& hash, const NodeInfo& file, int64_t now) {
    KeptContent kept;
    kept.hash = hash;
    kept.size = file.size;
    kept.mtimeNs = Nanoseconds(file.modifiedSeconds, file.modifiedNanoseconds);
    kept.device = file.device;
    kept.inode = file.inode;
    kept.ctimeNs = Nanoseconds(file.changedSeconds, file.changedNanoseconds);
    kept.goodSince = now;
    return kept;
}

bool KeptContent::StillHeldBy(const NodeInfo& now) const {
    return !damaged() && size == now.size && mtimeNs == Nanoseconds(now.modifiedSeconds, now.modifiedNanoseconds) &&
           inode == now.inode && ctimeNs == Nanoseconds(now.changedSeconds, now.changedNanoseconds);
}

const KeptContent* ContentRecords::Find(SyncSide side, std::string_view path) const {
    const auto& records = Of(side);
    const auto it = records.find(std::string(path));
    return it == records.end() ? nullptr : &it->second;
}

void ContentRecords::Add(SyncSide side, std::string path, const KeptContent& content) {
    Of(side).insert_or_assign(std::move(path), content);
}

void ContentRecords::Changed(SyncSide side, std::string_view path) { changed_.emplace_back(side, std::string(path)); }

ContentFinding ContentRecords::Take(SyncSide side, std::string_view path, const ContentHash& hash, const NodeInfo& file,
                                    int64_t now) {
    auto& records = Of(side);
    const KeptContent fresh = KeptContent::Of(hash, file, now);
    const auto it = records.find(std::string(path));
    if (it == records.end()) {
        records.emplace(std::string(path), fresh);
        Changed(side, path);
        return ContentFinding::New;
    }
    KeptContent& kept = it->second;
    if (kept.hash == hash) {
        kept = fresh;  // its identity may have moved (a change time, another inode)
        Changed(side, path);
        return ContentFinding::Confirmed;
    }
    if (!kept.SameSizeAndTime(fresh.size, fresh.mtimeNs, fresh.inode)) {
        kept = fresh;
        Changed(side, path);
        return ContentFinding::Edited;
    }
    // The good bytes' record stays: it tells what to bring back, and since when the file was good.
    if (!kept.damaged()) {
        kept.damagedSince = now;
        Changed(side, path);
    }
    return ContentFinding::Damaged;
}

void ContentRecords::Put(SyncSide side, std::string_view path, const KeptContent& content) {
    Of(side).insert_or_assign(std::string(path), content);
    Changed(side, path);
}

std::vector<ContentRecords::Change> ContentRecords::TakeChanges() {
    std::vector<Change> changes;
    changes.reserve(changed_.size());
    for (auto& [side, path] : changed_)
        if (const KeptContent* kept = Find(side, path)) changes.push_back({side, std::move(path), *kept});
    changed_.clear();
    return changes;
}

}  // namespace kirvo
