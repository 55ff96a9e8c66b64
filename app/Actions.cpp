#include "app/Actions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

#include <map>

namespace {

QString WithoutAccelerators(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    return caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

} // namespace

TActionRegistry::TActionRegistry(QWidget *owner, std::vector<TCommandRow> rows)
    : QObject(owner)
    , FEntries(std::size_t(TCommand::Count))
{
    // Commands share icons, and the style reads every size of one each time it is asked.
    std::map<QStyle::StandardPixmap, QIcon> styleIcons;
    for (TCommandRow &row : rows) {
        TEntry &entry = FEntries[std::size_t(row.Id)];
        Q_ASSERT(!entry.Action);
        auto *action = new QAction(row.Caption, owner);
        entry.Action = action;
        entry.Rule = row.Rule;
        entry.Built = bool(row.Handler);
        entry.ButtonText = row.ButtonText.isEmpty() ? WithoutAccelerators(row.Caption) : row.ButtonText;
        entry.Hint = row.Hint.isEmpty() ? entry.ButtonText : row.Hint;
        // Buttons show the caption as it is written ("Edit with...").
        action->setIconText(entry.ButtonText);
        action->setToolTip(entry.Hint);
        if (!row.Shortcut.isEmpty())
            action->setShortcut(QKeySequence(row.Shortcut));
        if (row.Flags & cfWidgetShortcut)
            action->setShortcutContext(Qt::WidgetShortcut);
        if (row.Icon != QStyle::SP_CustomBase) {
            auto known = styleIcons.find(row.Icon);
            if (known == styleIcons.end())
                known = styleIcons.emplace(row.Icon, owner->style()->standardIcon(row.Icon)).first;
            const QIcon &fallback = known->second;
            action->setIcon(row.ThemeIcon.isEmpty() ? fallback : QIcon::fromTheme(row.ThemeIcon, fallback));
        }
        action->setCheckable(row.Flags & cfCheckable);
        action->setChecked(row.Flags & cfChecked);
        action->setEnabled(entry.Built && !(row.Flags & cfStartsDisabled));
        if (!entry.Built)
            continue;
        if (action->isCheckable())
            connect(action, &QAction::toggled, this, std::move(row.Handler));
        else
            connect(action, &QAction::triggered, this, std::move(row.Handler));
    }
}

QAction *TActionRegistry::Action(TCommand id) const
{
    return Entry(id).Action;
}

QToolButton *TActionRegistry::MakeButton(TCommand id, QWidget *parent) const
{
    auto *button = new QToolButton(parent);
    button->setDefaultAction(Action(id));
    button->setAutoRaise(true);
    return button;
}

void TActionRegistry::Fill(QMenu *menu, std::initializer_list<TCommand> ids) const
{
    for (const TCommand id : ids) {
        if (id == kSeparator)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
}

void TActionRegistry::MakeExclusive(std::initializer_list<TCommand> ids)
{
    auto *group = new QActionGroup(this);
    for (const TCommand id : ids)
        group->addAction(Action(id));
}

void TActionRegistry::Apply(const TRemoteCommands &remote, const TLocalCommands &local)
{
    for (const TEntry &entry : FEntries) {
        if (entry.Action && entry.Rule != TEnableRule::Always && entry.Rule != TEnableRule::Manual)
            entry.Action->setEnabled(entry.Built && RuleAllows(entry.Rule, remote, local));
    }
}

void TActionRegistry::SetEnabled(TCommand id, bool enabled)
{
    const TEntry &entry = Entry(id);
    entry.Action->setEnabled(entry.Built && enabled);
}

void TActionRegistry::SetChecked(TCommand id, bool checked)
{
    QAction *action = Action(id);
    {
        const QSignalBlocker blocker(action);
        action->setChecked(checked);
    }
    // An exclusive group learns its checked entry from this signal; without it, choosing
    // the entry already marked would take its mark away.
    if (action->actionGroup())
        emit action->changed();
}
