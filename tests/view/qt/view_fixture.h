// A main window with the real view, driven as a user would, with the
// questions and sounds going to a script instead of the screen.
#pragma once
#include <QAction>
#include <QApplication>
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
#include "app/user_prompts.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/result_list_model.h"
#include "view/result_rows.h"

namespace kirvo::test {

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

    Window() { view()->setUserPrompts(&prompts); }

    CKirvoView* view() const { return frame.view(); }
    ResultListModel* model() const { return frame.view()->resultModel(); }
    const ResultRows& rows() const { return frame.view()->rows(); }
    int rowCount() const { return model()->rowCount(); }

    void SetOption(Option option, bool on) { view()->options().set(option, on ? 1 : 0); }

    // "Pfade vergleichen" as the menu runs it.
    void Compare(const std::string& source, const std::string& target) {
        view()->pathBar()->setText(PathBar::Side::Source, QString::fromStdString(source));
        view()->pathBar()->setText(PathBar::Side::Target, QString::fromStdString(target));
        frame.OnCommand(CommandId::PfadeVergleichen);
    }
    void Command(CommandId id) { frame.OnCommand(id); }

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
