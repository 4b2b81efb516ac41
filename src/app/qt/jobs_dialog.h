#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

class QTreeWidget;
class QPushButton;

namespace kirvo {

// "Aufträge": the saved jobs, one per line with both folders, mode and
// direction, and when it runs by itself. "Öffnen" hands the job to the window; "Ausführen",
// "Zeitplan …" and "Löschen" go through kirvo-cli (run, schedule, job
// delete), so a run from here has every guard of one from the terminal.
class JobsDialog : public QDialog {
    Q_OBJECT
public:
    explicit JobsDialog(QWidget* parent = nullptr);

    // One row per job: name, source, target, how it synchronises, when it runs by itself.
    QTreeWidget* list() const { return list_; }
    QPushButton* button(const QString& objectName) const;
    // kirvo-cli beside the program, else the one in PATH.
    static QString CliProgram();

signals:
    void openRequested(const QString& name);

private:
    void Reload();
    QString SelectedName() const;
    void OnRun();
    void OnSchedule();
    void OnDelete();
    // Runs kirvo-cli with the arguments while a dialog says so ("Abbrechen"
    // stops it as SIGTERM does), then shows what it said.
    void RunCli(const QString& title, const QStringList& arguments);

    QTreeWidget* list_;
};

}  // namespace kirvo
