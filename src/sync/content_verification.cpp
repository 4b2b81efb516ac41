#include "sync/content_verification.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>

#include "engine/content_progress.h"
#include "engine/tree_matcher.h"
#include "platform/content_hasher.h"
#include "platform/content_reader.h"
#include "platform/translation.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

// Records are written after this many files, or this long, whichever comes first.
constexpr size_t kSaveEvery = 2000;
constexpr auto kSaveAfter = std::chrono::seconds(5);

std::string UnreadableText(int side, int error) {
    const char* where = side == 0 ? Tr("in der Quelle") : Tr("im Ziel");
    if (error == ENOENT) return Format(Tr("Die Datei %s ist seit dem Vergleich verschwunden."), where);
    if (error == kSourceChanged) return Format(Tr("Die Datei %s wurde beim Lesen geändert."), where);
    if (error == kNotRegularFile) return Format(Tr("Die Datei %s ist keine gewöhnliche Datei mehr."), where);
    return Format(Tr("Die Datei %s lässt sich nicht lesen: %s."), where, SystemErrorText(error));
}

std::string LocalTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

std::string DamageText(const VerifiedPath& p) {
    std::string text;
    for (int i = 0; i < 2; ++i) {
        if (!p.damaged[i]) continue;
        if (!text.empty()) text += "; ";
        text += Format(i == 0 ? Tr("in der Quelle, zuletzt gut: %s") : Tr("im Ziel, zuletzt gut: %s"),
                       LocalTime(p.goodSince[i]));
    }
    return text;
}

int VerifyResult::count(VerifyState state) const {
    int n = 0;
    for (const VerifiedPath& p : paths) n += p.state == state ? 1 : 0;
    return n;
}

VerifyResult ContentVerification::Run(const TreeMatcher& matcher, ContentProgress& progress) {
    VerifyResult result;
    int64_t files = 0, bytes = 0;
    for (const FilePair& pair : matcher.pairs())
        for (const FileEntry* entry : {pair.source, pair.target})
            if (entry != nullptr && !entry->isLink()) {
                ++files;
                bytes += static_cast<int64_t>(entry->size());
            }
    progress.Start(files, bytes);
    ContentRecords records;
    if ((result.storeError = store_.loadContent(key_, records))) return result;
    const auto makeReader = [&](const std::string& root) {
        return matcher.options().readers ? matcher.options().readers(root) : MakeContentReader(root);
    };
    std::unique_ptr<ContentReader> readers[2] = {makeReader(matcher.sourceRoot()), makeReader(matcher.targetRoot())};
    for (auto& reader : readers) reader->setLinks(matcher.options().links);
    ContentHasher hasher;
    auto lastSave = std::chrono::steady_clock::now();
    size_t sinceSave = 0;
    const auto save = [&] {
        const std::vector<ContentRecords::Change> changes = records.TakeChanges();
        if (StoreError error = store_.saveContent(key_, changes); error && !result.storeError)
            result.storeError = std::move(error);
        lastSave = std::chrono::steady_clock::now();
        sinceSave = 0;
    };
    for (size_t index = 0; index < matcher.pairs().size() && !result.stopped; ++index) {
        const FilePair& pair = matcher.pairs()[index];
        const FileEntry* entries[2] = {pair.source, pair.target};
        const FileEntry* named = pair.source ? pair.source : pair.target;
        if (named == nullptr || named->isLink()) continue;
        VerifiedPath v;
        v.path = named->relativePath();
        v.pair = index;
        progress.Reading(v.path);
        bool unreadable = false;
        for (int i = 0; i < 2 && !result.stopped; ++i) {
            const bool unknown = (pair.unknownSides & (i == 0 ? FilePair::kSourceUnknown : FilePair::kTargetUnknown)) != 0;
            if (unknown) {
                unreadable = true;
                if (v.reason.empty()) v.reason = i == 0 ? Tr("in der Quelle nicht lesbar") : Tr("im Ziel nicht lesbar");
                continue;
            }
            if (entries[i] == nullptr || entries[i]->isLink()) continue;
            progress.PairDone();  // one file of the two
            v.present[i] = true;
            const SyncSide side = i == 0 ? SyncSide::Source : SyncSide::Target;
            const std::string relative = entries[i]->relativePath();
            std::unique_ptr<OpenedContent> file;
            ContentIdentity identity;
            int error = readers[i]->open(relative, file, identity);
            bool stopped = false;
            if (error == 0)
                error = hasher.HashFile(*file, identity.info.size, v.hash[i], [&](size_t bytes) {
                    result.bytesRead += bytes;
                    progress.AddBytes(static_cast<int64_t>(bytes));
                    return !progress.stopRequested();
                }, stopped);
            if (stopped) {
                result.stopped = true;
                break;
            }
            if (error != 0) {
                unreadable = true;
                if (v.reason.empty()) v.reason = UnreadableText(i, error);
                continue;
            }
            const ContentFinding finding =
                records.Take(side, relative, v.hash[i], identity.info, static_cast<int64_t>(std::time(nullptr)));
            if (finding == ContentFinding::Damaged) {
                v.damaged[i] = true;
                v.goodSince[i] = records.Find(side, relative)->goodSince;
            }
            ++sinceSave;
        }
        if (result.stopped) break;
        if (v.damaged[0] || v.damaged[1]) v.state = VerifyState::Damaged;
        else if (unreadable) v.state = VerifyState::Unreadable;
        else if (v.present[0] != v.present[1]) v.state = VerifyState::OneSide;
        else v.state = v.hash[0] == v.hash[1] ? VerifyState::Equal : VerifyState::Different;
        result.paths.push_back(std::move(v));
        if (sinceSave >= kSaveEvery || std::chrono::steady_clock::now() - lastSave >= kSaveAfter) save();
    }
    save();
    return result;
}

}  // namespace kirvo
