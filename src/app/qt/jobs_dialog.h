#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

class QTreeWidget;
class QPushButton;

namespace kirvo {

struct Job;

// "Aufträge": the saved jobs, one per line with both folders, mode and
// direction, and when it runs by itself. "Öffnen" and "Ausführen" hand the
// job to the window (its settings; for a run also its mode, direction and
// deletion limit, shown as a plan to be synchronised there); "Zeitplan …" and
// "Löschen" go through kirvo-cli (schedule, job delete).
class JobsDialog : public QDialog {
    Q_OBJECT
public:
    explicit JobsDialog(QWidget* parent = nullptr);

    // One row per job: name, source, target, how it synchronises, when it runs by itself.
    QTreeWidget* list() const { return list_; }
    QPushButton* button(const QString& objectName) const;
    // kirvo-cli beside the program, else the one in PATH.
    static QString CliProgram();
    // How the job synchronises: "Spiegeln, Quelle → Ziel".
    static QString ModeText(const Job& job);

signals:
    void openRequested(const QString& name);
    void runRequested(const QString& name);

private:
    void Reload();
    QString SelectedName() const;
    void OnSchedule();
    void OnDelete();
    // Runs kirvo-cli with the arguments while a dialog says so ("Abbrechen"
    // stops it as SIGTERM does), then shows what it said.
    void RunCli(const QString& title, const QStringList& arguments);

    QTreeWidget* list_;
};

}  // namespace kirvo
