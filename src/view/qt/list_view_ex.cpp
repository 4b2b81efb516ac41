#include "view/qt/list_view_ex.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace kirvo {
namespace {

// The size a cell needs as the list draws it: rows as high as the 16-pixel
// images need (or the font, if taller); widths with the insets and, in
// column 0, the two images (for fitting a column to its contents).
class RowSizeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int text = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        const int width = index.column() == 0 ? 2 * CListViewEx::kImageSize + text + 2 * CListViewEx::kFirstColumnInset
                                              : text + 2 * CListViewEx::kColumnInset;
        return {width, std::max(option.fontMetrics.height() + 4, CListViewEx::kImageSize + 2)};
    }
};

const QString& Dots() {
    static const QString dots = QStringLiteral("...");
    return dots;
}

}  // namespace

int CListViewEx::shownRowHeight() const {
    if (model() && model()->rowCount() > 0) return visualRect(model()->index(0, 0)).height();
    return std::max(fontMetrics().height() + 4, kImageSize + 2);
}

CListViewEx::CListViewEx(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIndentation(0);
    setItemDelegate(new RowSizeDelegate(this));
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
}

QString CListViewEx::FitTextToWidth(const QFontMetrics& metrics, const QString& text, int width, int margin,
                                    bool* shortened) {
    if (shortened) *shortened = false;
    if (text.isEmpty() || metrics.horizontalAdvance(text) + margin <= width) return text;
    if (shortened) *shortened = true;
    const int room = width - margin - metrics.horizontalAdvance(Dots());
    // The longest prefix of 1 .. length-1 characters that fits beside the
    // dots; the prefix widths grow with the length, so halving finds it.
    qsizetype keep = 1;
    qsizetype low = 2, high = text.size() - 1;
    while (low <= high) {
        const qsizetype mid = (low + high) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= room) {
            keep = mid;
            low = mid + 1;
        } else {
            high = mid - 1;
        }
    }
    // Never cut a character made of two UTF-16 units in half.
    if (keep < text.size() && text.at(keep).isLowSurrogate()) keep += keep == 1 ? 1 : -1;
    return text.left(keep) + Dots();
}

QString CListViewEx::shownText(const QModelIndex& cell, bool* shortened) const {
    const int column = cell.column();
    // Column 0's text sits beside the state image and the icon.
    const int width = column == 0 ? header()->sectionSize(0) - 2 * kImageSize : header()->sectionSize(column);
    const int margin = column == 0 ? 2 * kFirstColumnInset : 2 * kColumnInset;
    return FitTextToWidth(QFontMetrics(font()), cell.data(Qt::DisplayRole).toString(), width, margin, shortened);
}

int CListViewEx::stateImageLeft() const { return header()->sectionViewportPosition(0); }

QRect CListViewEx::FullWidth(const QRect& rect) const {
    return {0, rect.top(), std::max(viewport()->width(), header()->length() - header()->offset()),
            rect.height()};
}

const QPixmap& CListViewEx::Image(int index, bool state, bool blended, bool active) const {
    const qreal ratio = devicePixelRatioF();
    const QRgb highlights[2] = {palette().color(QPalette::Active, QPalette::Highlight).rgba(),
                                palette().color(QPalette::Inactive, QPalette::Highlight).rgba()};
    if (ratio != imagesRatio_ || highlights[0] != imagesHighlight_[0] || highlights[1] != imagesHighlight_[1]) {
        static const char* const kFiles[] = {":/icons/state-unchecked.svg", ":/icons/state-checked.svg",
                                             ":/icons/folder.svg", ":/icons/document.svg"};
        for (int i = 0; i < 4; ++i) {
            images_[i] = QIcon(QString::fromLatin1(kFiles[i])).pixmap(QSize(kImageSize, kImageSize), ratio);
        }
        // Icons of a highlighted row: blended half and half with the highlight.
        for (int group = 0; group < 2; ++group) {
            for (int i = 0; i < 2; ++i) {
                QPixmap blend = images_[2 + i];
                QPainter p(&blend);
                p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
                QColor colour = QColor::fromRgba(highlights[group]);
                colour.setAlpha(128);
                p.fillRect(blend.rect(), colour);
                p.end();
                images_[4 + 2 * group + i] = blend;
                imagesHighlight_[group] = highlights[group];
            }
        }
        imagesRatio_ = ratio;
    }
    if (state) return images_[index - 1];
    if (!blended) return images_[2 + index - 1];
    return images_[(active ? 4 : 6) + index - 1];
}

void CListViewEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QModelIndex first = index.siblingAtColumn(0);
    const int row = first.row();
    const bool hasFocus = this->hasFocus();
    const bool selected = selectionModel() && selectionModel()->isSelected(first);
    const bool focused = currentIndex().isValid() && currentIndex().row() == row;
    // Selected rows stay highlighted without the focus, in the inactive colours.
    const bool highlighted = selected;
    const QPalette::ColorGroup group = hasFocus ? QPalette::Active : QPalette::Inactive;
    const int stateImage = first.data(StateImageRole).toInt();
    const int smallImage = first.data(SmallImageRole).toInt();
    const QPalette& colours = palette();

    const int top = option.rect.top();
    const int height = option.rect.height();
    const int x0 = stateImageLeft();
    const int label = x0 + 2 * kImageSize;
    int right = header()->length() - header()->offset();
    if (right < viewport()->width()) right = viewport()->width();
    const QRect rowRect(label, top, right - label, height);

    painter->save();
    painter->setFont(option.font);
    painter->fillRect(rowRect, highlighted ? colours.color(group, QPalette::Highlight)
                                           : colours.color(QPalette::Active, QPalette::Base));
    if (stateImage == kFolderState && !selected && !focused) {
        painter->fillRect(QRect(0, top, right, height), colours.color(QPalette::Active, QPalette::Window));
    }
    const int imageTop = top + (height - kImageSize) / 2;
    if (stateImage == 1 || stateImage == 2) painter->drawPixmap(x0, imageTop, Image(stateImage, true, false, true));
    if ((smallImage == kFolderImage || smallImage == kDocumentImage) && header()->sectionSize(0) > 1) {
        painter->drawPixmap(x0 + kImageSize, imageTop, Image(smallImage, false, highlighted, hasFocus));
    }
    painter->setPen(highlighted ? colours.color(group, QPalette::HighlightedText)
                                : colours.color(QPalette::Active, QPalette::Text));

    constexpr int kFlags = Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignVCenter;
    const int width0 = header()->sectionSize(0);
    if (const QString shown = shownText(first); !shown.isEmpty()) {
        const int cellWidth = x0 + width0 - label;
        painter->drawText(QRect(label + kFirstColumnInset, top, cellWidth - 2 * kFirstColumnInset, height),
                          kFlags | Qt::AlignLeft, shown);
    }
    int cellLeft = x0 + width0;
    const int columns = model()->columnCount(first.parent());
    for (int column = 1; column < columns; ++column) {
        if (header()->isSectionHidden(column)) continue;
        const int cellWidth = header()->sectionSize(column);
        const QModelIndex cell = first.siblingAtColumn(column);
        bool shortened = false;
        if (const QString shown = shownText(cell, &shortened); !shown.isEmpty()) {
            Qt::Alignment alignment = Qt::AlignLeft;
            if (!shortened) {
                alignment = Qt::Alignment(cell.data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask;
                if (alignment != Qt::AlignRight && alignment != Qt::AlignHCenter) alignment = Qt::AlignLeft;
            }
            painter->drawText(QRect(cellLeft + kColumnInset, top, cellWidth - 2 * kColumnInset, height),
                              kFlags | int(alignment), shown);
        }
        cellLeft += cellWidth;
    }

    if (focused && hasFocus) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rowRect;
        frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
        frame.backgroundColor = colours.color(QPalette::Active, highlighted ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, this);
    }
    painter->restore();
}

QRegion CListViewEx::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion rows;
    for (const QRect& rect : QTreeView::visualRegionForSelection(selection)) rows += FullWidth(rect);
    return rows;
}

void CListViewEx::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    for (const QModelIndex& index : {previous, current}) {
        if (index.isValid()) viewport()->update(FullWidth(visualRect(index)));
    }
}

void CListViewEx::InvalidateHighlightedRows() {
    QRegion rows;
    if (currentIndex().isValid()) rows += FullWidth(visualRect(currentIndex()));
    if (selectionModel()) rows += visualRegionForSelection(selectionModel()->selection());
    viewport()->update(rows);
}

void CListViewEx::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    InvalidateHighlightedRows();
}

void CListViewEx::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    // Focus moving into one of the list's own children (its header) changes
    // nothing the rows show.
    const QWidget* next = QApplication::focusWidget();
    if (next && isAncestorOf(next)) return;
    InvalidateHighlightedRows();
}

}  // namespace kirvo

namespace kirvo {

bool CListViewEx::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTreeView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const int column = columnAt(help->pos().x());
    QString text;
    if (index.isValid() && column >= 0) {
        bool shortened = false;
        shownText(index.siblingAtColumn(column), &shortened);
        if (shortened) text = index.siblingAtColumn(column).data(Qt::DisplayRole).toString();
        // The row's own note (a conflict's reason), after the whole cell text.
        const QString note = index.siblingAtColumn(column).data(Qt::ToolTipRole).toString();
        if (!note.isEmpty()) text = text.isEmpty() ? note : text + QLatin1Char('\n') + note;
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index.siblingAtColumn(column)));
    }
    return true;
}

}  // namespace kirvo
