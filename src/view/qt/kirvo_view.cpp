#include "view/qt/kirvo_view.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <algorithm>

#include "engine/tree_matcher.h"
#include "platform/root.h"
#include "view/qt/column_fit.h"
#include "view/qt/list_fill_progress.h"
#include "view/qt/result_list_model.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct ContextItem {
    CommandId id;
    const char* text;  // nullptr: separator
};

constexpr ContextItem kContextMenu[] = {
    {CommandId::EditCopy, TrNoop("Kopieren")},
    {CommandId::DeleteSelected, TrNoop("Löschen")},
    {CommandId::None, nullptr},
    {CommandId::SelectAll, TrNoop("Alles markieren")},
    {CommandId::None, nullptr},
    {CommandId::CopyToTarget, TrNoop("Nach rechts kopieren")},
    {CommandId::CopyToSource, TrNoop("Nach links kopieren")},
    {CommandId::None, nullptr},
    {CommandId::CompareFiles, TrNoop("Dateien vergleichen")},
    {CommandId::OpenFile, TrNoop("Öffnen")},
    {CommandId::ShowInFileManager, TrNoop("Im Dateimanager zeigen")},
    {CommandId::CopyPath, TrNoop("Pfad kopieren")},
    {CommandId::None, nullptr},
    {CommandId::ExcludePath, TrNoop("Ausschließen")},
};

// Whether an item of the context menu can act on what it points at.
bool Enabled(CommandId id, const CKirvoView::PointedItem& item, bool haveRows, bool haveSelection) {
    switch (id) {
    case CommandId::SelectAll: return haveRows;
    case CommandId::CompareFiles: return item.bothFiles();
    case CommandId::OpenFile:
    case CommandId::CopyPath: return item.valid();
    case CommandId::ShowInFileManager: return item.valid() && !item.remote;
    case CommandId::ExcludePath: return item.valid() && !item.relativePath.empty();
    default: return haveSelection;
    }
}

}  // namespace

CKirvoView::CKirvoView(QWidget* parent) : CListViewEx(parent) {
    setObjectName(QStringLiteral("KirvoView"));
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::Table()[column].width;
    }
    fit_ = new ColumnFit(*this);
    resultModel_ = new ResultListModel(this);
    setModel(resultModel_);
}

Qt::Alignment CKirvoView::ColumnAlignment(int column) { return ResultListModel::ColumnAlignment(column); }

void CKirvoView::OnInitialUpdate(int storedWidth) {
    // The table's widths suit a small font: dates, sizes and paths get as
    // much more as the list's font needs.
    const QFontMetrics metrics(font());
    const auto textWidth = [&metrics](std::string_view text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::InitialWidth(column, storedWidth, 2 * kColumnInset, textWidth);
    }
    ApplyColumns();
    emit commandStateChanged();
}

void CKirvoView::setModel(QAbstractItemModel* newModel) {
    if (model()) model()->disconnect(this);
    CListViewEx::setModel(newModel);
    ApplyColumns();
    if (newModel) {
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
            connect(newModel, signal, this, &CKirvoView::commandStateChanged);
        }
        connect(newModel, &QAbstractItemModel::modelReset, this, &CKirvoView::commandStateChanged);
        connect(newModel, &QAbstractItemModel::layoutChanged, this, &CKirvoView::commandStateChanged);
    }
    if (selectionModel()) {
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CKirvoView::commandStateChanged);
    }
    emit commandStateChanged();
}

void CKirvoView::ApplyColumns() {
    if (!model() || model()->columnCount() != ListColumns::kCount) return;
    for (int column = 0; column < ListColumns::kCount; ++column) {
        header()->resizeSection(column, columnWidths_[column]);
    }
    if (fit_) fit_->SetBase(columnWidths_);
}

int CKirvoView::rowCount() const { return model() ? model()->rowCount() : 0; }

const ResultRows& CKirvoView::rows() const { return resultModel_->rows(); }

bool CKirvoView::ShowsResult() const { return model() == resultModel_; }

std::vector<int> CKirvoView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool CKirvoView::hasSelectedRows() const { return selectionModel() && selectionModel()->hasSelection(); }

void CKirvoView::Fill(const TreeMatcher& matcher, const DisplayFilter& filter, const SyncSession* plan,
                      const VerifyResult* verified) {
    pointedRow_ = -1;
    if (!ShowsResult()) setModel(resultModel_);
    ListFillProgress progress(*this);
    resultModel_->Rebuild(matcher, filter, &progress, plan, verified);
    ShowFilled();
}

void CKirvoView::FillFrom(std::span<const FilePair> pairs, const std::string& sourceRoot,
                          const std::string& targetRoot, const DisplayFilter& filter) {
    pointedRow_ = -1;
    if (!ShowsResult()) setModel(resultModel_);
    ListFillProgress progress(*this);
    resultModel_->Rebuild(pairs, sourceRoot, targetRoot, filter, &progress);
    ShowFilled();
}

void CKirvoView::ShowFilled() {
    emit sideTotalsShown(kSourceSide, FromUtf8(rows().SourceSummaryText()));
    emit sideTotalsShown(kTargetSide, FromUtf8(rows().TargetSummaryText()));
    UpdateSelectionStats();
    emit commandStateChanged();
}

void CKirvoView::Clear() {
    pointedRow_ = -1;
    resultModel_->Clear();
}

void CKirvoView::UpdateSelectionStats() {
    const SelectionStats stats(resultModel_->rows());
    emit selectionStatsShown(FromUtf8(stats.SourceText()), FromUtf8(stats.TargetText()));
}

void CKirvoView::SelectAllFileRows() {
    QItemSelectionModel* selection = selectionModel();
    if (!selection || !model()) return;
    // Every file row; folder rows keep whatever selection they had. Runs of
    // file rows go in as one range each.
    const ResultRows& listRows = rows();
    const bool byRows = ShowsResult();
    const int count = model()->rowCount();
    const int lastColumn = model()->columnCount() - 1;
    QItemSelection toSelect;
    int runStart = -1;
    for (int row = 0; row <= count; ++row) {
        const bool fileRow = row < count && !(byRows && listRows.IsFolderRow(static_cast<size_t>(row)));
        if (fileRow && runStart < 0) runStart = row;
        if (!fileRow && runStart >= 0) {
            toSelect.select(model()->index(runStart, 0), model()->index(row - 1, lastColumn));
            runStart = -1;
        }
    }
    selection->select(toSelect, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CKirvoView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard (Menu key, Shift+F10): at the current row.
        const QModelIndex current = currentIndex();
        Point(current.row(), current.column());
        const QRect row = current.isValid() ? visualRect(current) : QRect();
        at = viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0));
    } else {
        const QModelIndex pointed = indexAt(event->pos());
        Point(pointed.row(), pointed.column());
    }
    OnContextMenu(this, at);
    event->accept();
}

void CKirvoView::setEmptyHint(const QString& hint) {
    if (hint == emptyHint_) return;
    emptyHint_ = hint;
    viewport()->update();
}

void CKirvoView::paintEvent(QPaintEvent* event) {
    CListViewEx::paintEvent(event);
    if (emptyHint_.isEmpty() || (model() && model()->rowCount() > 0)) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = shownRowHeight();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyHint_);
}

void CKirvoView::Point(int row, int column) {
    pointedRow_ = ShowsResult() && row >= 0 && row < rowCount() ? row : -1;
    pointedSide_ = column >= 5 ? kTargetSide : kSourceSide;
}

CKirvoView::PointedItem CKirvoView::pointedItem() const {
    PointedItem item;
    const ResultRows& list = rows();
    if (pointedRow_ < 0 || static_cast<size_t>(pointedRow_) >= list.size()) return item;
    const auto row = static_cast<size_t>(pointedRow_);
    const std::span<const FilePair> pairs = list.pairs();
    const FileEntry* source = nullptr;
    const FileEntry* target = nullptr;
    item.folder = list.IsFolderRow(row);
    if (item.folder) {
        const ResultRows::RowRecord& record = list.records()[row];
        if (record.pair >= 0) source = pairs[static_cast<size_t>(record.pair)].source;
        if (record.targetPair >= 0) target = pairs[static_cast<size_t>(record.targetPair)].target;
    } else if (const FilePair* pair = list.Pair(row)) {
        source = pair->source;
        target = pair->target;
    }
    const auto full = [&item](std::string_view root, const FileEntry* entry) {
        if (!entry) return std::string();
        std::string path(root);
        if (item.folder) return path.append(entry->folder());
        return path.append(entry->relativePath());
    };
    item.sourcePath = full(list.sourceRoot(), source);
    item.targetPath = full(list.targetRoot(), target);
    item.sourceRoot = list.sourceRoot();
    item.targetRoot = list.targetRoot();
    if (item.sourcePath.empty() && item.targetPath.empty()) return item;
    item.row = pointedRow_;
    item.side = pointedSide_;
    if (item.path().empty()) item.side = item.side == kSourceSide ? kTargetSide : kSourceSide;
    const FileEntry* entry = item.side == kSourceSide ? source : target;
    item.relativePath = item.folder ? std::string(entry->folder()) : entry->relativePath();
    item.remote = list.remote(item.side);
    return item;
}

void CKirvoView::OnContextMenu(QWidget* /*pWnd*/, const QPoint& point) {
    // Bring the frame forward first, as a menu of a hidden or minimised window
    // would make no sense.
    if (QWidget* frame = window()) {
        if (frame->isHidden()) frame->show();
        if (frame->isMinimized()) frame->showNormal();
        frame->raise();
        frame->activateWindow();
    }

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("ContextMenu149"));
    const bool haveRows = rowCount() > 0;
    const bool haveSelection = hasSelectedRows();
    const PointedItem pointed = pointedItem();
    for (const ContextItem& item : kContextMenu) {
        if (!item.text) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QTr(item.text));
        action->setData(ToInt(item.id));
        action->setEnabled(Enabled(item.id, pointed, haveRows, haveSelection));
    }
    // Chosen items run once the menu has closed, routed like menu commands.
    if (QAction* chosen = menu.exec(point)) emit commandRequested(static_cast<CommandId>(chosen->data().toInt()));
}

void CKirvoView::mousePressEvent(QMouseEvent* event) {
    // The second press of a double-click, and every button but the left,
    // belong to the list alone.
    if (event->button() != Qt::LeftButton || event->type() != QEvent::MouseButtonPress || !ShowsResult() ||
        IsSecondPressOfDoubleClick(*event)) {
        CListViewEx::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const QModelIndex hit = indexAt(point);
    const int row = hit.isValid() ? hit.row() : -1;
    const bool onStateImage = row >= 0 && point.x() >= stateImageLeft() && point.x() < iconLeft();
    const bool folderRow = row >= 0 && resultModel_->rows().IsFolderRow(static_cast<size_t>(row));
    swallowedPress_ = onStateImage || folderRow;
    if (onStateImage) {
        if (folderRow) {
            resultModel_->ToggleFolderMarks(row);
        } else {
            resultModel_->ToggleMark(row);
        }
    } else if (!folderRow) {
        CListViewEx::mousePressEvent(event);
    }
    event->accept();
    UpdateSelectionStats();
}

// Qt delivers the second press of a double-click as a press (followed by a
// double-click event); the list alone handles it, as it does the
// double-click. The same timing and distance rules as the platform's.
bool CKirvoView::IsSecondPressOfDoubleClick(const QMouseEvent& event) {
    const QPoint point = event.position().toPoint();
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool second = lastPressValid_ &&
                        event.timestamp() - lastPressTime_ < static_cast<quint64>(hints->mouseDoubleClickInterval()) &&
                        (point - lastPressPoint_).manhattanLength() <= hints->mouseDoubleClickDistance();
    lastPressValid_ = !second;
    lastPressTime_ = event.timestamp();
    lastPressPoint_ = point;
    return second;
}

void CKirvoView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && ShowsResult() && currentIndex().isValid()) {
        Point(currentIndex().row(), currentIndex().column());
        if (pointedItem().bothFiles()) emit commandRequested(CommandId::CompareFiles);
        event->accept();
        return;
    }
    if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier || !ShowsResult()) {
        CListViewEx::keyPressEvent(event);
        return;
    }
    std::vector<int> rows = selectedRows();
    if (rows.empty() && currentIndex().isValid()) rows.push_back(currentIndex().row());
    for (int row : rows) {
        if (!resultModel_->rows().IsFolderRow(static_cast<size_t>(row))) resultModel_->ToggleMark(row);
    }
    event->accept();
    UpdateSelectionStats();
}

void CKirvoView::mouseDoubleClickEvent(QMouseEvent* event) {
    CListViewEx::mouseDoubleClickEvent(event);
    const QPoint point = event->position().toPoint();
    const QModelIndex at = indexAt(point);
    if (event->button() != Qt::LeftButton || !at.isValid() || point.x() < iconLeft()) return;
    Point(at.row(), at.column());
    if (pointedItem().bothFiles()) emit commandRequested(CommandId::CompareFiles);
}

void CKirvoView::mouseMoveEvent(QMouseEvent* event) {
    if (swallowedPress_ && (event->buttons() & Qt::LeftButton)) return;
    CListViewEx::mouseMoveEvent(event);
}

void CKirvoView::mouseReleaseEvent(QMouseEvent* event) {
    if (swallowedPress_ && event->button() == Qt::LeftButton) {
        swallowedPress_ = false;
        return;
    }
    CListViewEx::mouseReleaseEvent(event);
}

}  // namespace kirvo
