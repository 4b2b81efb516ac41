#pragma once
#include <QObject>
#include <QString>
#include <array>
#include <set>
#include <optional>
#include <string>

#include "app/verify_use_case.h"
#include "view/command_id.h"
#include "view/display_filter.h"
#include "view/qt/comparison_controller.h"
#include "view/qt/wait_cursor.h"

namespace kirvo {

class AppOptions;
class CKirvoView;
class FileOperationController;
class PathBar;
class PathFilter;
class UserPrompts;

// "Pfade vergleichen" and everything until its list is shown: the two path
// fields parsed into roots, the comparison run off the user-interface thread
// (ComparisonController) with its progress, and once it is over the run
// that waited for it finished, the plan of the sync use case decided over
// the new result, the large-result question and the warnings, and the list
// filled. The file operations ask for it again after every command.
class ComparisonSession : public QObject {
    Q_OBJECT
public:
    // All must outlive the session; options, pathFilter and displayFilter
    // are read whenever a comparison starts or the list is filled.
    ComparisonSession(CKirvoView& view, PathBar& pathBar, const AppOptions& options, const PathFilter& pathFilter,
                      const DisplayFilter& displayFilter, FileOperationController& operations, QObject* parent = nullptr);
    ~ComparisonSession() override;

    void setUserPrompts(UserPrompts* prompts) { prompts_ = prompts; }
    ComparisonController& comparison() { return comparison_; }
    const ComparisonController& comparison() const { return comparison_; }
    // From "Pfade vergleichen" until its list is filled (or it was cancelled).
    bool comparing() const { return comparing_; }

    // Command 32775 "Pfade vergleichen" (see WindowController::OnPfadeVergleichen).
    void Compare() { Start(false); }
    // "Inhalt prüfen": compares by time as "Pfade vergleichen" does, then
    // reads every file of both sides against the hashes recorded for the
    // pair (VerifyUseCase), with the progress and "Abbrechen" of a content
    // comparison; the list shows what it found damaged ("beschädigt?") and
    // the status bar its counts, until the next comparison.
    void Verify() { Start(true); }
    // Command 32822 "Abbrechen": stops the comparison under way.
    void Cancel() { comparison_.Cancel(); }
    // Rebuilds the list from the engine's pairs under the current filter.
    void FillList();
    // After the folders were changed (a command, an undo): compares again,
    // `note` in the status bar once the comparison is over. False when no
    // comparison started (the note was shown at once).
    bool CompareAgainWithNote(const QString& note);
    // After "Dateien abgleichen": the list brought up to date by looking
    // again at what the run touched, and shown as a comparison's would be.
    // False, with nothing changed, where only a whole comparison can tell
    // (or other paths were typed since): CompareAgainWithNote then.
    bool LookAgainAfterRun(const QString& note);
    // A setting the shown result was made under changed: compare again.
    void CompareAgainIfShown();

signals:
    // A comparison started or ended: command states may differ.
    void comparingChanged();
    // What the comparison shown could not read, for the bar above the list
    // (the box said it once for the pair); empty when a comparison starts.
    void unreadablePlacesNoted(const QString& text, const QString& details);
    void statusMessage(const QString& text);
    void sideTotalsShown(kirvo::Side side, const QString& text);
    void readingProgress(int permille);
    // A comparison ended, and a run that waited for it is finished; before
    // its list is filled and the note after it shown.
    void ended();
    // A comparison ended: its list is filled, or it was cancelled.
    void finished();

private:
    void Start(bool verify);
    // What "Inhalt prüfen" found for the list: null after any other comparison.
    const VerifyResult* Verified() const { return verify_ ? &verify_->result() : nullptr; }
    // After "Inhalt prüfen": the damaged files named, where there are any.
    void WarnOfDamage();
    void SetComparing(bool comparing);
    void ShowScanProgress(qint64 sourceFiles, qint64 targetFiles, const QString& folder);
    void ShowContentProgress(qint64 bytesDone, qint64 bytesTotal, qint64 pairsDone, qint64 pairsTotal,
                             const QString& file);
    void OnFinished(const ComparisonOutcome& outcome);
    // A complete result: its plan, the warnings (`missing` first), the
    // large-result question, the list filled.
    void ShowComplete(std::string missing);
    // After a complete comparison: the plan of the mode set is decided over
    // the new result (a state that cannot be read: asked whether to start afresh).
    void PlanShownResult();
    // The file rows the list would show under the display filter.
    int64_t ShownFileRows() const;

    CKirvoView& view_;
    PathBar& pathBar_;
    const AppOptions& options_;
    const PathFilter& pathFilter_;
    const DisplayFilter& displayFilter_;
    FileOperationController& operations_;
    UserPrompts* prompts_ = nullptr;
    // "Inhalt prüfen" under way or shown; its worker reads and writes it
    // until the comparison is over (declared first: it outlives the worker).
    std::optional<VerifyUseCase> verify_;
    ComparisonController comparison_;
    bool comparing_ = false;
    QString noteAfterComparison_;           // for the status bar once the comparison is over
    std::array<QString, 2> comparedTexts_;  // the paths as typed, for the histories
    std::optional<WaitCursor> busyCursor_;  // while the folders are read
    // The pairs of roots whose unreadable places the box has named this session.
    std::set<std::pair<std::string, std::string>> unreadableNamed_;
};

}  // namespace kirvo
