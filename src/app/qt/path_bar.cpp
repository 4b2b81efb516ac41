#include "app/qt/path_bar.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QValidator>
#include <limits>

#include "app/profile_store.h"
#include "app/qt/folder_drop.h"
#include "platform/path_limits.h"
#include "platform/root.h"
#include "platform/snapshot/snapshot_format.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Typing and pasting stop where the path would no longer fit the system,
// counted in the bytes it is handed to the system as. A path set by the
// program is not validated, so it stays whole; the comparison says when it
// is too long.
class PathLengthValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        return static_cast<size_t>(QFile::encodeName(input).size()) <= kMaxPathBytes ? Acceptable : Invalid;
    }
};

QComboBox* MakePathField(QWidget* parent, const QString& name, const QString& prompt) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);  // the list changes only on comparison
    combo->setCompleter(nullptr);                 // paths stay exactly as typed
    combo->setMaxVisibleItems(10);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    combo->setMinimumContentsLength(30);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());  // never cut what is set
    combo->setValidator(new PathLengthValidator(combo));
    combo->setStatusTip(prompt);
    combo->lineEdit()->setStatusTip(prompt);
    return combo;
}

QToolButton* MakeBrowseButton(QWidget* parent, const QString& name, const QString& prompt,
                              const QString& toolTip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(QStringLiteral("..."));
    button->setStatusTip(prompt);
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// "snapshot:" and the file.
QString SnapshotText(const QString& file) {
    return QLatin1String(Root::kSnapshotPrefix.data(), Root::kSnapshotPrefix.size()) + file;
}

}  // namespace

PathBar::PathBar(QWidget* parent) : QToolBar(QTr("Pfade"), parent) {
    setObjectName(QStringLiteral("PathBar"));
    setAllowedAreas(Qt::AllToolBarAreas);
    auto* content = new QWidget(this);
    content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* layout = new QGridLayout(content);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(2);

    auto* sourceLabel = new QLabel(QTr("Quelle :"), content);
    sourceLabel->setObjectName(QStringLiteral("label1007"));
    auto* targetLabel = new QLabel(QTr("Ziel :"), content);
    targetLabel->setObjectName(QStringLiteral("label1008"));
    source_.combo = MakePathField(content, QStringLiteral("path1001"), QTr("Quelle eingeben"));
    target_.combo = MakePathField(content, QStringLiteral("path1002"), QTr("Ziel eingeben"));
    source_.button = MakeBrowseButton(content, QStringLiteral("browse1003"),
                                      QTr("Zeigt ein Dialogfeld zum auswählen vom Quellpfad an."),
                                      QTr("Quelle wählen"));
    target_.button = MakeBrowseButton(content, QStringLiteral("browse1004"),
                                      QTr("Zeigt ein Dialogfeld zum auswählen vom Zielpfad an."),
                                      QTr("Ziel wählen"));
    sourceLabel->setBuddy(source_.combo);
    targetLabel->setBuddy(target_.combo);

    layout->addWidget(sourceLabel, 0, 0);
    layout->addWidget(source_.combo, 0, 1);
    layout->addWidget(source_.button, 0, 2);
    layout->addWidget(targetLabel, 1, 0);
    layout->addWidget(target_.combo, 1, 1);
    layout->addWidget(target_.button, 1, 2);
    layout->setColumnStretch(1, 1);
    addWidget(content);

    // Tab goes from each field to its "...", then to the next field.
    setTabOrder(source_.combo, source_.button);
    setTabOrder(source_.button, target_.combo);
    setTabOrder(target_.combo, target_.button);
    // What an empty field is for.
    source_.combo->lineEdit()->setPlaceholderText(
        QTr("Quellordner: Pfad eingeben, hierher ziehen oder mit „...“ wählen"));
    target_.combo->lineEdit()->setPlaceholderText(
        QTr("Zielordner: Pfad eingeben, hierher ziehen oder mit „...“ wählen"));

    for (const Side side : {Side::Source, Side::Target}) {
        QToolButton* button = field(side).button;
        auto* menu = new QMenu(button);
        QAction* open = menu->addAction(QTr("Schnappschuss öffnen …"));
        open->setObjectName(side == Side::Source ? QStringLiteral("openSnapshot1003") : QStringLiteral("openSnapshot1004"));
        connect(open, &QAction::triggered, this, [this, side] { OpenSnapshot(side); });
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(source_.button, &QToolButton::clicked, this,
            [this] { emit commandRequested(CommandId::BrowseSource); });
    connect(target_.button, &QToolButton::clicked, this,
            [this] { emit commandRequested(CommandId::BrowseTarget); });
    // The combo box is its line edit's focus proxy, so keys arrive at the box,
    // which hands them on to the line edit directly: Return is taken at the
    // box. Drops arrive at the line edit, the widget under the pointer.
    for (QComboBox* combo : {source_.combo, target_.combo}) {
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    chooser_ = &PathBar::ChooseFolderWithDialog;
    snapshotChooser_ = &PathBar::ChooseSnapshotWithDialog;
}

bool PathBar::eventFilter(QObject* watched, QEvent* event) {
    // A folder dropped from a file manager arrives as a URL; the field takes
    // its local path instead of the "file://" text. Two folders fill both
    // fields, the first the source, whichever field they were dropped on.
    const QEvent::Type type = event->type();
    const bool onEdit = qobject_cast<QLineEdit*>(watched) != nullptr;
    if (onEdit && (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QList<QUrl> urls = drop->mimeData()->urls();
        const QStringList folders = DroppedFolders(drop->mimeData());
        if (folders.size() == 2) {
            drop->acceptProposedAction();
            if (type == QEvent::Drop) {
                setText(Side::Source, folders[0]);
                setText(Side::Target, folders[1]);
            }
            return true;
        }
        if (!urls.isEmpty() && urls.first().isLocalFile()) {
            drop->acceptProposedAction();
            if (type == QEvent::Drop) {
                // A snapshot dropped is taken as one.
                const QString file = QDir::toNativeSeparators(urls.first().toLocalFile());
                const bool snapshot = file.endsWith(QLatin1String(snapshot_format::kExtension));
                static_cast<QLineEdit*>(watched)->setText(snapshot ? SnapshotText(file) : file);
            }
            return true;
        }
    }
    if (onEdit && type == QEvent::ContextMenu && !contextActions_.isEmpty()) {
        auto* lineEdit = static_cast<QLineEdit*>(watched);
        QMenu* menu = lineEdit->createStandardContextMenu();
        menu->addSeparator();
        menu->addActions(contextActions_);
        menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
        delete menu;
        return true;
    }
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!key->isAutoRepeat()) emit commandRequested(CommandId::PfadeVergleichen);
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void PathBar::LoadHistories(ProfileStore& store) {
    for (Field* f : {&source_, &target_}) {
        const QString preset = FromUtf8(f->history.Load(store));
        ShowHistory(*f);
        f->combo->setEditText(preset);
    }
}

void PathBar::UpdateHistories() {
    for (Side side : {Side::Source, Side::Target}) UpdateHistory(side, text(side));
}

void PathBar::UpdateHistory(Side side, const QString& typed) {
    Field& f = field(side);
    const QString current = f.combo->currentText();
    f.history.Update(typed.toStdString());
    ShowHistory(f);
    f.combo->setEditText(current);
}

void PathBar::contextMenuEvent(QContextMenuEvent* event) {
    if (contextActions_.isEmpty()) {
        QToolBar::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    menu.addActions(contextActions_);
    menu.exec(event->globalPos());
    event->accept();
}

void PathBar::SwapPaths() {
    const QString source = text(Side::Source);
    setText(Side::Source, text(Side::Target));
    setText(Side::Target, source);
}

void PathBar::SaveHistories(ProfileStore& store) const {
    source_.history.Save(store);
    target_.history.Save(store);
}

void PathBar::ShowHistory(Field& f) {
    const QSignalBlocker block(f.combo);
    f.combo->clear();
    for (const std::string& entry : f.history.entries()) f.combo->addItem(FromUtf8(entry));
    f.combo->setCurrentIndex(-1);
}

QString PathBar::ChooseFolderWithDialog(QWidget* parent, const QString& title,
                                        const QString& startFolder) {
    // Open at the folder in the field, or at its nearest existing parent.
    QString start = startFolder.trimmed();
    while (!start.isEmpty() && !QFileInfo(start).isDir()) {
        const QString parentFolder = QFileInfo(QDir::cleanPath(start)).path();
        start = parentFolder == start || parentFolder == QStringLiteral(".") ? QString() : parentFolder;
    }
    if (start.isEmpty()) start = QDir::homePath();
    const QString chosen = QFileDialog::getExistingDirectory(
        parent, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

void PathBar::BrowseForPath(Side side) {
    Field& f = field(side);
    const QString title = side == Side::Source ? QTr("Quellpfad auswählen")
                                               : QTr("Zielpfad auswählen");
    const QString chosen = chooser_(window(), title, f.combo->currentText());
    if (!chosen.isEmpty()) f.combo->setEditText(chosen);
}

QString PathBar::ChooseSnapshotWithDialog(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getOpenFileName(parent, title, start,
                                        QTr("Kirvo-Schnappschüsse (*%1);;Alle Dateien (*)")
                                            .arg(QLatin1String(snapshot_format::kExtension)));
}

void PathBar::OpenSnapshot(Side side) {
    Field& f = field(side);
    // Opened where the field's snapshot lies, or its folder is.
    QString start = f.combo->currentText().trimmed();
    if (start.startsWith(QLatin1String(Root::kSnapshotPrefix.data(), Root::kSnapshotPrefix.size())))
        start.remove(0, static_cast<qsizetype>(Root::kSnapshotPrefix.size()));
    if (start.isEmpty() || !QFileInfo(start).exists()) start = QDir::homePath();
    const QString chosen = snapshotChooser_(window(), QTr("Schnappschuss öffnen"), start);
    if (!chosen.isEmpty()) f.combo->setEditText(SnapshotText(QDir::toNativeSeparators(chosen)));
}

QString PathBar::text(Side side) const { return field(side).combo->currentText(); }

void PathBar::setText(Side side, const QString& text) { field(side).combo->setEditText(text); }

QComboBox* PathBar::comboBox(Side side) const { return field(side).combo; }

QToolButton* PathBar::browseButton(Side side) const { return field(side).button; }

const PathHistory& PathBar::history(Side side) const { return field(side).history; }

}  // namespace kirvo
