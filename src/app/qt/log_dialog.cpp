#include "app/qt/log_dialog.h"
#include "platform/qt/qt_translation.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "fileops/log_text.h"
#include "fileops/run_log.h"
#include "fileops/undo_texts.h"

namespace kirvo {
namespace {

QString Text(const std::string& bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

}  // namespace

LogDialog::LogDialog(const std::string& path, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QTr("Kirvo – Protokoll"));
    auto* layout = new QVBoxLayout(this);
    const QString shownPath = QString::fromLocal8Bit(path.c_str());
    auto* where = new QLabel(QTr("Protokoll: %1").arg(shownPath), this);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    runs_ = new QTreeWidget(splitter);
    runs_->setObjectName(QStringLiteral("runList"));
    runs_->setRootIsDecorated(false);
    runs_->setHeaderLabels({QTr("Zeit"), QTr("Befehl"), QTr("Quelle"),
                            QTr("Ziel"), QTr("Was geschah"), QTr("Rückgängig"),
                            QTr("Lauf")});
    fillRuns(path);

    text_ = new QPlainTextEdit(splitter);
    text_->setObjectName(QStringLiteral("logText"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setTabStopDistance(text_->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
    QFile file(shownPath);
    if (!file.open(QIODevice::ReadOnly)) {
        text_->setPlainText(QTr("Noch nichts protokolliert."));
    } else {
        QString prefix;
        if (file.size() > kShownBytes) {
            file.seek(file.size() - kShownBytes);
            file.readLine();  // from the next whole line on
            prefix = QTr("… (ältere Einträge stehen in der Datei)\n");
        }
        text_->setPlainText(prefix + Text(LogText::Shown(file.readAll().toStdString())));
    }
    layout->addWidget(splitter, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QTr("Schließen"));
    undo_ = buttons->addButton(QTr("Lauf rückgängig machen"), QDialogButtonBox::ActionRole);
    undo_->setObjectName(QStringLiteral("undoRun"));
    undo_->setEnabled(false);
    undo_->setAutoDefault(false);  // Enter closes, it never undoes
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(runs_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        undo_->setEnabled(item != nullptr && item->data(0, Qt::UserRole + 1).toBool());
    });
    connect(undo_, &QPushButton::clicked, this, [this] {
        if (const QTreeWidgetItem* item = runs_->currentItem()) {
            chosen_ = item->data(0, Qt::UserRole).toString().toStdString();
            accept();
        }
    });
    layout->addWidget(buttons);
    resize(900, 560);
    text_->moveCursor(QTextCursor::End);
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

void LogDialog::fillRuns(const std::string& path) {
    std::vector<LoggedRun> runs;
    std::string error;
    if (!RunLog::ReadRuns(path, runs, error)) {
        auto* item = new QTreeWidgetItem(runs_, {Text(error)});
        item->setFirstColumnSpanned(true);
        return;
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        const LoggedRun& run = *it;
        auto* item = new QTreeWidgetItem(
            runs_, {Text(UndoTexts::Time(run)), Text(UndoTexts::What(run)), Text(run.sourceRoot), Text(run.targetRoot),
                    Text(run.counts.text()), Text(UndoTexts::RunState(run)), Text(run.id)});
        item->setData(0, Qt::UserRole, Text(run.id));
        item->setData(0, Qt::UserRole + 1, run.undoable);
    }
    for (int c = 0; c < runs_->columnCount(); ++c) runs_->resizeColumnToContents(c);
}

}  // namespace kirvo
