#pragma once

#include "app/CommandRules.h"

#include <QObject>
#include <QStyle>

#include <functional>
#include <initializer_list>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QToolButton;
class QWidget;

// Every command of the main window, whatever shows it (menu entry, button, pop-up).
enum class TCommand {
    Connect,
    ConnectURL,
    Stop,
    Disconnect,
    DisconnectTransfer,
    DisconnectTransferButton,
    Exit,
    Compare,
    SelectAll,
    InvertSelection,
    LocalUp,
    LocalChangeFolder,
    LocalViewStyle,
    LocalNewView,
    LocalCloseView,
    LocalEdit,
    LocalRefresh,
    LocalNewFolder,
    LocalRename,
    LocalDelete,
    LocalMask,
    LocalProperties,
    HostUp,
    HostChangeFolder,
    HostViewStyle,
    HostNewView,
    HostCloseView,
    HostEdit,
    HostRefresh,
    HostNewFolder,
    HostRename,
    HostDelete,
    HostMask,
    HostProperties,
    Upload,
    Download,
    Preferences,
    ShowTransferManager,
    MaximizeHost,
    ShowLog,
    ShowViewer,
    ShowTransferInfo,
    About,
    // The view-style pop-up of each side, in the order of TListStyle.
    LocalLargeIcons,
    LocalSmallIcons,
    LocalList,
    LocalDetails,
    HostLargeIcons,
    HostSmallIcons,
    HostList,
    HostDetails,
    // Edit with..., Open and View of files, help.
    LocalEditNotePad,
    LocalEditEditor,
    HostEditNotePad,
    HostEditEditor,
    HostOpen,
    HostViewFile,
    HelpContents,
    WhatsThis,
    // The local side's clipboard.
    LocalCut,
    LocalCopy,
    LocalPaste,
    Count
};

// A menu's separator in a list of commands.
constexpr TCommand kSeparator = TCommand::Count;

enum TCommandFlag : unsigned {
    cfNone = 0,
    cfCheckable = 1,
    cfChecked = 2,        // checked at start
    cfStartsDisabled = 4, // a manual command that starts disabled
    cfWidgetShortcut = 8, // the shortcut only works while its widget has the focus
};

// One row of the window's command table, written as
// Row(id, caption).Keys(...).Image(...).Enabled(rule).Does(handler).
struct TCommandRow
{
    TCommandRow(TCommand id, QString caption)
        : Id(id)
        , Caption(std::move(caption))
    {}

    // The button's caption when it differs from the caption without accelerators, and
    // its hint when that differs from the button's caption.
    TCommandRow &Button(QString text, QString hint = {})
    {
        ButtonText = std::move(text);
        Hint = std::move(hint);
        return *this;
    }
    TCommandRow &Keys(QString shortcut)
    {
        Shortcut = std::move(shortcut);
        return *this;
    }
    // A fallback icon of the style, and the icon theme's name for a better one.
    TCommandRow &Image(QStyle::StandardPixmap icon, QString themeIcon = {})
    {
        Icon = icon;
        ThemeIcon = std::move(themeIcon);
        return *this;
    }
    TCommandRow &Enabled(TEnableRule rule)
    {
        Rule = rule;
        return *this;
    }
    TCommandRow &With(unsigned flags)
    {
        Flags = flags;
        return *this;
    }
    // Called with the new check state for a checkable command. Without a handler the
    // command is not built yet and stays disabled whatever its rule says.
    TCommandRow &Does(std::function<void(bool checked)> handler)
    {
        Handler = std::move(handler);
        return *this;
    }

    TCommand Id;
    QString Caption; // menu text, with its accelerator
    QString ButtonText;
    QString Hint;
    QString Shortcut;
    QStyle::StandardPixmap Icon = QStyle::SP_CustomBase; // SP_CustomBase: none
    QString ThemeIcon;
    TEnableRule Rule = TEnableRule::Always;
    unsigned Flags = cfNone;
    std::function<void(bool checked)> Handler;
};

// The window's commands, built once from its table: each command is one QAction that
// its menu entry, its button and its pop-up entry all show, so that their enabled and
// checked states can never disagree.
class TActionRegistry : public QObject
{
    Q_OBJECT
public:
    // The actions are children of `owner`, whose style gives the fallback icons.
    TActionRegistry(QWidget *owner, std::vector<TCommandRow> rows);

    QAction *Action(TCommand id) const;
    // A button showing the command, for a toolbar or a side's tool column.
    QToolButton *MakeButton(TCommand id, QWidget *parent) const;
    // Appends the commands (and kSeparator) to `menu`.
    void Fill(QMenu *menu, std::initializer_list<TCommand> ids) const;
    // Makes the commands a group of which one is checked.
    void MakeExclusive(std::initializer_list<TCommand> ids);

    // Enables every command that follows a rule by the active views' enabling.
    void Apply(const TRemoteCommands &remote, const TLocalCommands &local);
    // Sets a manual command; a command that is not built stays disabled.
    void SetEnabled(TCommand id, bool enabled);
    // Sets a check mark without running the command's handler.
    void SetChecked(TCommand id, bool checked);

private:
    struct TEntry
    {
        QAction *Action = nullptr;
        TEnableRule Rule = TEnableRule::Always;
        bool Built = false;
        QString ButtonText;
        QString Hint;
    };
    const TEntry &Entry(TCommand id) const { return FEntries[std::size_t(id)]; }

    std::vector<TEntry> FEntries;
};
