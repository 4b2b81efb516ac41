#include "view/qt/result_list_model.h"

#include "view/list_columns.h"
#include "engine/tree_matcher.h"
#include "sync/sync_session.h"
#include "view/qt/list_view_ex.h"
#include "view/value_format.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {

ResultListModel::ResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultListModel::Rebuild(const TreeMatcher& matcher, const DisplayFilter& filter,
                              FillProgress* progress, const SyncSession* plan, const VerifyResult* verified) {
    beginResetModel();
    rows_.Build(matcher, filter, progress, plan, verified);
    reasons_ = &matcher;
    endResetModel();
}

void ResultListModel::Rebuild(std::span<const FilePair> pairs, const std::string& sourceRoot,
                              const std::string& targetRoot, const DisplayFilter& filter,
                              FillProgress* progress) {
    beginResetModel();
    reasons_ = nullptr;
    rows_.Build(pairs, sourceRoot, targetRoot, filter, progress);
    endResetModel();
}

void ResultListModel::Clear() {
    beginResetModel();
    reasons_ = nullptr;
    rows_.Clear();
    endResetModel();
}

void ResultListModel::ToggleMark(int row) {
    if (row < 0) return;
    const int before = rows_.StateImage(static_cast<size_t>(row));
    rows_.ToggleMark(static_cast<size_t>(row));
    if (rows_.StateImage(static_cast<size_t>(row)) != before) {
        emit dataChanged(index(row, 0), index(row, 0), {CListViewEx::StateImageRole});
    }
}

void ResultListModel::ToggleFolderMarks(int folderRow) {
    if (folderRow < 0 || !rows_.IsFolderRow(static_cast<size_t>(folderRow))) return;
    rows_.ToggleFolderMarks(static_cast<size_t>(folderRow));
    int last = folderRow + 1;
    while (last < rowCount() && !rows_.IsFolderRow(static_cast<size_t>(last))) ++last;
    if (last > folderRow + 1) {
        emit dataChanged(index(folderRow + 1, 0), index(last - 1, 0), {CListViewEx::StateImageRole});
    }
}

QString ResultListModel::cellText(int row, int column) const {
    if (row < 0) return {};
    const std::string text = rows_.CellText(static_cast<size_t>(row), column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment ResultListModel::ColumnAlignment(int column) {
    if (column < 0 || column >= ListColumns::kCount) return Qt::AlignLeft | Qt::AlignVCenter;
    switch (ListColumns::Table()[static_cast<size_t>(column)].alignment) {
    case kirvo::ColumnAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case kirvo::ColumnAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case kirvo::ColumnAlignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ResultRows::kColumnCount;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto row = static_cast<size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return static_cast<int>(ColumnAlignment(index.column()));
    case CListViewEx::StateImageRole:
        return rows_.StateImage(row);
    case CListViewEx::SmallImageRole:
        return rows_.IsFolderRow(row) ? CListViewEx::kFolderImage : CListViewEx::kDocumentImage;
    case Qt::ToolTipRole:
        return toolTip(row);
    default:
        return {};
    }
}

QVariant ResultListModel::toolTip(size_t row) const {
    const auto text = [](std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); };
    if (!reasons_) return {};
    if (const VerifiedPath* damage = rows_.Damage(row))
        return QTr("beschädigt? (anderer Inhalt bei gleicher Größe und Zeit) – ") + text(DamageText(*damage));
    if (rows_.Decision(row) != nullptr && rows_.plan()->mode() != SyncMode::Update)
        return text(rows_.plan()->Explain(static_cast<size_t>(rows_.PairIndex(row))));
    if (rows_.StateImage(row) == ResultRows::kConflict)
        return QTr("Konflikt: ") + text(reasons_->conflictReason(static_cast<size_t>(rows_.PairIndex(row))));
    if (rows_.StateImage(row) != ResultRows::kUnknown) return {};
    // A place row, or a file of one side where the other could not be read.
    const UnknownPlace* place = rows_.Place(row);
    if (!place) place = reasons_->unknownPlaceOf(static_cast<size_t>(rows_.PairIndex(row)));
    if (!place) return {};
    std::string why = place->side == kSourceSide ? Tr("Unbekannt – in der Quelle ") : Tr("Unbekannt – im Ziel ");
    AppendUnknownPlace(why, *place, place->side == kSourceSide ? reasons_->sourceRoot() : reasons_->targetRoot());
    return text(why);
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ListColumns::kCount) return {};
    if (role == Qt::DisplayRole) {
        const std::string_view title = ListColumns::Table()[static_cast<size_t>(section)].title;
        return QTr(title.data());
    }
    if (role == Qt::TextAlignmentRole) return static_cast<int>(ColumnAlignment(section));
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace kirvo
