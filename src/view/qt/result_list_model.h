#pragma once
#include <QAbstractTableModel>
#include <span>
#include <string>

#include "view/result_rows.h"

namespace kirvo {

class DisplayFilter;
class FillProgress;
class TreeMatcher;

// The result list as a Qt model over ResultRows: a row is its state image
// and the index of its pair; texts are formatted when asked for. The rows
// borrow the engine's pairs, so Clear() the model before the engine is
// cleared or run again.
class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultListModel(QObject* parent = nullptr);

    const ResultRows& rows() const { return rows_; }

    // Replaces every row by the rows of the engine's pairs under the filter;
    // a conflict row's tool tip is its reason, as the engine gives it, and an
    // unknown row's the place that could not be read. With a plan (mirror,
    // two-way) the rows show it, and every file row's tool tip says why its
    // action is planned ("in der Quelle gelöscht seit dem letzten Abgleich").
    // With what "Inhalt prüfen" found, a damaged row's tool tip names the
    // side and when it was last good.
    void Rebuild(const TreeMatcher& matcher, const DisplayFilter& filter, FillProgress* progress,
                 const SyncSession* plan = nullptr, const VerifyResult* verified = nullptr);
    // The same over pairs held elsewhere, borrowed until the next Rebuild or
    // Clear; no reasons.
    void Rebuild(std::span<const FilePair> pairs, const std::string& sourceRoot,
                 const std::string& targetRoot, const DisplayFilter& filter, FillProgress* progress);
    // No rows and no reference to any pair.
    void Clear();

    // Mark changes, announced as a change of the state image (column 0).
    void ToggleMark(int row);
    void ToggleFolderMarks(int folderRow);

    // The text of a cell, converted for display: bytes that are not valid
    // UTF-8 show as replacement characters.
    QString cellText(int row, int column) const;
    static Qt::Alignment ColumnAlignment(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // Why a conflict or an unknown row is what it is.
    QVariant toolTip(size_t row) const;

    ResultRows rows_;
    const TreeMatcher* reasons_ = nullptr;  // where the conflicts' and unknown rows' reasons are
};

}  // namespace kirvo
