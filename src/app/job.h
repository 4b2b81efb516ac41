#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/run_options.h"
#include "platform/root.h"
#include "sync/sync_mode.h"

namespace kirvo {

class PathFilter;

// A saved folder pair with everything that decides an unattended run of it
// ("Auftrag"): the two roots, how they are synchronised, how compared and
// filtered, and when it runs by itself. Kept as a job file (JobFile) in the
// user's job folder (JobStore).
struct Job {
    enum class Direction { Both, ToTarget, ToSource };

    std::string name;    // see IsValidName
    std::string source;  // a local absolute path, or "sftp://..."
    std::string target;
    SyncMode mode = SyncMode::Update;
    Direction direction = Direction::Both;
    // --max-delete as given ("20", "10%"): what an unattended run may delete
    // without asking; empty: not more than half of a side, as always.
    std::string maxDelete;
    CompareBy compareBy = CompareBy::Time;
    LinkMode links = LinkMode::Follow;
    bool ignoreHour = false;
    bool twoSecondTolerance = true;
    bool excludeSubFolders = false;
    bool excludeSystemFolders = false;
    int parallel = 0;  // listings at once per side; 0: automatic
    std::vector<std::string> include;     // patterns
    std::vector<std::string> exclude;     // patterns
    std::vector<std::string> filterFrom;  // rule files, read at each run
    bool useTrash = true;
    bool useLog = true;
    bool verify = false;  // each copy read back from the disk and compared (--verify)
    bool acceptNewHostKey = false;
    // When it runs by itself: a systemd calendar value ("daily", ...; empty:
    // none), and the mount point whose mounting starts it (empty: none).
    std::string every;
    std::string whenMounted;
    // Entries of the file this version does not know, in file order, kept as
    // they are so that a newer version's settings survive.
    std::vector<std::pair<std::string, std::string>> unknown;

    friend bool operator==(const Job&, const Job&) = default;

    // Names are file and unit names: 1 to kMaxNameLength of A-Z a-z 0-9 - _ .,
    // not beginning with a dot.
    static constexpr size_t kMaxNameLength = 64;
    static bool IsValidName(std::string_view name);
    // The German message for a name IsValidName refuses.
    static std::string InvalidNameMessage(std::string_view name);

    // The roots as the job file holds them (each checked when it was read).
    Root SourceRoot() const { return RootOf(source); }
    Root TargetRoot() const { return RootOf(target); }
    // A root of a job file: an "sftp://" address or an absolute local path.
    static Root RootOf(const std::string& text);

    // The scan filter of the job: its patterns and the rules of its rule
    // files, read now. False with a German message naming the job.
    bool MakePathFilter(PathFilter& filter, std::string& error) const;

    // "both", "to-target", "to-source", and back (false for anything else).
    static std::string_view DirectionName(Direction direction);
    static bool ParseDirection(std::string_view name, Direction& direction);
};

}  // namespace kirvo
