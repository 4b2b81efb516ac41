#include "app/qt/command_actions.h"
#include "platform/qt/qt_translation.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

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
        const QString toolTip = QTr(info.toolTip.data());
        QString text = QTr(info.menuText.data());
        if (text.isEmpty()) text = toolTip;
        action->setText(text);
        action->setIconText(toolTip.isEmpty() ? text.section(u'\t', 0, 0).remove(u'&') : toolTip);
        action->setStatusTip(QTr(info.prompt.data()));
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
    // Each choice of one among several is a radio group: "Vergleichen nach",
    // "Abgleichen als", "Verknüpfungen" and the display filters.
    const auto group = [this](std::initializer_list<CommandId> ids) {
        auto* choices = new QActionGroup(this);
        choices->setExclusive(true);
        for (CommandId id : ids)
            if (QAction* a = action(id)) choices->addAction(a);
    };
    group({AppOptions::CompareCommand(CompareBy::Time), AppOptions::CompareCommand(CompareBy::TimeAndSize),
           AppOptions::CompareCommand(CompareBy::Content)});
    group({AppOptions::SyncCommand(SyncMode::Update), AppOptions::SyncCommand(SyncMode::Mirror),
           AppOptions::SyncCommand(SyncMode::TwoWay)});
    group({AppOptions::LinksCommand(LinkMode::Follow), AppOptions::LinksCommand(LinkMode::Copy),
           AppOptions::LinksCommand(LinkMode::Skip)});
    group({CommandId::FilterAll, CommandId::FilterUnequal, CommandId::FilterSourceToTarget,
           CommandId::FilterTargetToSource, CommandId::FilterEqual});
    QHash<int, QList<QKeySequence>> keys;
    for (const Accelerator& accelerator : CommandTable::Accelerators()) {
        keys[ToInt(accelerator.id)].append(
            QKeySequence::fromString(Text(accelerator.keys), QKeySequence::PortableText));
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        QAction* a = actions_.value(it.key());
        if (!a) continue;
        a->setShortcuts(it.value());
        // The menus name the first key, in the window's language.
        a->setText(a->text().section(u'\t', 0, 0) + u'\t' + KeyText(it.value().first()));
    }
}

QString CommandActions::KeyText(const QKeySequence& keys) {
    QString text = keys.toString(QKeySequence::PortableText);
    if (CurrentLanguage() != UiLanguage::German) return text;
    // The names on a German keyboard.
    static const std::pair<const char*, const char*> kGerman[] = {
        {"Ctrl", "Strg"}, {"Shift", "Umschalt"}, {"Del", "Entf"}, {"Ins", "Einfg"}, {"Backspace", "Rücktaste"},
    };
    QStringList parts = text.split(u'+');
    for (QString& part : parts)
        for (const auto& [english, german] : kGerman)
            if (part == QLatin1String(english)) part = QString::fromUtf8(german);
    return parts.join(u'+');
}

void CommandActions::FillMenuBar(QMenuBar& bar, const std::function<void(QMenu*)>& made) const {
    for (const Menu& menu : CommandTable::MainMenu()) {
        QMenu* qmenu = bar.addMenu(QTr(menu.title.data()));
        made(qmenu);
        for (const MenuItem& item : menu.items) {
            if (item.isSeparator()) {
                qmenu->addSeparator();
            } else if (item.isSubMenu()) {
                QMenu* sub = qmenu->addMenu(QTr(item.subMenuTitle.data()));
                made(sub);
                for (const MenuItem& subItem : item.subItems) {
                    if (subItem.isSeparator()) {
                        sub->addSeparator();
                    } else {
                        sub->addAction(action(subItem.id));
                    }
                }
            } else {
                qmenu->addAction(action(item.id));
            }
        }
    }
}

void CommandActions::FillToolBar(QToolBar& bar) const {
    // Buttons that could never work here (no documents) are left out, with
    // the separator after them; their menu items stay, greyed.
    bool groupShown = false;
    for (CommandId id : CommandTable::Toolbar()) {
        if (id == CommandId::None) {
            if (groupShown) bar.addSeparator();
            groupShown = false;
        } else if (!CommandTable::IsAlwaysDisabled(id)) {
            bar.addAction(action(id));
            groupShown = true;
        }
    }
    // The two commands a comparison is about carry their names.
    for (CommandId id : {CommandId::PfadeVergleichen, CommandId::Synchronize}) {
        if (auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action(id))))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
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
