#include "sync/sync_evidence.h"

#include "engine/text_compare.h"

namespace kirvo {
namespace {

bool Same(const ObservedFile& now, const ObservedFile& known) {
    return now.present() && known.present() && now.size == known.size && now.mtimeNs == known.mtimeNs &&
           (now.inode == 0 || known.inode == 0 || now.inode == known.inode) &&
           (now.ctimeNs == 0 || known.ctimeNs == 0 || now.ctimeNs == known.ctimeNs);
}

}  // namespace

void SyncEvidence::add(std::string_view relativePath, const ObservedFile& source, const ObservedFile& target) {
    known_[Folded(relativePath)] = {source, target};
}

bool SyncEvidence::confirms(const ObservedPath& now) const {
    const auto it = known_.find(Folded(now.relativePath()));
    return it != known_.end() && Same(now.source, it->second.source) && Same(now.target, it->second.target);
}

}  // namespace kirvo
