#include "app/qt/about_dlg.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QTextDocument>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/about_text.h"
#include "app/version_info.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QTr("Info über Kirvo"));
    auto* layout = new QGridLayout(this);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/icons/kirvo.svg")).pixmap(32, 32));
    icon->setFixedSize(40, 40);
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("field1015"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The text's line ends are "\r\n"; the field shows lines.
    text_->setPlainText(QString::fromStdString(BuildAboutText(VersionInfo::Program()))
                            .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const QFontMetrics metrics(text_->font());
    const int frame = 2 * (text_->frameWidth() + static_cast<int>(text_->document()->documentMargin()));
    text_->setFixedSize(metrics.horizontalAdvance(QStringLiteral("Copyright © 2026 Orvane, alle Rechte")) + frame,
                        metrics.lineSpacing() * 7 + frame + 4);  // six lines and the empty one after the last line end
    layout->addWidget(text_, 0, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

}  // namespace kirvo
