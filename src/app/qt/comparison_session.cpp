#include "app/qt/comparison_session.h"

#include <QFile>
#include <algorithm>
#include <tuple>

#include "app/app_options.h"
#include "app/file_operation_controller.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "engine/path_filter.h"
#include "platform/path_limits.h"
#include "platform/qt/qt_translation.h"
#include "view/qt/kirvo_view.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

constexpr const char* kLargeResultQuestion =
    TrNoop("Es wurden mehr als 5000 Vergleiche gemacht . Das verlangsamt die Anzeige und das später darauf "
           "folgende Löschen der Anzeige sehr ! Trotzdem anzeigen ?");
constexpr int32_t kLargeResult = 5000;

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

ComparisonSession::ComparisonSession(CKirvoView& view, PathBar& pathBar, const AppOptions& options,
                                     const PathFilter& pathFilter, const DisplayFilter& displayFilter,
                                     FileOperationController& operations, QObject* parent)
    : QObject(parent),
      view_(view),
      pathBar_(pathBar),
      options_(options),
      pathFilter_(pathFilter),
      displayFilter_(displayFilter),
      operations_(operations) {
    connect(&comparison_, &ComparisonController::scanProgress, this, &ComparisonSession::ShowScanProgress);
    connect(&comparison_, &ComparisonController::contentProgress, this, &ComparisonSession::ShowContentProgress);
    connect(&comparison_, &ComparisonController::finished, this, &ComparisonSession::OnFinished);
}

ComparisonSession::~ComparisonSession() { comparison_.Cancel(); }

void ComparisonSession::Start(bool verify) {
    if (comparing_) return;
    const QString sourceText = pathBar_.text(PathBar::Side::Source);
    const QString targetText = pathBar_.text(PathBar::Side::Target);
    if (sourceText.isEmpty() || targetText.isEmpty()) return;
    const QByteArray sourcePath = QFile::encodeName(sourceText);
    const QByteArray targetPath = QFile::encodeName(targetText);
    // Each root parsed once, here; an address that is no valid one goes no further.
    std::string why;
    std::optional<Root> source = Root::Parse(sourcePath.toStdString(), &why);
    std::optional<Root> target = source ? Root::Parse(targetPath.toStdString(), &why) : std::nullopt;
    if (!source || !target) {
        prompts_->ShowWarning(why);
        return;
    }
    // A path the system would refuse is said so, never compared: its side
    // would read as empty.
    for (const Root* root : {&*source, &*target}) {
        const QByteArray& path = root == &*source ? sourcePath : targetPath;
        if (static_cast<size_t>(path.size()) <= kMaxPathBytes || root->remote()) continue;
        const QString text = (root == &*source ? QTr("Der Pfad der Quelle ist zu lang: %1 Bytes, das "
                                                      "System nimmt höchstens %2.\n\n%3\n\nEs wird nicht "
                                                      "verglichen.")
                                               : QTr("Der Pfad des Ziels ist zu lang: %1 Bytes, das "
                                                      "System nimmt höchstens %2.\n\n%3\n\nEs wird nicht "
                                                      "verglichen."))
                                 .arg(path.size())
                                 .arg(kMaxPathBytes)
                                 .arg((root == &*source ? sourceText : targetText).left(120) + QStringLiteral(" …"));
        prompts_->ShowWarning(text.toStdString());
        return;
    }
    if (const std::string refusal = verify ? VerifyUseCase::Refusal(*source, *target) : std::string();
        !refusal.empty()) {
        prompts_->ShowWarning(refusal);
        return;
    }
    comparedTexts_ = {sourceText, targetText};

    // No row, and no plan, may point into the engine while it runs or after it is cleared.
    view_.Clear();
    operations_.Drop();
    verify_.reset();
    const SyncRequest& request = operations_.BeginComparison(pathFilter_, *source, *target);
    RunOptions scan = request.ScanOptions();
    ComparisonController::ContentsPhase contents;
    if (verify) {
        verify_.emplace(operations_.stateFolder());
        scan = VerifyUseCase::ScanOptions(scan);
        contents = [use = &*verify_](const TreeMatcher& matcher, const Root& s, const Root& t, ContentProgress& progress) {
            use->Verify(matcher, s, t, progress);
        };
    }
    if (!comparison_.Start(std::move(*source), std::move(*target), scan, pathFilter_, std::move(contents))) {
        verify_.reset();
        return;
    }
    SetComparing(true);
}

void ComparisonSession::SetComparing(bool comparing) {
    comparing_ = comparing;
    if (comparing) {
        busyCursor_.emplace(Qt::BusyCursor);  // the window still takes input
        emit unreadablePlacesNoted(QString(), QString());  // said of the list that goes
    } else {
        busyCursor_.reset();
    }
    pathBar_.setEnabled(!comparing);
    view_.viewport()->setAcceptDrops(!comparing);
    emit comparingChanged();
}

void ComparisonSession::ShowScanProgress(qint64 sourceFiles, qint64 targetFiles, const QString& folder) {
    emit sideTotalsShown(kSourceSide, QTrN("%1 Datei gefunden", "%1 Dateien gefunden", static_cast<uint64_t>(sourceFiles)).arg(sourceFiles));
    emit sideTotalsShown(kTargetSide, QTrN("%1 Datei gefunden", "%1 Dateien gefunden", static_cast<uint64_t>(targetFiles)).arg(targetFiles));
    if (!folder.isEmpty()) emit statusMessage(QTr("Lese %1").arg(folder));
}

void ComparisonSession::ShowContentProgress(qint64 bytesDone, qint64 bytesTotal, qint64 pairsDone, qint64 pairsTotal,
                                            const QString& file) {
    const int64_t done = std::min(bytesDone, bytesTotal);
    const std::string amounts = Format(verify_ ? Tr("Prüfe Inhalte: %s von %s gelesen – ")
                                               : Tr("Vergleiche Inhalte: %s von %s gelesen – "),
                                       FormatTotalSize(static_cast<double>(done)),
                                       FormatTotalSize(static_cast<double>(bytesTotal)));
    emit statusMessage(FromUtf8(amounts) + file);
    emit readingProgress(bytesTotal > 0 ? static_cast<int>(done * 1000 / bytesTotal) : 0);
    const QString files = (verify_ ? QTr("Inhalte: %1 von %2 Dateien geprüft")
                                   : QTr("Inhalte: %1 von %2 Dateien verglichen"))
                              .arg(pairsDone)
                              .arg(pairsTotal);
    emit sideTotalsShown(kSourceSide, files);
    emit sideTotalsShown(kTargetSide, files);
}

void ComparisonSession::OnFinished(const ComparisonOutcome& outcome) {
    busyCursor_.reset();  // the wait cursor takes over for the filling
    emit readingProgress(-1);
    TreeMatcher& matcher = comparison_.matcher();
    // The histories keep what was there; a typo or an unplugged drive is said, and not kept.
    std::string missing;
    for (const auto& [side, root, text] : {std::tuple{PathBar::Side::Source, &outcome.source, comparedTexts_[0]},
                                           std::tuple{PathBar::Side::Target, &outcome.target, comparedTexts_[1]}}) {
        if (root->state() == Root::State::Missing) {
            if (!missing.empty()) missing += '\n';
            missing += Format(side == PathBar::Side::Source ? Tr("Die Quelle %s Sie wird als leerer Ordner verglichen.")
                                                            : Tr("Das Ziel %s Es wird als leerer Ordner verglichen."),
                              root->MissingText());
        } else if (root->state() != Root::State::Unchecked) {
            pathBar_.UpdateHistory(side, text);
        }
    }
    // Stopped while the folders were read: nothing to show. Stopped while
    // contents were read: the engine went back to the comparison by time.
    // A root out of reach, or a listing cut short: no list that would show
    // its files as missing, and a warning that says why.
    const bool complete = outcome.rootProblem.empty() && !outcome.scanStopped;
    if (const std::string warning = operations_.ComparisonEnded(outcome.source, outcome.target, complete ? &matcher : nullptr);
        !warning.empty())
        prompts_->ShowWarning(warning);
    emit ended();
    if (!outcome.rootProblem.empty() && !outcome.scanStopped) {
        matcher.Clear();
        FillList();
        emit statusMessage(QTr("Vergleich abgebrochen."));
        prompts_->ShowWarning(outcome.rootProblem);
    } else if (outcome.scanStopped) {
        matcher.Clear();
        emit statusMessage(QTr("Vergleich abgebrochen."));
        FillList();
    } else {
        if (outcome.contentsStopped && verify_) {
            emit statusMessage(QTr("Prüfen abgebrochen: was gelesen ist, bleibt festgehalten; die Liste zeigt "
                                   "den Vergleich nach Änderungszeit."));
        } else if (outcome.contentsStopped) {
            emit statusMessage(QTr("Inhaltsvergleich abgebrochen: die Liste zeigt den Vergleich nach "
                                   "Änderungszeit."));
        } else if (verify_) {
            emit statusMessage(FromUtf8(verify_->Summary()));
        } else {
            emit statusMessage(noteAfterComparison_);
        }
        ShowComplete(std::move(missing));
    }
    noteAfterComparison_.clear();
    SetComparing(false);
    // Once the window is free again: what was found damaged, by name.
    if (verify_ && !outcome.scanStopped && outcome.rootProblem.empty()) WarnOfDamage();
    emit finished();
}

void ComparisonSession::ShowComplete(std::string missing) {
    TreeMatcher& matcher = comparison_.matcher();
    const WaitCursor wait;
    PlanShownResult();
    // What was not there or not readable is said first; the question for
    // a large result counts the rows that would be shown, not the pairs
    // (after a sync thousands of equal files stay hidden).
    // The unreadable places in the box the first time for the pair, then in the bar.
    if (!matcher.unknownPlaces().empty()) {
        const std::string places =
            UnknownPlacesWarning(matcher.unknownPlaces(), matcher.sourceRoot(), matcher.targetRoot());
        if (unreadableNamed_.emplace(matcher.sourceRoot(), matcher.targetRoot()).second) {
            if (!missing.empty()) missing += "\n\n";
            missing += places;
        } else {
            const size_t cut = places.find("\n\n");
            emit unreadablePlacesNoted(FromUtf8(places.substr(0, places.find_last_not_of('\n', cut) + 1)),
                                       cut == std::string::npos ? QString() : FromUtf8(places.substr(cut + 2)));
        }
    }
    if (!missing.empty()) prompts_->ShowWarning(missing);
    if (options_.ueber5000() && matcher.pairCount() > kLargeResult && ShownFileRows() > kLargeResult) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        if (!prompts_->AskOkCancel(Tr(kLargeResultQuestion))) {
            operations_.Drop();
            matcher.Clear();
        }
    }
    FillList();
    if (options_.beep()) prompts_->Beep(BeepKind::Done);
}

int64_t ComparisonSession::ShownFileRows() const {
    const ResultRows rows(comparison_.matcher(), displayFilter_, nullptr, operations_.plan(), Verified());
    const std::span<const ResultRows::RowRecord> records = rows.records();
    return std::count_if(records.begin(), records.end(), [](const ResultRows::RowRecord& row) { return row.pair >= 0; });
}

void ComparisonSession::FillList() {
    view_.Fill(comparison_.matcher(), displayFilter_, operations_.plan(), Verified());
}

void ComparisonSession::WarnOfDamage() {
    const VerifyResult& result = verify_->result();
    std::string text;
    if (result.storeError) text = result.storeError.message + "\n\n";
    const int damaged = result.count(VerifyState::Damaged);
    if (damaged > 0) {
        constexpr int kNamed = 10;
        text += Format(TrN("%d Datei ist beschädigt? (anderer Inhalt bei gleicher Größe und Zeit):\n",
                           "%d Dateien sind beschädigt? (anderer Inhalt bei gleicher Größe und Zeit):\n",
                           static_cast<uint64_t>(damaged)),
                       damaged);
        int named = 0;
        for (const VerifiedPath& path : result.paths) {
            if (path.state != VerifyState::Damaged) continue;
            if (named++ == kNamed) {
                text += Format(Tr("\n… und %d weitere."), damaged - kNamed);
                break;
            }
            text += "\n" + path.path + " (" + DamageText(path) + ")";
        }
    }
    if (!text.empty()) prompts_->ShowWarning(text);
}

void ComparisonSession::PlanShownResult() {
    const StoreError& error = operations_.planError();
    if (!error || error.kind == StoreError::Kind::Busy) return;
    if (options_.beep()) prompts_->Beep(BeepKind::Question);
    const std::string question = FileOperationController::AfreshQuestion(error);
    if (question.empty()) {
        prompts_->ShowWarning(error.message);
        return;
    }
    if (!prompts_->AskOkCancel(error.message + question)) return;
    std::string notice;
    if (const StoreError again = operations_.StartAfresh(comparison_.matcher(), &notice))
        prompts_->ShowWarning(again.message);
    else if (!notice.empty())
        emit statusMessage(FromUtf8(notice));
}

bool ComparisonSession::CompareAgainWithNote(const QString& note) {
    if (comparing_) return false;
    noteAfterComparison_ = note;
    Compare();
    if (comparing_) return true;
    noteAfterComparison_.clear();  // no comparison started: the note stands as it is
    if (!note.isEmpty()) emit statusMessage(note);
    return false;
}

bool ComparisonSession::LookAgainAfterRun(const QString& note) {
    if (comparing_ || pathBar_.text(PathBar::Side::Source) != comparedTexts_[0] ||
        pathBar_.text(PathBar::Side::Target) != comparedTexts_[1])
        return false;
    view_.Clear();  // no row may point at the pairs while they are made anew
    std::string warning;
    if (!operations_.LookAgainAfterRun(pathFilter_, comparison_.matcher(), warning)) return false;
    SetComparing(true);  // as a comparison: what the log has so far is the window's own
    busyCursor_.reset();
    if (!warning.empty()) prompts_->ShowWarning(warning);
    emit ended();
    emit statusMessage(note);
    ShowComplete({});
    SetComparing(false);
    emit finished();
    return true;
}

void ComparisonSession::CompareAgainIfShown() {
    if (view_.ShowsResult() && !comparison_.matcher().sourceRoot().empty()) Compare();
}

}  // namespace kirvo
