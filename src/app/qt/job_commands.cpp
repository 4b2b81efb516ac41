#include "app/qt/job_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include "app/job_plan.h"
#include "app/job_settings.h"
#include "app/job_store.h"
#include "app/qt/jobs_dialog.h"
#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "platform/root.h"
#include "app/qt/window_controller.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A field's path as a job keeps it: a local one absolute and clean.
std::string JobPath(const QString& field) {
    const std::string text = field.toStdString();
    if (const std::optional<Root> root = Root::Parse(text); !root || root->remote()) return text;
    return QDir::cleanPath(QFileInfo(field).absoluteFilePath()).toStdString();
}

}  // namespace

void JobCommands::SaveJob(CMainFrame& frame) {
    WindowController& window = *frame.controller();
    const QString source = frame.pathBar()->text(PathBar::Side::Source).trimmed();
    const QString target = frame.pathBar()->text(PathBar::Side::Target).trimmed();
    if (source.isEmpty() || target.isEmpty()) {
        QMessageBox::information(&frame, QTr("Auftrag speichern"),
                                 QTr("Bitte zuerst Quelle und Ziel angeben."));
        return;
    }
    const JobStore store;
    QString name;
    for (;;) {
        bool ok = false;
        name = QInputDialog::getText(&frame, QTr("Auftrag speichern"),
                                     QTr("Name des Auftrags (A-Z, a-z, 0-9, -, _ und .):"), QLineEdit::Normal,
                                     name, &ok)
                   .trimmed();
        if (!ok) return;
        const std::string text = name.toStdString();
        if (!Job::IsValidName(text)) {
            QMessageBox::warning(&frame, QTr("Auftrag speichern"), FromUtf8(Job::InvalidNameMessage(text)));
            continue;
        }
        if (!store.Exists(text) ||
            QMessageBox::question(&frame, QTr("Auftrag speichern"),
                                  QTr("Den Auftrag „%1“ gibt es schon. Ersetzen?").arg(name)) ==
                QMessageBox::Yes)
            break;
    }
    Job job = JobSettings::FromWindow(name.toStdString(), JobPath(source), JobPath(target), window.options(),
                                      window.pathFilter());
    Job old;
    std::string error;
    std::vector<std::string> warnings;
    if (store.Load(job.name, old, error, warnings)) {  // a schedule set up before stays
        job.every = old.every;
        job.whenMounted = old.whenMounted;
    }
    if (!store.Save(job, error)) {
        QMessageBox::warning(&frame, QTr("Auftrag speichern"), FromUtf8(error));
        return;
    }
    QMessageBox::information(&frame, QTr("Auftrag speichern"),
                             QTr("Auftrag „%1“ gespeichert: %2\n\nUnter Extras › Aufträge lässt er sich "
                                            "öffnen, ausführen und von selbst laufen lassen.")
                                 .arg(name, FromUtf8(store.PathOf(job.name))));
}

void JobCommands::ShowJobs(CMainFrame& frame) {
    JobsDialog dialog(&frame);
    QObject::connect(&dialog, &JobsDialog::openRequested, &frame, [&frame, &dialog](const QString& name) {
        QString error;
        if (!OpenJob(frame, name, error)) {
            QMessageBox::warning(&dialog, QTr("Aufträge"), error);
            return;
        }
        dialog.accept();
        frame.OnCommand(CommandId::PfadeVergleichen);
    });
    QObject::connect(&dialog, &JobsDialog::runRequested, &frame, [&frame, &dialog](const QString& name) {
        QString error;
        dialog.accept();  // the window shows the run's plan
        if (!RunJob(frame, name, error)) QMessageBox::warning(&frame, QTr("Aufträge"), error);
    });
    dialog.exec();
}

bool JobCommands::OpenJob(CMainFrame& frame, const QString& name, QString& error) {
    Job job;
    std::string message;
    std::vector<std::string> warnings;
    if (!JobStore().Load(name.toStdString(), job, message, warnings)) {
        error = FromUtf8(message);
        return false;
    }
    return ApplyJob(frame, job, error);
}

bool JobCommands::RunJob(CMainFrame& frame, const QString& name, QString& error) {
    Job job;
    std::string message;
    std::vector<std::string> warnings;
    JobPlan plan;
    if (!JobStore().Load(name.toStdString(), job, message, warnings) || !JobPlan::Of(job, plan, message)) {
        error = FromUtf8(message);
        return false;
    }
    if (!ApplyJob(frame, job, error, false)) return false;
    frame.controller()->CompareJob(
        std::move(plan), QTr("Auftrag „%1“ (%2): die Liste zeigt, was er tut; „Dateien abgleichen“ führt ihn aus.")
                             .arg(name, JobsDialog::ModeText(job)));
    frame.UpdateCommandUi();
    return true;
}

bool JobCommands::ApplyJob(CMainFrame& frame, const Job& job, QString& error, bool mode) {
    WindowController& window = *frame.controller();
    if (window.comparing()) {
        error = QTr("Während des Vergleichs lässt sich kein Auftrag öffnen.");
        return false;
    }
    AppOptions options = window.options();
    PathFilter filter;
    std::string message;
    if (!JobSettings::ToWindow(job, options, filter, message, mode)) {
        error = FromUtf8(message);
        return false;
    }
    window.options() = options;
    window.fileOperations().setJobPlan(std::nullopt);  // a job opened is the window's own pair
    window.setPathFilter(filter);
    frame.pathBar()->setText(PathBar::Side::Source, FromUtf8(job.source));
    frame.pathBar()->setText(PathBar::Side::Target, FromUtf8(job.target));
    frame.UpdateCommandUi();
    return true;
}

}  // namespace kirvo
