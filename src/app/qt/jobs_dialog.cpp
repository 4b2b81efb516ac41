#include "app/qt/jobs_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/job_store.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

// How the job synchronises: its mode, and its direction where it has one.
QString JobsDialog::ModeText(const Job& job) {
    const char* mode = job.mode == SyncMode::Mirror   ? TrNoop("Spiegeln")
                       : job.mode == SyncMode::TwoWay ? TrNoop("In beide Richtungen mit Gedächtnis")
                                                      : TrNoop("Neuere kopieren");
    // Mirroring always goes one way, to the target unless told otherwise.
    const char* direction = job.direction == Job::Direction::ToSource ? TrNoop("Ziel → Quelle")
                            : job.direction == Job::Direction::ToTarget || job.mode == SyncMode::Mirror
                                ? TrNoop("Quelle → Ziel")
                                : nullptr;
    return direction ? QTr("%1, %2").arg(QTr(mode), QTr(direction)) : QTr(mode);
}

namespace {

// The schedule choices and their values for --every.
struct Every {
    const char* text;
    const char* value;  // "" none, nullptr: a calendar value of one's own
};
constexpr Every kEvery[] = {
    {TrNoop("kein Zeitplan"), ""}, {TrNoop("stündlich"), "hourly"}, {TrNoop("täglich"), "daily"}, {TrNoop("wöchentlich"), "weekly"},
    {TrNoop("eigener Kalenderausdruck:"), nullptr},
};

// When the job runs by itself, in words where the schedule is one of ours.
QString When(const Job& job) {
    QStringList when;
    if (!job.every.empty()) {
        QString every = FromUtf8(job.every);
        for (const Every& e : kEvery)
            if (e.value && *e.value && job.every == e.value) every = QTr(e.text);
        when << every;
    }
    if (!job.whenMounted.empty()) when << QTr("beim Einhängen von %1").arg(FromUtf8(job.whenMounted));
    return when.join(QStringLiteral(", "));
}

}  // namespace

JobsDialog::JobsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("JobsDialog"));
    setWindowTitle(QTr("Aufträge"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("jobs"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels(
        {QTr("Name"), QTr("Quelle"), QTr("Ziel"), QTr("Abgleich"), QTr("Läuft von selbst"), QTr("Letzter Lauf")});
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    const std::pair<const char*, const char*> buttons[] = {
        {"open", Tr("Ö&ffnen")}, {"run", Tr("&Ausführen")}, {"schedule", Tr("&Zeitplan...")}, {"delete", Tr("&Löschen")}};
    for (const auto& [name, text] : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    row->addStretch();
    auto* close = new QPushButton(QTr("Schließen"), this);
    close->setObjectName(QStringLiteral("close"));
    row->addWidget(close);
    layout->addLayout(row);
    connect(button(QStringLiteral("open")), &QPushButton::clicked, this, [this] {
        if (const QString name = SelectedName(); !name.isEmpty()) emit openRequested(name);
    });
    connect(list_, &QTreeWidget::itemActivated, this, [this] {
        if (const QString name = SelectedName(); !name.isEmpty()) emit openRequested(name);
    });
    connect(button(QStringLiteral("run")), &QPushButton::clicked, this, [this] {
        if (const QString name = SelectedName(); !name.isEmpty()) emit runRequested(name);
    });
    connect(button(QStringLiteral("schedule")), &QPushButton::clicked, this, &JobsDialog::OnSchedule);
    connect(button(QStringLiteral("delete")), &QPushButton::clicked, this, &JobsDialog::OnDelete);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(900, 320);
    Reload();
}

QPushButton* JobsDialog::button(const QString& objectName) const { return findChild<QPushButton*>(objectName); }

QString JobsDialog::CliProgram() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kirvo-cli"));
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("kirvo-cli");
}

void JobsDialog::Reload() {
    const QString selected = SelectedName();
    list_->clear();
    const JobStore store;
    std::string unread;
    for (const std::string& name : store.Names(&unread)) {
        Job job;
        std::string error;
        std::vector<std::string> warnings;
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, FromUtf8(name));
        if (store.Load(name, job, error, warnings)) {
            item->setText(1, FromUtf8(job.source));
            item->setText(2, FromUtf8(job.target));
            item->setText(3, ModeText(job));
            item->setText(4, When(job));
            item->setText(5, FromUtf8(JobStore::LastRun(name)));
            item->setToolTip(5, item->text(5));
        } else {
            item->setText(1, QTr("ungültig: %1").arg(FromUtf8(error)));
        }
        item->setData(0, Qt::UserRole, FromUtf8(name));
        if (FromUtf8(name) == selected || list_->topLevelItemCount() == 1) list_->setCurrentItem(item);
    }
    const QString empty = !unread.empty() ? FromUtf8(unread)
                          : list_->topLevelItemCount() == 0
                              ? QTr("Noch keine Aufträge – Extras › Auftrag speichern... legt einen an.")
                              : QString();
    if (!empty.isEmpty()) {
        auto* none = new QTreeWidgetItem(list_, {empty});
        none->setFirstColumnSpanned(true);
    }
    for (int column = 0; column < list_->columnCount(); ++column) list_->resizeColumnToContents(column);
    for (const char* name : {"open", "run", "schedule", "delete"}) button(QString::fromLatin1(name))->setEnabled(!store.Names().empty());
}

QString JobsDialog::SelectedName() const {
    const QTreeWidgetItem* item = list_ ? list_->currentItem() : nullptr;
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void JobsDialog::RunCli(const QString& title, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProgressDialog busy(QStringLiteral("%1 …").arg(title), QTr("Abbrechen"), 0, 0, this);
    busy.setWindowTitle(QTr("Aufträge"));
    busy.setMinimumDuration(300);
    connect(&busy, &QProgressDialog::canceled, &process, &QProcess::terminate);
    connect(&process, &QProcess::finished, &busy, &QProgressDialog::reset);
    process.start(CliProgram(), arguments);
    if (!process.waitForStarted()) {
        QMessageBox::warning(this, title, QTr("kirvo-cli lässt sich nicht starten: %1").arg(process.errorString()));
        return;
    }
    busy.exec();
    process.waitForFinished(-1);
    const QString output = QString::fromUtf8(process.readAll()).trimmed();
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    QMessageBox box(ok ? QMessageBox::Information : QMessageBox::Warning, title,
                    output.isEmpty() ? QTr("Fertig.") : output, QMessageBox::Ok, this);
    box.exec();
    Reload();
}

void JobsDialog::OnSchedule() {
    const QString name = SelectedName();
    Job job;
    std::string error;
    std::vector<std::string> warnings;
    if (name.isEmpty() || !JobStore().Load(name.toStdString(), job, error, warnings)) return;

    QDialog dialog(this);
    dialog.setWindowTitle(QTr("Zeitplan für „%1“").arg(name));
    auto* form = new QFormLayout(&dialog);
    auto* every = new QComboBox(&dialog);
    every->setObjectName(QStringLiteral("every"));
    auto* calendar = new QLineEdit(&dialog);
    calendar->setObjectName(QStringLiteral("calendar"));
    calendar->setPlaceholderText(QTr("etwa Mon..Fri 18:00"));
    for (const Every& e : kEvery) every->addItem(QTr(e.text));
    int chosen = job.every.empty() ? 0 : static_cast<int>(std::size(kEvery)) - 1;
    for (int i = 1; i + 1 < static_cast<int>(std::size(kEvery)); ++i)
        if (job.every == kEvery[i].value) chosen = i;
    every->setCurrentIndex(chosen);
    if (chosen == every->count() - 1) calendar->setText(FromUtf8(job.every));
    calendar->setEnabled(chosen == every->count() - 1);
    connect(every, &QComboBox::currentIndexChanged, calendar, [every, calendar](int i) { calendar->setEnabled(i == every->count() - 1); });
    auto* mounted = new QCheckBox(QTr("Starten, sobald der Datenträger eingehängt wird (USB-Stick)"), &dialog);
    mounted->setObjectName(QStringLiteral("whenMounted"));
    mounted->setChecked(!job.whenMounted.empty());
    form->addRow(QTr("Läuft:"), every);
    form->addRow(QString(), calendar);
    form->addRow(QString(), mounted);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QTr("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return;

    const Every& picked = kEvery[every->currentIndex()];
    const QString value = picked.value ? QString::fromUtf8(picked.value) : calendar->text().trimmed();
    QStringList arguments = {QStringLiteral("schedule"), name};
    if (value.isEmpty() && !mounted->isChecked()) {
        arguments << QStringLiteral("--off");
    } else {
        if (!value.isEmpty()) arguments << QStringLiteral("--every=%1").arg(value);
        if (mounted->isChecked()) arguments << QStringLiteral("--when-mounted");
    }
    RunCli(QTr("Zeitplan für „%1“").arg(name), arguments);
}

void JobsDialog::OnDelete() {
    const QString name = SelectedName();
    if (name.isEmpty() ||
        QMessageBox::question(this, QTr("Aufträge"),
                              QTr("Den Auftrag „%1“ samt Zeitplan löschen? Die Ordner bleiben, wie sie sind.").arg(name)) !=
            QMessageBox::Yes)
        return;
    RunCli(QTr("Auftrag „%1“ löschen").arg(name), {QStringLiteral("job"), QStringLiteral("delete"), name});
}

}  // namespace kirvo
