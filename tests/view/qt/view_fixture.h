// A main window with the real view, driven as a user would, with the
// questions and sounds going to a script instead of the screen.
#pragma once
#include <QAction>
#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QCursor>
#include <QComboBox>
#include <QStringList>
#include <QtTest>
#include <string>

#include "app/in_memory_profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/main_frame.h"
#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/qt/window_controller.h"
#include "app/user_prompts.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/result_list_model.h"
#include "view/result_rows.h"

namespace kirvo::test {

// What the screen shows of a widget once the pending repaints are done: the
// window's backing store, not a fresh rendering. grab() would paint the
// current state whether or not a change ever asked for a repaint.
inline QImage OnScreen(QWidget* widget) {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    QBackingStore* store = widget->window()->backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return {};
    const qreal ratio = widget->devicePixelRatioF();
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    return static_cast<QImage*>(device)->copy(QRectF(QPointF(at) * ratio, QSizeF(widget->size()) * ratio).toRect());
}

class FakePrompts : public UserPrompts {
public:
    bool answer = true;  // OK
    // "beep?" (question sound), "ask: <text>", "beep" (done sound), in order.
    QStringList log;
    // Whether the wait cursor was up at each call.
    QList<bool> waiting;

    bool AskOkCancel(const std::string& text) override {
        log << QStringLiteral("ask: ") + QString::fromStdString(text);
        NoteCursor();
        return answer;
    }
    void ShowWarning(const std::string& text) override {
        log << QStringLiteral("warn: ") + QString::fromStdString(text);
        NoteCursor();
    }
    void Beep(BeepKind kind) override {
        log << (kind == BeepKind::Question ? QStringLiteral("beep?") : QStringLiteral("beep"));
        NoteCursor();
    }

private:
    void NoteCursor() {
        waiting << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    }
};

struct Window {
    InMemoryProfileStore store;
    FakePrompts prompts;  // outlives the frame
    CMainFrame frame{store};

    Window() { controller()->setUserPrompts(&prompts); }

    CKirvoView* view() const { return frame.view(); }
    WindowController* controller() const { return frame.controller(); }
    PathBar* pathBar() const { return frame.pathBar(); }
    ResultListModel* model() const { return frame.view()->resultModel(); }
    const ResultRows& rows() const { return frame.view()->rows(); }
    int rowCount() const { return model()->rowCount(); }

    void SetOption(Option option, bool on) { controller()->options().set(option, on ? 1 : 0); }

    // A menu of the menu bar by its title ("E&xtras"), popped up over the
    // window as a click on its title would; null where there is none.
    QMenu* PopUpMenu(const QString& title) {
        QMenu* menu = nullptr;
        for (QAction* item : frame.menuBar()->actions())
            if (item->text() == title) menu = item->menu();
        if (menu) menu->popup(frame.geometry().center());
        return menu;
    }

    // "Pfade vergleichen" as the menu runs it, until its list is filled.
    void Compare(const std::string& source, const std::string& target) {
        pathBar()->setText(PathBar::Side::Source, QString::fromStdString(source));
        pathBar()->setText(PathBar::Side::Target, QString::fromStdString(target));
        Command(CommandId::PfadeVergleichen);
    }
    // A command as the menu runs it, and the comparison it may start.
    void Command(CommandId id) {
        frame.OnCommand(id);
        WaitForComparison();
    }
    // The comparison under way (it reads the folders on a thread of its own) is over.
    void WaitForComparison() { QTRY_VERIFY_WITH_TIMEOUT(!controller()->comparing(), 30000); }
    // A key as the window system sends it: to the window, which hands it to
    // the focus widget (shortcuts included); then the comparison it may start.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(frame.windowHandle(), key, modifiers);
        WaitForComparison();
    }

    QString Field(int id) const { return frame.outputBar()->fieldText(id); }

    // The nine cell texts of a row, joined by '|'.
    QString Cells(int row) const {
        QStringList cells;
        for (int column = 0; column < ResultRows::kColumnCount; ++column) cells << model()->cellText(row, column);
        return cells.join(u'|');
    }
    int State(int row) const { return rows().StateImage(static_cast<size_t>(row)); }
    // Row index of the file row whose source or target name is `name`; -1 if none.
    int RowOf(const QString& name) const {
        for (int row = 0; row < rowCount(); ++row) {
            if (rows().IsFolderRow(static_cast<size_t>(row))) continue;
            if (model()->cellText(row, 0) == name || model()->cellText(row, 5) == name) return row;
        }
        return -1;
    }

    // Shown and active, with the keyboard focus in the list.
    void ShowWithFocusInList() {
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        view()->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(view()->hasFocus());
    }
};

}  // namespace kirvo::test
