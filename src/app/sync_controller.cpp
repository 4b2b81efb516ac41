#include "app/sync_controller.h"

#include "app/app_options.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "platform/translation.h"

namespace kirvo {

std::unique_ptr<SyncStateStore> SyncController::Store() const {
    return std::make_unique<SyncStateStore>(stateFolder_.empty() ? SyncStateStore::DefaultFolder() : stateFolder_);
}

StoreError SyncController::Prepare(const TreeMatcher& matcher, const PathFilter& filter) {
    SyncSettings settings;
    settings.mode = options_.syncMode();
    settings.compareSetting = static_cast<int32_t>(options_.compareBy());
    settings.filterHash = FilterHashOf(filter, options_.subOrdner(), options_.systemOrdner());
    settings.filter = matcher.options().filter;
    session_ = std::make_unique<SyncSession>(settings);
    stateError_.clear();
    pair_.reset();
    if (settings.mode != SyncMode::Update) {
        pair_.emplace(SyncPair::Of(matcher.sourceRoot(), matcher.targetRoot()));
        if (const StoreError error = session_->LoadState(*Store(), pair_->key())) {
            stateError_ = error.message;
            return error;
        }
    }
    session_->Decide(matcher, pair_ ? pair_->identities() : SideIdentities{});
    return {};
}

std::string SyncController::AfreshQuestion(const StoreError& error) {
    switch (error.kind) {
    case StoreError::Kind::NotMounted: return {};
    case StoreError::Kind::OtherDisk:
        return Tr("\n\nSoll der Abgleich dieser Ordner mit diesem Datenträger von vorn beginnen? Der nächste Abgleich "
                  "kopiert dann wie „Neuere kopieren“.");
    default:
        return Tr("\n\nOhne den Stand des letzten Abgleichs kann nicht mit Gedächtnis abgeglichen werden: gelöschte "
                  "Dateien kämen zurück. Soll der Abgleich dieser Ordner von vorn beginnen? Der alte Stand wird dann "
                  "vergessen, und der nächste Abgleich kopiert wie „Neuere kopieren“.");
    }
}

StoreError SyncController::StartAfresh(const TreeMatcher& matcher, const PathFilter& filter, std::string* notice) {
    const SyncPair pair = SyncPair::Of(matcher.sourceRoot(), matcher.targetRoot());
    const std::unique_ptr<SyncStateStore> store = Store();
    PairLock::Refusal refusal;
    const std::optional<PairLock> lock =
        PairLock::Acquire(store->folder(), pair.key(), std::chrono::milliseconds(0), refusal);
    if (!lock) return {StoreError::Kind::Busy, refusal.message};
    if (const StoreError error = store->forget(pair.key(), notice)) return error;
    return Prepare(matcher, filter);
}

void SyncController::Drop() {
    if (session_) session_->Clear();
}

std::string SyncController::Begin() {
    if (!session_ || !pair_ || session_->mode() == SyncMode::Update) return {};
    const std::unique_ptr<SyncStateStore> store = Store();
    PairLock::Refusal refusal;
    lock_ = PairLock::Acquire(store->folder(), pair_->key(), std::chrono::milliseconds(0), refusal);
    if (!lock_) return refusal.message + Tr(" Nichts wurde geändert.");
    if (!session_->StateUnchanged(*store, pair_->key())) {
        lock_.reset();
        return Tr("Seit dem Vergleich hat ein anderer Abgleich dieser Ordner den Stand geändert; nichts wurde geändert. "
               "Die Liste wird neu verglichen.");
    }
    return {};
}

std::string SyncController::Finish(const TreeMatcher* after) {
    std::string warning;
    if (awaitingRecord_ && after != nullptr && session_ && pair_) {
        if (const StoreError error = session_->Record(*after, pair_->identities(), *Store(), pair_->key()))
            warning = error.message + Tr(" Der neue Stand ist nicht festgehalten; der nächste Abgleich entscheidet nach dem alten.");
    }
    awaitingRecord_ = false;
    lock_.reset();
    return warning;
}

}  // namespace kirvo
