#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "platform/root.h"

namespace kirvo {

class ComparisonRun;
class ContentProgress;

// How a comparison ended, handed over when it is over.
struct ComparisonOutcome {
    // "Abbrechen" while the folders were read: the engine is empty.
    bool scanStopped = false;
    // "Abbrechen" while contents were read: the engine holds the comparison by time.
    bool contentsStopped = false;
    // A root out of reach or a listing cut short: the German message; the
    // engine's pairs must not be shown then.
    std::string rootProblem;
    // The two roots compared, with what was found there (Unchecked where the
    // comparison ended before it looked).
    Root source;
    Root target;
};

// Owns the comparison engine and runs "Pfade vergleichen" on it off the
// user-interface thread: the roots are made reachable (RootPreparation), the
// folders are read, and comparing by content the files are read in a phase
// of their own. Progress comes as signals every tenth of a second, the end as
// finished() with the outcome; both on the user-interface thread. The engine
// is the worker's while running(): nothing may read it meanwhile.
class ComparisonController : public QObject {
    Q_OBJECT
public:
    // What makes the roots of a comparison reachable before they are read
    // (a connection to another machine, say), on the comparison's thread.
    struct RootPreparation {
        // Makes the root reachable and looks at it (Root::Inspect for a local
        // one): "" when it can be reached, else the German message; the
        // comparison then stops.
        std::function<std::string(Root& root)> prepare;
        // From the user-interface thread: "Abbrechen" while it prepares.
        std::function<void()> cancel;
        // After the scan: "" when nothing broke off meanwhile, else the message.
        std::function<std::string()> check;
    };

    // Reads the compared pair's contents in a phase of its own, in place of
    // a comparison by content ("Inhalt prüfen"): over the engine's result,
    // the roots as the comparison found them, reporting to and stopping by
    // the progress it is handed.
    using ContentsPhase =
        std::function<void(const TreeMatcher& matcher, const Root& source, const Root& target, ContentProgress& progress)>;

    explicit ComparisonController(QObject* parent = nullptr);
    // Stops a comparison under way before the engine goes.
    ~ComparisonController() override;

    // Where the comparison lists folders; the platform's listers when empty.
    void setDirectoryListers(DirectoryListerFactory listers) { listers_ = std::move(listers); }
    // Where comparing by content reads files; the platform's readers when empty.
    void setContentReaders(ContentReaderFactory readers) { readers_ = std::move(readers); }
    void setRootPreparation(RootPreparation preparation) { preparation_ = std::move(preparation); }

    // Compares source with target under options (its progress, listers and
    // readers are the controller's); filter is copied for the run. The roots
    // are looked at first (RootPreparation, else Root::Inspect). False when a
    // comparison is already under way. `contents`: read after the scan,
    // with the progress of a content comparison (contentProgress()).
    bool Start(Root source, Root target, RunOptions options, std::optional<PathFilter> filter,
               ContentsPhase contents = {});
    // Stops the comparison under way; finished() follows.
    void Cancel();
    bool running() const;

    TreeMatcher& matcher() { return matcher_; }
    const TreeMatcher& matcher() const { return matcher_; }

signals:
    // While the folders are read: files found per side, and the folder being read.
    void scanProgress(qint64 sourceFiles, qint64 targetFiles, const QString& folder);
    // While contents are read: bytes and pairs done of all, and the file being read.
    void contentProgress(qint64 bytesDone, qint64 bytesTotal, qint64 pairsDone, qint64 pairsTotal,
                         const QString& file);
    void finished(const kirvo::ComparisonOutcome& outcome);

private:
    struct Run;
    void OnRunFinished(bool cancelled);

    TreeMatcher matcher_;
    ComparisonRun* run_ = nullptr;
    // What the run under way (or the last one) reads and reports: its filter,
    // its progress and its outcome. Kept until the next run, as the engine
    // keeps pointing at the first two.
    std::shared_ptr<Run> state_;
    DirectoryListerFactory listers_;
    ContentReaderFactory readers_;
    RootPreparation preparation_;
};

}  // namespace kirvo
