#include "app/verify_use_case.h"

#include "engine/tree_matcher.h"
#include "platform/translation.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"
#include "view/value_format.h"

namespace kirvo {

std::string VerifyUseCase::Refusal(const Root& source, const Root& target) {
    for (const Root* root : {&source, &target})
        if (root->snapshot())
            return Format(Tr("\"%s\" ist ein Schnappschuss: er enthält keine Inhalte zum Prüfen."), root->text());
    return {};
}

RunOptions VerifyUseCase::ScanOptions(RunOptions options) {
    options.compareBy = CompareBy::Time;
    options.deferContents = false;
    options.contentMemory = nullptr;
    return options;
}

const VerifyResult& VerifyUseCase::Verify(const TreeMatcher& matcher, const Root& source, const Root& target,
                                          ContentProgress& progress) {
    SyncStateStore store(stateFolder_.empty() ? SyncStateStore::DefaultFolder() : stateFolder_);
    ContentVerification verification(store, SyncPair::Of(source, target).key());
    result_ = verification.Run(matcher, progress);
    return result_;
}

RunEnd VerifyUseCase::End(bool notAllListed) const {
    if (result_.stopped) return RunEnd::Interrupted;
    if (result_.count(VerifyState::Damaged) > 0 || result_.count(VerifyState::Different) > 0)
        return RunEnd::LeftUnequal;
    if (notAllListed || result_.storeError || result_.count(VerifyState::Unreadable) > 0) return RunEnd::NotAllDone;
    return RunEnd::InLine;
}

std::string VerifyUseCase::Summary() const {
    const auto n = [&](VerifyState s) { return result_.count(s); };
    return Format(TrN("Geprüft: %d Datei", "Geprüft: %d Dateien", result_.paths.size()),
                  static_cast<int>(result_.paths.size())) +
           Format(Tr(" (%s gelesen): %d gleich, %d verschieden, %d beschädigt?, %d nicht lesbar, %d nur auf einer "
                     "Seite."),
                  FormatTotalSize(static_cast<double>(result_.bytesRead)), n(VerifyState::Equal),
                  n(VerifyState::Different), n(VerifyState::Damaged), n(VerifyState::Unreadable),
                  n(VerifyState::OneSide));
}

}  // namespace kirvo
