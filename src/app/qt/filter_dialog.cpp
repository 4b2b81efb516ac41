#include "app/qt/filter_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "app/filter_settings.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QPlainTextEdit* PatternField(const std::vector<std::string>& patterns, const QString& name, QWidget* parent) {
    auto* field = new QPlainTextEdit(parent);
    field->setObjectName(name);
    field->setTabChangesFocus(true);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setPlainText(FromUtf8(FilterSettings::JoinLines(patterns)));
    return field;
}

}  // namespace

QString FilterDialog::HintHtml() {
    return QTr("Ein Muster je Zeile. <b>*</b> steht für beliebig viele Zeichen außer /, <b>?</b> für ein "
        "Zeichen, <b>[abc]</b> oder <b>[a-z]</b> für eines der Zeichen (<b>[!a-z]</b>: keines), "
        "<b>**</b> als ganzer Abschnitt für beliebig viele Ordner; <b>\\</b> nimmt das nächste "
        "Zeichen wörtlich. Ein Muster ohne / trifft Namen in jeder Tiefe, eines mit / den Pfad ab "
        "der Wurzel; ein / am Ende trifft nur Ordner. A bis Z gelten groß wie klein.<br>"
        "Eine Datei wird verglichen, wenn sie oder ein Ordner über ihr ein Muster unter "
        "<i>Einschließen</i> trifft und nichts unter <i>Ausschließen</i>; ausgeschlossene Ordner "
        "werden nicht gelesen. Dateien, die der Filter auslässt, werden nie kopiert oder gelöscht."
        "<br><br>Beispiele – Einschließen: <code>*.jpg</code> &nbsp;<code>Fotos/</code>"
        "<br>Ausschließen: <code>.git/</code> &nbsp;<code>node_modules/</code> &nbsp;<code>*.tmp</code> "
        "&nbsp;<code>~$*</code> &nbsp;<code>Thumbs.db</code> &nbsp;<code>/build/</code> "
        "&nbsp;<code>docs/**/*.pdf</code>");
}

FilterDialog::FilterDialog(const PathFilter& filter, QWidget* parent) : QDialog(parent), filter_(filter) {
    setObjectName(QStringLiteral("FilterDialog"));
    setWindowTitle(QTr("Filter"));
    include_ = PatternField(filter.includePatterns(), QStringLiteral("include"), this);
    exclude_ = PatternField(filter.excludePatterns(), QStringLiteral("exclude"), this);
    auto* includeLabel = new QLabel(QTr("&Einschließen:"), this);
    auto* excludeLabel = new QLabel(QTr("&Ausschließen:"), this);
    includeLabel->setBuddy(include_);
    excludeLabel->setBuddy(exclude_);
    auto* hint = new QLabel(HintHtml(), this);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setTextFormat(Qt::RichText);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QTr("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(includeLabel, 0, 0);
    layout->addWidget(excludeLabel, 0, 1);
    layout->addWidget(include_, 1, 0);
    layout->addWidget(exclude_, 1, 1);
    layout->addWidget(hint, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    resize(560, 440);
    include_->setFocus();
}

bool FilterDialog::ReadField(QPlainTextEdit* field, std::string_view where, std::vector<std::string>& patterns) {
    for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next()) {
        const QByteArray line = block.text().toUtf8();
        const std::string pattern(PathPattern::TrimLine(std::string_view(line.constData(), line.size())));
        if (pattern.empty()) continue;
        PathPattern compiled;
        std::string reason;
        if (PathPattern::Compile(pattern, compiled, reason)) {
            patterns.push_back(pattern);
            continue;
        }
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        field->setTextCursor(cursor);
        field->setFocus();
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        FromUtf8(PathFilter::InvalidPatternMessage(pattern, where, reason)), QMessageBox::Ok, this);
        box.exec();
        return false;
    }
    return true;
}

void FilterDialog::accept() {
    std::vector<std::string> include, exclude;
    if (!ReadField(include_, PathFilter::kInIncludeList, include) ||
        !ReadField(exclude_, PathFilter::kInExcludeList, exclude))
        return;
    std::string error;
    if (!PathFilter::Create(include, exclude, filter_, error)) return;  // each pattern was checked above
    QDialog::accept();
}

}  // namespace kirvo
