#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/unknown_place.h"
#include "platform/content_reader.h"
#include "platform/directory_lister.h"
#include "platform/link_mode.h"

namespace kirvo {

class ContentProgress;
class Root;
class ScanFilter;
class ScanProgress;

// What a snapshot is saved with.
struct SnapshotSaveSettings {
    bool hashes = false;  // each file read whole and its content hash kept
    LinkMode links = LinkMode::Follow;
    const ScanFilter* filter = nullptr;  // what is left out; none: everything
    std::string filterText;              // the patterns, kept in the snapshot ("" for none)
    int parallel = 0;                    // listings at once; 0: automatic
    DirectoryListerFactory listers;      // empty: the platform's
    ContentReaderFactory readers;        // empty: the platform's
    ScanProgress* progress = nullptr;    // files found, and the request to stop
    ContentProgress* reading = nullptr;  // bytes hashed (with hashes)
};

// How a snapshot's saving ended.
struct SnapshotSaveResult {
    enum class Outcome {
        Saved,           // the file is there (unknown and unhashed may still name what was not read)
        FolderMissing,   // nothing saved
        FolderUnreadable,// the folder itself could not be listed: nothing saved
        Stopped,         // asked to stop: nothing saved
        NotWritten,      // the file could not be written (or something else is in its place)
    };
    Outcome outcome = Outcome::Saved;
    int error = 0;
    std::string reason;  // FolderUnreadable, NotWritten: why, in German
    int64_t files = 0;
    int64_t folders = 0;
    // What could not be read; kept in the snapshot as such, never as absent.
    std::vector<UnknownPlace> unknown;
    // With hashes: the files that got none, and why.
    struct Unhashed {
        std::string path;
        std::string reason;
    };
    std::vector<Unhashed> unhashed;
};

// "kirvo-cli snapshot save": lists one tree with the comparison's scanner
// (its filter and links as a comparison takes them), reads each file's
// content hash when asked to, and writes the listing into one snapshot file
// (SnapshotWriter: complete or not at all).
class SnapshotSave {
public:
    // folder: looked at already (Root::Inspect, or over its connection).
    static SnapshotSaveResult Run(const Root& folder, const std::string& file, const SnapshotSaveSettings& settings);
};

}  // namespace kirvo
