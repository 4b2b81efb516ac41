#include "app/snapshot_save.h"

#include <filesystem>
#include <unordered_map>

#include "app/recording_lister.h"
#include "engine/content_progress.h"
#include "engine/scan_progress.h"
#include "engine/scanned_side.h"
#include "engine/tree_scanner.h"
#include "platform/content_hasher.h"
#include "platform/root.h"
#include "platform/snapshot/snapshot_writer.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

using Outcome = SnapshotSaveResult::Outcome;

// "a/b/" → "a/" and "b"; "" for the root.
std::pair<std::string_view, std::string_view> ParentAndName(std::string_view folder) {
    if (folder.empty()) return {};
    folder.remove_suffix(1);
    const size_t slash = folder.rfind('/');
    if (slash == std::string_view::npos) return {std::string_view(), folder};
    return {folder.substr(0, slash + 1), folder.substr(slash + 1)};
}

bool Stopped(const SnapshotSaveSettings& settings) {
    return (settings.progress && settings.progress->stopRequested()) ||
           (settings.reading && settings.reading->stopRequested());
}

// Reads what the snapshot keeps of a file besides its listing: a link's text,
// and with hashes a file's content hash. "" or why it could not be read.
std::string ReadContent(ContentReader& reader, ContentHasher& hasher, const std::string& relative,
                        SnapshotFile::Entry& entry, const SnapshotSaveSettings& settings, bool& stopped) {
    stopped = false;
    if (entry.kind == RecordKind::Link) {
        NodeInfo info;
        const int error = reader.readLink(relative, entry.link, info);
        if (error == 0 && (info.size != entry.size || info.modifiedSeconds != entry.seconds ||
                           info.modifiedNanoseconds != entry.nanoseconds))
            return Tr("seit dem Lesen der Ordner geändert");
        return error == 0 ? std::string() : SystemErrorText(error);
    }
    if (!settings.hashes) return {};
    std::unique_ptr<OpenedContent> file;
    ContentIdentity identity;
    if (const int error = reader.open(relative, file, identity)) return SystemErrorText(error);
    const NodeInfo& now = identity.info;
    if (now.size != entry.size || now.modifiedSeconds != entry.seconds || now.modifiedNanoseconds != entry.nanoseconds)
        return Tr("seit dem Lesen der Ordner geändert");
    const int error = hasher.HashFile(*file, entry.size, entry.hash, [&settings](size_t bytes) {
        if (settings.reading) settings.reading->AddBytes(static_cast<int64_t>(bytes));
        return !Stopped(settings);
    }, stopped);
    if (stopped) return {};
    if (error != 0) return SystemErrorText(error);
    entry.hashed = true;
    return {};
}

}  // namespace

SnapshotSaveResult SnapshotSave::Run(const Root& folder, const std::string& file, const SnapshotSaveSettings& settings) {
    SnapshotSaveResult result;
    if (folder.state() == Root::State::Missing) {
        result.outcome = Outcome::FolderMissing;
        return result;
    }
    const std::string& root = folder.location();
    RunOptions run;
    run.links = settings.links;
    run.filter = settings.filter;
    run.parallel = settings.parallel;
    run.progress = settings.progress;
    RecordingLister lister(settings.listers ? settings.listers(root) : MakeDirectoryLister(root));
    ScannedSide side;
    // UTC times: the snapshot is read in any time zone.
    TreeScanner(side, kSourceSide, run, 0, [](std::string_view) { return true; }).Scan(root, lister);
    if (Stopped(settings)) {
        result.outcome = Outcome::Stopped;
        return result;
    }
    if (const ListingStatus& opened = lister.rootStatus(); !opened.complete()) {
        result.outcome = opened.error == ENOENT ? Outcome::FolderMissing : Outcome::FolderUnreadable;
        result.error = opened.error;
        result.reason = opened.reason;
        return result;
    }
    result.unknown = side.unknown;

    // The places that could not be read, by folder: a folder whose listing
    // broke off ("a/", the root ""), and names that could not be inspected.
    std::unordered_map<std::string_view, const UnknownPlace*> brokenOff;
    std::unordered_map<std::string_view, std::vector<const UnknownPlace*>> uninspected;
    for (const UnknownPlace& place : side.unknown) {
        if (place.path.empty() || place.path.back() == '/') {
            brokenOff[place.path] = &place;
        } else {
            const size_t slash = place.path.rfind('/');
            uninspected[std::string_view(place.path).substr(0, slash == std::string::npos ? 0 : slash + 1)].push_back(&place);
        }
    }

    SnapshotWriter writer;
    SnapshotWriter::Description description;
    // Where it came from, wherever the snapshot is read later.
    std::error_code ec;
    description.folder = folder.remote() ? folder.text() : std::filesystem::absolute(folder.text(), ec).lexically_normal().string();
    if (ec) description.folder = folder.text();
    description.hashes = settings.hashes;
    description.links = settings.links;
    description.filter = settings.filterText;
    const auto notWritten = [&result](int error, std::string reason) {
        result.outcome = Outcome::NotWritten;
        result.error = error;
        result.reason = std::move(reason);
        return result;
    };
    if (std::string reason; const int error = writer.Begin(file, description, reason)) return notWritten(error, reason);

    std::unordered_map<std::string_view, int64_t> ids;
    for (const std::string& path : side.folders) {
        const auto id = static_cast<int64_t>(ids.size());
        const auto [parent, name] = ParentAndName(path);
        const auto parentId = ids.find(parent);
        const UnknownPlace* broken = brokenOff.count(path) ? brokenOff[path] : nullptr;
        writer.AddFolder(path.empty() || parentId == ids.end() ? -1 : parentId->second, name, lister.system(path),
                         broken ? broken->error : 0, broken ? std::string_view(broken->reason) : std::string_view());
        ids.emplace(path, id);
        for (const UnknownPlace* place : uninspected[path]) {
            SnapshotFile::Entry entry;
            entry.kind = RecordKind::Unknown;
            writer.AddEntry(id, std::string_view(place->path).substr(path.size()), entry, place->error, place->reason);
        }
    }

    const std::unique_ptr<ContentReader> reader = settings.readers ? settings.readers(root) : MakeContentReader(root);
    reader->setLinks(settings.links);
    if (settings.reading) reader->watchStop(&settings.reading->stopFlag());
    ContentHasher hasher;
    if (settings.reading && settings.hashes) {
        int64_t bytes = 0;
        for (size_t i = 0; i < side.entries.size(); ++i) bytes += static_cast<int64_t>(side.entries[i].size());
        settings.reading->Start(static_cast<int64_t>(side.entries.size()), bytes);
    }
    int32_t folderIndex = -1;
    const RecordingLister::Listed* listed = nullptr;
    size_t cursor = 0;
    for (size_t i = 0; i < side.entries.size(); ++i) {
        const FileEntry& found = side.entries[i];
        if (found.folderIndex() != folderIndex) {
            folderIndex = found.folderIndex();
            listed = lister.listed(side.folders[static_cast<size_t>(folderIndex)]);
            cursor = 0;
        }
        SnapshotFile::Entry entry;
        entry.kind = found.isLink() ? RecordKind::Link : RecordKind::File;
        entry.size = found.size();
        entry.seconds = found.modifiedSeconds();
        entry.nanoseconds = found.modifiedMilliseconds() * 1000000u;
        // The scan keeps the listing's order: the nanoseconds are the next of that name.
        while (listed && cursor < listed->files.size() && listed->Name(listed->files[cursor]) != found.name()) ++cursor;
        if (listed && cursor < listed->files.size()) entry.nanoseconds = listed->files[cursor++].nanoseconds;
        const std::string relative = found.relativePath();
        if (settings.reading) settings.reading->Reading(relative);
        bool stopped = false;
        if (std::string why = ReadContent(*reader, hasher, relative, entry, settings, stopped); !why.empty()) {
            if (entry.kind == RecordKind::Link) {
                // A link whose text cannot be read is not known: kept as such, never as an empty text.
                result.unknown.push_back({kSourceSide, relative, EIO, why});
                entry.kind = RecordKind::Unknown;
                writer.AddEntry(folderIndex, found.name(), entry, EIO, why);
                continue;
            }
            result.unhashed.push_back({relative, std::move(why)});
        }
        if (stopped || Stopped(settings)) {
            result.outcome = Outcome::Stopped;
            return result;
        }
        if (settings.reading) settings.reading->PairDone();
        writer.AddEntry(folderIndex, found.name(), entry);
    }
    if (std::string reason; const int error = writer.Finish(reason)) return notWritten(error, reason);
    result.files = static_cast<int64_t>(side.entries.size());
    result.folders = static_cast<int64_t>(side.folders.size());
    return result;
}

}  // namespace kirvo
