#pragma once

#include "app/Actions.h"
#include "app/WindowState.h"

#include <QWidget>

class QComboBox;
class QProgressBar;
class QTabWidget;

// The commands one side's bar and tool column show.
struct TSideCommands
{
    TCommand Up, ChangeFolder, ViewStyle, NewView, CloseView;
    TCommand Edit, Refresh, NewFolder, Rename, Delete, Mask;
    TCommand Styles[4]; // in the order of TListStyle
};

TSideCommands SideCommands(TViewSide side);

// One side of the views panel, local or remote alike: a bar with the folder combo and
// the side's buttons, a column of tool buttons, the row of view tabs, and a busy
// indicator over the tabs.
class TSidePanel : public QWidget
{
    Q_OBJECT
public:
    // `folderCombo` becomes the panel's; `spacer` puts a small gap before it.
    TSidePanel(TViewSide side, const TActionRegistry &actions, QComboBox *folderCombo, bool spacer,
               QWidget *parent = nullptr);

    TViewSide Side() const { return FSide; }
    QTabWidget *Tabs() const { return FTabs; }
    QComboBox *FolderCombo() const { return FCombo; }
    // Shown or hidden with the other side.
    QWidget *Spacer() const { return FSpacer; }
    void SetBusy(bool busy);
    bool BusyShown() const;
    // The side's stops for the Tab key: the folder combo, `list` (the active view's parts),
    // the tabs, the bar's buttons and the tool column.
    QList<QWidget *> TabStops(const QList<QWidget *> &list) const;

    // The height of the bar above the tabs.
    static constexpr int BarHeight = 28;
    static constexpr int ToolColumnWidth = 30;

private:
    const TViewSide FSide;
    QTabWidget *FTabs = nullptr;
    QComboBox *FCombo = nullptr;
    QWidget *FSpacer = nullptr;
    QProgressBar *FBusy = nullptr;
    QList<QWidget *> FButtons;
};
