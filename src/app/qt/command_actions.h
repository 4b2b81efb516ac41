#pragma once
#include <QHash>
#include <QObject>
#include <QString>

#include "view/command_id.h"

class QAction;
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

    void setEnabled(CommandId id, bool enabled);
    void setChecked(CommandId id, bool checked);

    static CommandId IdOf(const QAction* action);
    static QString Text(std::string_view utf8);

signals:
    void commandTriggered(kirvo::CommandId id);

private:
    QHash<int, QAction*> actions_;
};

}  // namespace kirvo
