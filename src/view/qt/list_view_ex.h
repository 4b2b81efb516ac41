#pragma once
#include <QPixmap>
#include <QTreeView>

class QFontMetrics;

namespace kirvo {

// The report-style list the result view is built on. It paints every row
// itself across all columns: the state image at the row's left edge, then
// the 16x16 icon, then the cells with their insets and the shortening rule.
// A selected row is highlighted up to the right edge of the window, in the
// inactive colours while the list has no keyboard focus, so the rows that
// "Kopieren" and "Löschen" act on always show; an untouched folder row gets
// a band in the menu colour. Rows take their state image and icon from the model's
// StateImageRole and SmallImageRole.
class CListViewEx : public QTreeView {
    Q_OBJECT
public:
    enum Role {
        StateImageRole = Qt::UserRole + 1,  // 1 empty box, 2 ticked box, 3 and 4 blank, 0 none
        SmallImageRole,                     // kFolderImage or kDocumentImage, 0 none
    };
    static constexpr int kFolderImage = 1;
    static constexpr int kDocumentImage = 2;
    // State image index of a folder row: the row kind that gets the band.
    static constexpr int kFolderState = 3;
    static constexpr int kImageSize = 16;
    static constexpr int kFirstColumnInset = 2;
    static constexpr int kColumnInset = 6;

    explicit CListViewEx(QWidget* parent = nullptr);

    // The text as a cell of `width` pixels shows it: unchanged when it fits
    // with `margin` to spare, else cut after as many characters as fit
    // beside "..." (at least one) with "..." appended. `shortened` tells
    // the two apart.
    static QString FitTextToWidth(const QFontMetrics& metrics, const QString& text, int width, int margin,
                                  bool* shortened = nullptr);

    // A cell's text as its row shows it: cut to the cell's width with "..."
    // where it does not fit (FitTextToWidth with the cell's insets).
    QString shownText(const QModelIndex& cell, bool* shortened = nullptr) const;

    // Viewport x of the state image (the row's left edge) and of the small
    // icon; the label of column 0 starts one icon further.
    int stateImageLeft() const;
    int iconLeft() const { return stateImageLeft() + kImageSize; }
    int labelLeft() const { return iconLeft() + kImageSize; }
    // The height of a row as drawn (also while the list is empty).
    int shownRowHeight() const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // A cell shown shortened gives its whole text as a tool tip, and a row
    // with a note of its own (Qt::ToolTipRole) gives that.
    bool viewportEvent(QEvent* event) override;

private:
    // Repaints the rows whose look depends on the focus: the current row
    // and the selected rows.
    void InvalidateHighlightedRows();
    QRect FullWidth(const QRect& rect) const;
    const QPixmap& Image(int index, bool state, bool blended, bool active) const;

    // Images at the current device pixel ratio: state images 1 and 2, then
    // folder and document icons, plain, blended with the active highlight
    // and blended with the inactive one.
    mutable QPixmap images_[8];
    mutable qreal imagesRatio_ = 0;
    mutable QRgb imagesHighlight_[2] = {};
};

}  // namespace kirvo
