#include "app/job_run.h"

#include <ctime>

#include "app/job_store.h"
#include "fileops/operation_log.h"
#include "platform/desktop_notification.h"
#include "platform/file_replace.h"
#include "platform/mount_table.h"
#include "platform/translation.h"

namespace kirvo {

std::string JobRun::LockPathOf(const Job& job) { return JobStore::LockPathOf(job.name); }

void JobRun::Refuse(std::string why) {
    result_.refusal = std::move(why);
    result_.end = std::max(result_.end, RunEnd::NotAllDone);
}

JobRun::Start JobRun::Begin(const std::function<void(const std::string&)>& waiting) {
    std::string error;
    FileLock::State state = lock_.tryTake(error);
    if (state == FileLock::State::Busy && !waiting) {
        Refuse(Format(Tr("Der Auftrag \"%s\" läuft gerade; nichts wurde geändert."), job_.name));
        return Start::Refused;
    }
    if (state == FileLock::State::Busy) {
        if (waiting) waiting(Format(Tr("Der Auftrag \"%s\" läuft gerade; dieser Lauf wartet, bis er fertig ist."), job_.name));
        bool interrupted = false;
        state = lock_.wait(interrupted, error) ? FileLock::State::Taken : FileLock::State::Failed;
        if (interrupted) {
            result_.end = RunEnd::Interrupted;
            return Start::Interrupted;
        }
    }
    if (state == FileLock::State::Failed) {
        result_.refusal = error;
        result_.end = RunEnd::Unusable;
        return Start::Refused;
    }
    // A job that runs when its drive is mounted runs only while it is.
    if (!job_.whenMounted.empty() && MountPointOf(job_.whenMounted) != job_.whenMounted) {
        Refuse(Format(Tr("\"%s\" ist nicht eingehängt. Ist der Datenträger angeschlossen?"), job_.whenMounted));
        return Start::Refused;
    }
    return Start::Go;
}

std::string JobRun::SummaryLine(int status) const {
    std::string line = Tr("Auftrag \"") + job_.name + "\": ";
    if (result_.end == RunEnd::Interrupted) {
        line += Tr("abgebrochen");
    } else if (!result_.compared && result_.refused()) {
        line += Tr("nicht abgeglichen: ") + result_.refusal;
        for (char& c : line) c = c == '\n' ? ' ' : c;
        while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.pop_back();
    } else {
        line += result_.Summary();
    }
    return line + Tr(" – Status ") + std::to_string(status);
}

int JobRun::StatusOf(RunEnd end) {
    switch (end) {
    case RunEnd::InLine: return 0;
    case RunEnd::LeftUnequal: return 1;
    case RunEnd::Unusable: return 2;
    case RunEnd::Unreachable: return 3;
    case RunEnd::NotAllDone: return 4;
    case RunEnd::Interrupted: return 130;
    }
    return 4;
}

void JobRun::End(int status, std::string* lastNotice, bool notify) const {
    if (dryRun_) return;
    const std::string line = SummaryLine(status);
    if (job_.useLog) {
        const SourceTexts german;  // the log reads the same in every language
        OperationLog log;
        log.write({"Auftrag", job_.source, job_.target, result_.BytesCopied(), {}, SummaryLine(status)});
    }
    // Beside the lock: where that could not be made, this cannot be either, and nothing is said.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char when[32] = "";
    if (localtime_r(&now, &local) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    // German as the log is, and the run's own language beside it where that is another.
    const auto result = [](const std::string& summary) { return summary.substr(summary.find("\": ") + 3); };
    std::string german;
    {
        const SourceTexts source;
        german = result(SummaryLine(status));
    }
    std::string last = std::string(when) + '\t' + german + '\n';
    if (CurrentLanguage() != UiLanguage::German) last += std::string(when) + '\t' + result(line) + '\n';
    ReplaceFile(JobStore::LastRunPathOf(job_.name), last, 0600);
    if (!notify) return;
    const bool news = status != 0 && result_.end != RunEnd::Interrupted && !result_.cancelled();
    // The trouble alone, without what went well: the same trouble is the same notice.
    std::string notice;
    if (news) notice = result_.compared && !result_.Problems().empty() ? result_.Problems() : line.substr(line.find("\": ") + 3);
    if (lastNotice) {
        if (*lastNotice == notice) return;
        *lastNotice = notice;
    }
    if (news)
        ShowDesktopNotification(Format(Tr("Kirvo: Auftrag \"%s\""), job_.name),
                                notice + Tr(". Mehr im Protokoll (Extras › Protokoll anzeigen)."));
}

}  // namespace kirvo
