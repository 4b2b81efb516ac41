#include "cli/pair_access.h"

#include <chrono>

#include "cli/cli_command.h"
#include "fileops/operation_log.h"
#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// How long a run waits for another run on the same pair.
constexpr std::chrono::seconds kLockWait(30);

}  // namespace

int LockPair(PairAccess& access, std::ostream& err) {
    PairLock::Refusal refusal;
    access.lock = PairLock::Acquire(access.store.folder(), access.pair.key(), std::chrono::milliseconds(0), refusal);
    if (!access.lock && refusal.holder > 0) {
        err << Tr("kirvo-cli sync: Warte auf einen anderen Abgleich dieser Ordner (Prozess ") << refusal.holder << ") …\n";
        access.lock = PairLock::Acquire(access.store.folder(), access.pair.key(), kLockWait, refusal);
    }
    if (access.lock) return 0;
    err << Tr("kirvo-cli sync: ") << DisplayEscaped(refusal.message) << Tr(" Nichts wurde geändert.\n");
    return kExitUnreadable;
}

int ForgetState(PairAccess& access, const SyncOptions& options, OperationLog* log, std::ostream& err) {
    std::string notice;
    if (const StoreError error = access.store.forget(access.pair.key(), &notice)) {
        err << Tr("kirvo-cli sync: ") << DisplayEscaped(error.message) << '\n';
        return kExitUnreadable;
    }
    if (!notice.empty()) err << Tr("kirvo-cli sync: Hinweis: ") << DisplayEscaped(notice) << '\n';
    err << Tr("kirvo-cli sync: Hinweis: Der Stand des letzten Abgleichs ist vergessen; dieser Lauf gleicht ab wie der "
           "erste (wie update), dann wird der Stand neu festgehalten.\n");
    if (log != nullptr) log->write({OperationLog::kStateForgotten, options.source, options.target, {}, {}, OperationLog::kOk});
    return 0;
}

}  // namespace kirvo
