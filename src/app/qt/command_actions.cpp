#include "app/qt/command_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QKeySequence>

#include "app/app_options.h"
#include "app/command_table.h"

namespace kirvo {
namespace {

bool IsCheckable(CommandId id) {
    switch (id) {
    case CommandId::FilterAll:
    case CommandId::FilterUnequal:
    case CommandId::FilterSourceToTarget:
    case CommandId::FilterTargetToSource:
    case CommandId::FilterEqual:
    case CommandId::ViewToolbar:
    case CommandId::ViewStatusBar:
    case CommandId::ViewOutputBar:
        return true;
    default:
        return AppOptions::ForCommand(id) != nullptr || AppOptions::IsCompareCommand(id) ||
               AppOptions::IsSyncCommand(id) || AppOptions::IsLinksCommand(id);
    }
}

}  // namespace

QString CommandActions::Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

CommandActions::CommandActions(QObject* parent) : QObject(parent) {
    for (const CommandInfo& info : CommandTable::Commands()) {
        auto* action = new QAction(this);
        const QString toolTip = Text(info.toolTip);
        QString text = Text(info.menuText);
        if (text.isEmpty()) text = toolTip;
        action->setText(text);
        action->setIconText(toolTip.isEmpty() ? text.section(u'\t', 0, 0).remove(u'&') : toolTip);
        action->setStatusTip(Text(info.prompt));
        if (!toolTip.isEmpty()) action->setToolTip(toolTip);
        if (!info.icon.empty()) action->setIcon(QIcon(QStringLiteral(":/icons/") + Text(info.icon)));
        action->setCheckable(IsCheckable(info.id));
        // A menu draws a checked item that shows an icon as a sunken icon,
        // without a check mark; toolbar buttons keep the icon and look pressed.
        if (action->isCheckable()) action->setIconVisibleInMenu(false);
        action->setMenuRole(QAction::NoRole);
        action->setData(ToInt(info.id));
        const CommandId id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
        actions_.insert(ToInt(info.id), action);
    }
    // "Abgleichen als" is one choice of three: shown as a radio group.
    auto* syncModes = new QActionGroup(this);
    syncModes->setExclusive(true);
    for (SyncMode mode : {SyncMode::Update, SyncMode::Mirror, SyncMode::TwoWay})
        if (QAction* a = action(AppOptions::SyncCommand(mode))) syncModes->addAction(a);
    QHash<int, QList<QKeySequence>> keys;
    for (const Accelerator& accelerator : CommandTable::Accelerators()) {
        keys[ToInt(accelerator.id)].append(
            QKeySequence::fromString(Text(accelerator.keys), QKeySequence::PortableText));
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        if (QAction* a = actions_.value(it.key())) a->setShortcuts(it.value());
    }
}

void CommandActions::setEnabled(CommandId id, bool enabled) {
    if (QAction* a = action(id)) a->setEnabled(enabled);
}

void CommandActions::setChecked(CommandId id, bool checked) {
    if (QAction* a = action(id)) a->setChecked(checked);
}

CommandId CommandActions::IdOf(const QAction* action) {
    return action ? static_cast<CommandId>(action->data().toInt()) : CommandId::None;
}

}  // namespace kirvo
