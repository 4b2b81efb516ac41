#include "view/qt/file_diff_dialog.h"
#include "platform/qt/qt_translation.h"
#include "platform/value_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>

namespace kirvo {
namespace {

const QColor kRemoved(255, 218, 218);
const QColor kAdded(214, 244, 214);
const QColor kFiller(234, 234, 234);

// One text as an editor shows it, with the lines to colour.
struct Pane {
    QStringList lines;
    QList<QPair<int, QColor>> colours;

    void Add(const QString& line, const QColor& colour = QColor()) {
        if (colour.isValid()) colours.append({static_cast<int>(lines.size()), colour});
        lines << line;
    }
};

QString Number(size_t line) { return QStringLiteral("%1").arg(line + 1, 6); }
QString Blank() { return QString(6, u' '); }
QString Text(const std::string& line) { return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())); }
QString Bytes(uint64_t count) { return QString::fromStdString(CountText(count)); }

QString Folded(size_t count) {
    return QTrN("⋯ %1 gleiche Zeile ⋯", "⋯ %1 gleiche Zeilen ⋯", count).arg(count);
}

// Which lines of an equal run are shown: all, or the context after the
// change before it and before the change after it, with the rest folded.
struct Shown {
    size_t head = 0;
    size_t folded = 0;
    size_t tail = 0;
};

Shown Fold(const DiffBlock& block, bool first, bool last, bool all) {
    const size_t count = block.leftCount;
    const size_t head = first ? 0 : FileDiffDialog::kContext;
    const size_t tail = last ? 0 : FileDiffDialog::kContext;
    if (all || count <= head + tail + 1) return {count, 0, 0};
    return {head, count - head - tail, tail};
}

void SideBySide(const FileDifference& d, bool all, Pane& left, Pane& right) {
    const std::vector<DiffBlock>& blocks = d.lines.blocks;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const DiffBlock& block = blocks[b];
        if (block.equal) {
            const Shown shown = Fold(block, b == 0, b + 1 == blocks.size(), all);
            const auto equalLine = [&](size_t i) {
                left.Add(Number(block.leftStart + i) + u' ' + Text(d.left.lines[block.leftStart + i]));
                right.Add(Number(block.rightStart + i) + u' ' + Text(d.right.lines[block.rightStart + i]));
            };
            for (size_t i = 0; i < shown.head; ++i) equalLine(i);
            if (shown.folded > 0) {
                left.Add(Blank() + u' ' + Folded(shown.folded), kFiller);
                right.Add(Blank() + u' ' + Folded(shown.folded), kFiller);
            }
            for (size_t i = block.leftCount - shown.tail; i < block.leftCount; ++i) equalLine(i);
            continue;
        }
        const size_t rows = std::max(block.leftCount, block.rightCount);
        for (size_t i = 0; i < rows; ++i) {
            if (i < block.leftCount) {
                left.Add(Number(block.leftStart + i) + u' ' + Text(d.left.lines[block.leftStart + i]), kRemoved);
            } else {
                left.Add(QString(), kFiller);
            }
            if (i < block.rightCount) {
                right.Add(Number(block.rightStart + i) + u' ' + Text(d.right.lines[block.rightStart + i]), kAdded);
            } else {
                right.Add(QString(), kFiller);
            }
        }
    }
}

void Unified(const FileDifference& d, bool all, Pane& pane) {
    const std::vector<DiffBlock>& blocks = d.lines.blocks;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const DiffBlock& block = blocks[b];
        if (block.equal) {
            const Shown shown = Fold(block, b == 0, b + 1 == blocks.size(), all);
            const auto equalLine = [&](size_t i) {
                pane.Add(Number(block.leftStart + i) + Number(block.rightStart + i) + QStringLiteral("   ") +
                         Text(d.left.lines[block.leftStart + i]));
            };
            for (size_t i = 0; i < shown.head; ++i) equalLine(i);
            if (shown.folded > 0) pane.Add(Blank() + Blank() + QStringLiteral("   ") + Folded(shown.folded), kFiller);
            for (size_t i = block.leftCount - shown.tail; i < block.leftCount; ++i) equalLine(i);
            continue;
        }
        for (size_t i = 0; i < block.leftCount; ++i) {
            pane.Add(Number(block.leftStart + i) + Blank() + QStringLiteral(" - ") +
                         Text(d.left.lines[block.leftStart + i]),
                     kRemoved);
        }
        for (size_t i = 0; i < block.rightCount; ++i) {
            pane.Add(Blank() + Number(block.rightStart + i) + QStringLiteral(" + ") +
                         Text(d.right.lines[block.rightStart + i]),
                     kAdded);
        }
    }
}

void Show(QPlainTextEdit* editor, const Pane& pane) {
    editor->setPlainText(pane.lines.join(u'\n'));
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(pane.colours.size());
    for (const auto& [line, colour] : pane.colours) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(editor->document()->findBlockByNumber(line));
        selection.format.setBackground(colour);
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selections.append(selection);
    }
    editor->setExtraSelections(selections);
}

QPlainTextEdit* MakeEditor(QWidget* parent, const QString& name) {
    auto* editor = new QPlainTextEdit(parent);
    editor->setObjectName(name);
    editor->setReadOnly(true);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return editor;
}

}  // namespace

FileDiffDialog::FileDiffDialog(const QString& leftPath, const QString& rightPath, const QString& leftName,
                               const QString& rightName, std::shared_ptr<void> keep, QWidget* parent)
    : QDialog(parent), keep_(std::move(keep)) {
    setObjectName(QStringLiteral("FileDiffDialog"));
    setWindowTitle(QTr("Kirvo – Dateien vergleichen"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    auto* names = new QHBoxLayout;
    for (const QString& name : {QTr("Quelle: %1").arg(leftName), QTr("Ziel: %1").arg(rightName)}) {
        auto* label = new QLabel(name, this);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
        names->addWidget(label, 1);
    }
    layout->addLayout(names);

    auto* choices = new QHBoxLayout;
    sideBySide_ = new QRadioButton(QTr("&Nebeneinander"), this);
    unified_ = new QRadioButton(QTr("&Untereinander"), this);
    allLines_ = new QCheckBox(QTr("&Alle Zeilen"), this);
    sideBySide_->setChecked(true);
    summary_ = new QLabel(QTr("Lese die Dateien …"), this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    choices->addWidget(sideBySide_);
    choices->addWidget(unified_);
    choices->addWidget(allLines_);
    choices->addSpacing(16);
    choices->addWidget(summary_, 1);
    layout->addLayout(choices);

    pages_ = new QStackedWidget(this);
    auto* sides = new QWidget(pages_);
    auto* sidesLayout = new QHBoxLayout(sides);
    sidesLayout->setContentsMargins(0, 0, 0, 0);
    left_ = MakeEditor(sides, QStringLiteral("left"));
    right_ = MakeEditor(sides, QStringLiteral("right"));
    sidesLayout->addWidget(left_);
    sidesLayout->addWidget(right_);
    // Both sides have the same lines: they scroll together.
    for (auto [from, to] : {std::pair{left_, right_}, std::pair{right_, left_}}) {
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(), &QScrollBar::setValue);
        connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, to->horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    single_ = MakeEditor(pages_, QStringLiteral("unified"));
    binary_ = new QLabel(pages_);
    binary_->setObjectName(QStringLiteral("binary"));
    binary_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    binary_->setTextFormat(Qt::PlainText);
    binary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pages_->addWidget(sides);
    pages_->addWidget(single_);
    pages_->addWidget(binary_);
    layout->addWidget(pages_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QTr("Schließen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (QAbstractButton* choice : {static_cast<QAbstractButton*>(sideBySide_), static_cast<QAbstractButton*>(unified_),
                                    static_cast<QAbstractButton*>(allLines_)}) {
        connect(choice, &QAbstractButton::toggled, this, &FileDiffDialog::Render);
    }
    QSize size(1000, 640);
    if (const QScreen* screen = parent ? parent->screen() : nullptr)
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);

    const std::string leftFile = QFile::encodeName(leftPath).toStdString();
    const std::string rightFile = QFile::encodeName(rightPath).toStdString();
    reader_ = std::thread([this, leftFile, rightFile] {
        auto result = std::make_shared<FileDifference>(FileDifference::Compare(leftFile, rightFile, &stop_));
        QMetaObject::invokeMethod(this, [this, result] { OnCompared(result); }, Qt::QueuedConnection);
    });
}

FileDiffDialog::~FileDiffDialog() {
    stop_ = true;
    reader_.join();  // its queued result goes with this object
}

void FileDiffDialog::OnCompared(std::shared_ptr<FileDifference> result) {
    result_ = std::move(result);
    Render();
    emit shown();
}

void FileDiffDialog::Render() {
    if (!result_) return;
    const FileDifference& d = *result_;
    if (!d.readable()) {
        const bool leftFailed = !d.left.error.empty();
        const FileDifference::Side& side = leftFailed ? d.left : d.right;
        summary_->setText(QTr("„%1“ kann nicht gelesen werden: %2")
                              .arg(QFile::decodeName(side.path.c_str()), Text(side.error)));
        binary_->setText(summary_->text());
        pages_->setCurrentWidget(binary_);
        return;
    }
    if (d.binary) {
        RenderBinary();
        return;
    }
    const bool all = allLines_->isChecked();
    if (unified_->isChecked()) {
        Pane pane;
        Unified(d, all, pane);
        Show(single_, pane);
        pages_->setCurrentWidget(single_);
    } else {
        Pane left, right;
        SideBySide(d, all, left, right);
        Show(left_, left);
        Show(right_, right);
        pages_->setCurrentIndex(0);
    }
    const auto changes = std::count_if(d.lines.blocks.begin(), d.lines.blocks.end(),
                                       [](const DiffBlock& b) { return !b.equal; });
    QString text = changes == 0   ? QTr("Die Dateien sind gleich.")
                                  : QTrN("%1 Unterschied.", "%1 Unterschiede.", changes).arg(changes);
    if (d.left.cut || d.right.cut) {
        text += u' ' + QTr("Verglichen sind nur die ersten %1 MiB jeder Datei.")
                           .arg(FileDifference::kMaxTextBytes >> 20);
    }
    if (d.lines.gaveUp) text += u' ' + QTr("Zu viele Unterschiede: der geänderte Bereich ist als Ganzes markiert.");
    summary_->setText(text);
}

void FileDiffDialog::RenderBinary() {
    const FileDifference& d = *result_;
    for (QWidget* choice : {static_cast<QWidget*>(sideBySide_), static_cast<QWidget*>(unified_),
                            static_cast<QWidget*>(allLines_)})
        choice->hide();
    QString verdict;
    if (d.firstDifference) {
        verdict = QTr("Der erste Unterschied liegt bei Byte %1 (0x%2).")
                      .arg(Bytes(*d.firstDifference))
                      .arg(static_cast<qulonglong>(*d.firstDifference), 0, 16);
    } else if (d.binaryCut) {
        verdict = QTr("Die ersten %1 MiB sind gleich; der Rest wurde nicht verglichen.")
                      .arg(FileDifference::kMaxBinaryBytes >> 20);
    } else {
        verdict = QTr("Die Dateien sind gleich.");
    }
    summary_->setText(QTr("Binärdateien. ") + verdict);
    binary_->setText(QTr("Binärdateien\n\nQuelle: %1 Bytes\nZiel: %2 Bytes\n\n%3")
                         .arg(Bytes(d.left.size), Bytes(d.right.size), verdict));
    pages_->setCurrentWidget(binary_);
}

QString FileDiffDialog::leftText() const { return left_->toPlainText(); }
QString FileDiffDialog::rightText() const { return right_->toPlainText(); }
QString FileDiffDialog::unifiedText() const { return single_->toPlainText(); }
QString FileDiffDialog::summary() const { return summary_->text(); }

}  // namespace kirvo
