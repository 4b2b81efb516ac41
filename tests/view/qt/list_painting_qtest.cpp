// How the list paints its rows: highlight to the window's edge only while
// the list has the focus, the band of untouched folder rows, the state
// images, the shortening of cell texts and its alignment.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QHelpEvent>
#include <QImage>
#include <QToolBar>
#include <QToolTip>
#include <QtTest>

#include "support/temp_tree.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

const int64_t kOld = LocalEpoch(2011, 3, 6, 7, 5, 9);
const int64_t kNew = LocalEpoch(2012, 11, 24, 18, 30, 0);
const QColor kBase(255, 255, 255), kWindow(0, 160, 0), kHighlight(0, 0, 200), kInactive(150, 150, 220),
    kText(0, 0, 0);

// Rows: 0 folder, 1 a.txt -->, 2 eq.txt =
struct Painted : Window {
    TempDir dir;
    Painted() {
        MakeTree(dir / "q", {{"a.txt", kNew, std::string(5000, 'a')}, {"eq.txt", kOld}});
        MakeTree(dir / "z", {{"a.txt", kOld}, {"eq.txt", kOld}});
        QPalette colours = view()->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            colours.setColor(group, QPalette::Base, kBase);
            colours.setColor(group, QPalette::Window, kWindow);
            colours.setColor(group, QPalette::Highlight, group == QPalette::Active ? kHighlight : kInactive);
            colours.setColor(group, QPalette::Text, kText);
            colours.setColor(group, QPalette::HighlightedText, kBase);
        }
        view()->setPalette(colours);
        frame.resize(1300, 600);
        Command(CommandId::FilterAll);
        Compare(dir / "q", dir / "z");
        ShowWithFocusInList();
    }
    QImage Shot() const { return OnScreen(view()->viewport()); }
    int RowY(int row) const { return view()->visualRect(model()->index(row, 0)).center().y(); }
    QColor At(int x, int row) const { return Shot().pixelColor(x, RowY(row)); }
    int RightEdge() const { return view()->viewport()->width() - 8; }
    void Select(int row) {
        view()->selectionModel()->setCurrentIndex(model()->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Leftmost x in [from, to) on the row's middle line that is not `background`.
    int FirstInk(int row, int from, int to, const QColor& background) const {
        const QImage image = Shot();
        const int top = view()->visualRect(model()->index(row, 0)).top();
        const int bottom = view()->visualRect(model()->index(row, 0)).bottom();
        for (int x = from; x < to; ++x)
            for (int y = top + 2; y < bottom - 1; ++y)
                if (image.pixelColor(x, y) != background) return x;
        return -1;
    }
};

}  // namespace

class ListPaintingTest : public QObject {
    Q_OBJECT

private slots:
    void fitTextToWidth_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("spare");  // cell width minus the text's own width
        QTest::addColumn<int>("margin");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << "" << -100 << 12 << "";
        QTest::newRow("fits with the margin") << "Beispiel.txt" << 12 << 12 << "Beispiel.txt";
        QTest::newRow("one pixel short") << "Beispiel.txt" << 11 << 12 << "PREFIX...";
        QTest::newRow("nothing fits: first character") << "Beispiel.txt" << -1000 << 4 << "B...";
        QTest::newRow("one character that does not fit") << "W" << -1 << 4 << "W...";
    }

    void fitTextToWidth() {
        QFETCH(QString, text);
        QFETCH(int, spare);
        QFETCH(int, margin);
        QFETCH(QString, shown);
        const QFontMetrics metrics(QApplication::font());
        const int width = metrics.horizontalAdvance(text) + spare;
        bool shortened = true;
        const QString result = CListViewEx::FitTextToWidth(metrics, text, width, margin, &shortened);
        QCOMPARE(shortened, result != text);
        if (shown != "PREFIX...") {
            QCOMPARE(result, shown);
            return;
        }
        // The longest prefix that fits beside the dots, and never more.
        QVERIFY(result.endsWith("..."));
        const QString kept = result.chopped(3);
        QVERIFY(text.startsWith(kept) && kept.size() >= 1 && kept.size() < text.size());
        const int dots = metrics.horizontalAdvance("...");
        QVERIFY(metrics.horizontalAdvance(kept) + margin + dots <= width);
        QVERIFY(metrics.horizontalAdvance(text.left(kept.size() + 1)) + margin + dots > width);
    }

    void theSelectionShowsToTheEdgeWithAndWithoutTheFocus() {
        Painted p;
        p.Select(1);
        // Row 2 becomes the focused row, row 1 stays selected.
        p.view()->selectionModel()->setCurrentIndex(p.model()->index(2, 0), QItemSelectionModel::NoUpdate);
        const int frameEdge = p.view()->viewport()->width() - 1;
        QCOMPARE(p.At(p.RightEdge(), 1), kHighlight);
        QCOMPARE(p.At(p.view()->labelLeft() + 1, 1), kHighlight);
        QVERIFY(p.At(frameEdge, 2) != kBase);  // the focus frame, to the window's edge
        // A click into a path field: the selection stays in the inactive
        // colour, the focus frame goes.
        QTest::mouseClick(p.pathBar()->comboBox(PathBar::Side::Source)->lineEdit(), Qt::LeftButton);
        QTRY_VERIFY(!p.view()->hasFocus());
        QCOMPARE(p.At(p.RightEdge(), 1), kInactive);
        QCOMPARE(p.At(p.view()->labelLeft() + 1, 1), kInactive);
        QCOMPARE(p.At(frameEdge, 2), kBase);
        // "Löschen" on the toolbar acts on exactly that row.
        QCOMPARE(p.view()->selectedRows(), std::vector<int>{1});
        QVERIFY(p.frame.toolBar()->widgetForAction(p.frame.actions().action(CommandId::DeleteSelected))->isEnabled());
        p.view()->setFocus();
        QTRY_VERIFY(p.view()->hasFocus());
        QCOMPARE(p.At(p.RightEdge(), 1), kHighlight);
        QVERIFY(p.At(frameEdge, 2) != kBase);
    }

    void untouchedFolderRowsHaveTheBandFromTheLeftEdge() {
        Painted p;
        p.Select(2);
        QCOMPARE(p.At(0, 0), kWindow);
        QCOMPARE(p.At(p.view()->iconLeft() - 2, 0), kWindow);
        QCOMPARE(p.At(p.RightEdge(), 0), kWindow);
        QCOMPARE(p.At(1, 1), kBase);  // file rows have none
        // Once focused (current) the folder row is drawn like any other row.
        p.view()->selectionModel()->setCurrentIndex(p.model()->index(0, 0), QItemSelectionModel::NoUpdate);
        QCOMPARE(p.At(1, 0), kBase);
        QVERIFY(p.At(p.RightEdge(), 0) != kWindow);
    }

    void markedRowsShowATickedBoxEqualRowsNone() {
        Painted p;
        const int left = p.view()->stateImageLeft();
        QVERIFY(p.FirstInk(1, left, left + 16, kBase) >= 0);
        QCOMPARE(p.FirstInk(2, left, left + 16, kBase), -1);
        // A click on a box, or on its folder's box, changes what the screen shows.
        const auto box = [&](int row) { return p.Shot().copy(left, p.RowY(row) - 8, 16, 16); };
        const QImage marked = box(1);
        QTest::mouseClick(p.view()->viewport(), Qt::LeftButton, {}, QPoint(left + 8, p.RowY(1)));
        QCOMPARE(p.State(1), ResultRows::kUnmarked);
        const QImage unmarked = box(1);
        QVERIFY(marked != unmarked);
        QTest::mouseClick(p.view()->viewport(), Qt::LeftButton, {}, QPoint(left + 8, p.RowY(0)));
        QCOMPARE(p.State(1), ResultRows::kMarked);
        QCOMPARE(box(1), marked);
        // Each row's document icon follows its box.
        QVERIFY(p.FirstInk(2, p.view()->iconLeft(), p.view()->iconLeft() + 16, kBase) >= 0);
    }

    void textsKeepTheirInsetsAndAlignment() {
        Painted p;
        QHeaderView* header = p.view()->header();
        // Column 1 ("Größe") is right-aligned: "5 KB" ends 6 px before the cell's end.
        const int cell = header->sectionViewportPosition(1);
        const int width = header->sectionSize(1);
        const int ink = p.FirstInk(1, cell, cell + width, kBase);
        QVERIFY2(ink > cell + width / 2, qPrintable(QString::number(ink - cell)));
        // Too narrow: the shortened text is left-aligned, 6 px in.
        const int narrow = QFontMetrics(p.view()->font()).horizontalAdvance("5 KB") + 6;
        header->resizeSection(1, narrow);
        const int shortInk = p.FirstInk(1, cell, cell + narrow, kBase);
        QVERIFY2(shortInk >= cell + 6 && shortInk <= cell + 8, qPrintable(QString::number(shortInk - cell)));
        // Column 0's text starts 2 px into its label.
        const int label = p.view()->labelLeft();
        const int nameInk = p.FirstInk(1, label, label + 40, kBase);
        QVERIFY2(nameInk >= label + 2 && nameInk <= label + 4, qPrintable(QString::number(nameInk - label)));
    }

    void aShortenedCellGivesItsWholeTextAsToolTip() {
        Painted p;
        QHeaderView* header = p.view()->header();
        header->resizeSection(3, 30);
        auto tipAt = [&](int column) {
            const QPoint at(header->sectionViewportPosition(column) + 3, p.RowY(1));
            QHelpEvent help(QEvent::ToolTip, at, p.view()->viewport()->mapToGlobal(at));
            QApplication::sendEvent(p.view()->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(4), QString());  // "--->" fits
        QCOMPARE(tipAt(3), "a.txt");
        // Fitting the column to its contents makes room for the insets.
        p.view()->resizeColumnToContents(3);
        QVERIFY(header->sectionSize(3) >= QFontMetrics(p.view()->font()).horizontalAdvance("eq.txt") + 12);
    }
};

QTEST_MAIN(ListPaintingTest)
#include "list_painting_qtest.moc"
