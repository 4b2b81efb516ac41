#include "app/qt/about_dlg.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/about_text.h"
#include "app/version_info.h"

namespace kirvo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Info über Kirvo"));
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
    text_->setMinimumSize(300, 110);
    layout->addWidget(text_, 0, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    ok->setFocus();
}

}  // namespace kirvo
