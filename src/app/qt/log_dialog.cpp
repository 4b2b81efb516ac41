#include "app/qt/log_dialog.h"
#include "platform/qt/qt_translation.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kirvo {

LogDialog::LogDialog(const QString& path, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QTr("Kirvo – Protokoll"));
    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(QTr("Protokoll: %1").arg(path), this);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("logText"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setTabStopDistance(text_->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        text_->setPlainText(QTr("Noch nichts protokolliert."));
    } else {
        QString prefix;
        if (file.size() > kShownBytes) {
            file.seek(file.size() - kShownBytes);
            file.readLine();  // from the next whole line on
            prefix = QTr("… (ältere Einträge stehen in der Datei)\n");
        }
        text_->setPlainText(prefix + QString::fromUtf8(file.readAll()));
    }
    layout->addWidget(text_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QTr("Schließen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 480);
    text_->moveCursor(QTextCursor::End);
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

}  // namespace kirvo
