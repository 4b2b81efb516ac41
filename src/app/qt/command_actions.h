#pragma once
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

#include "view/command_id.h"

class QAction;
class QKeySequence;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace kirvo {

// One QAction per command of the command table, with its text, prompt
// (status tip), tool tip, icon, accelerators and check-ability. Menus,
// toolbar and accelerators share these actions, so enabling or checking a
// command shows everywhere at once. Triggering an action emits
// commandTriggered with its id; routing to a handler is the frame's job.
class CommandActions : public QObject {
    Q_OBJECT
public:
    explicit CommandActions(QObject* parent = nullptr);

    // nullptr for an id without an action.
    QAction* action(CommandId id) const { return actions_.value(ToInt(id)); }
    QList<QAction*> all() const { return actions_.values(); }

    // The main menu of the command table; `made` is called with each menu and
    // sub-menu as it is made.
    void FillMenuBar(QMenuBar& bar, const std::function<void(QMenu*)>& made) const;
    // The toolbar's buttons of the command table.
    void FillToolBar(QToolBar& bar) const;

    void setEnabled(CommandId id, bool enabled);
    void setChecked(CommandId id, bool checked);

    static CommandId IdOf(const QAction* action);
    static QString Text(std::string_view utf8);
    // Keys as the menus name them, in the window's language: "Strg+C",
    // "Entf" / "Ctrl+C", "Del".
    static QString KeyText(const QKeySequence& keys);

signals:
    void commandTriggered(kirvo::CommandId id);

private:
    QHash<int, QAction*> actions_;
};

}  // namespace kirvo
