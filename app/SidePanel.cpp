#include "app/SidePanel.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

TSideCommands SideCommands(TViewSide side)
{
    using C = TCommand;
    if (side == vsHost)
        return {C::HostUp,        C::HostChangeFolder,
                C::HostViewStyle, C::HostNewView,
                C::HostCloseView, C::HostEdit,
                C::HostRefresh,   C::HostNewFolder,
                C::HostRename,    C::HostDelete,
                C::HostMask,      {C::HostLargeIcons, C::HostSmallIcons, C::HostList, C::HostDetails}};
    return {C::LocalUp,        C::LocalChangeFolder,
            C::LocalViewStyle, C::LocalNewView,
            C::LocalCloseView, C::LocalEdit,
            C::LocalRefresh,   C::LocalNewFolder,
            C::LocalRename,    C::LocalDelete,
            C::LocalMask,      {C::LocalLargeIcons, C::LocalSmallIcons, C::LocalList, C::LocalDetails}};
}

TSidePanel::TSidePanel(TViewSide side, const TActionRegistry &actions, QComboBox *folderCombo, bool spacer,
                       QWidget *parent)
    : QWidget(parent)
    , FSide(side)
    , FCombo(folderCombo)
{
    const TSideCommands commands = SideCommands(side);
    // A narrow side clips its status bar rather than widening the window.
    setMinimumWidth(2 * ToolColumnWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QWidget(this);
    bar->setFixedHeight(BarHeight);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    if (spacer) {
        FSpacer = new QWidget(bar);
        FSpacer->setFixedWidth(4);
        barLayout->addWidget(FSpacer);
    }
    FCombo->setParent(bar);
    FCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FCombo->setMinimumContentsLength(4);
    barLayout->addWidget(FCombo, 1);
    QToolButton *styleButton = nullptr;
    for (const TCommand id :
         {commands.Up, commands.ChangeFolder, commands.ViewStyle, commands.NewView, commands.CloseView}) {
        QToolButton *button = actions.MakeButton(id, bar);
        FButtons << button;
        if (id == commands.ViewStyle)
            styleButton = button;
        barLayout->addWidget(button);
    }
    auto *styleMenu = new QMenu(styleButton);
    actions.Fill(styleMenu, {commands.Styles[0], commands.Styles[1], commands.Styles[2], commands.Styles[3]});
    styleButton->setMenu(styleMenu);
    styleButton->setPopupMode(QToolButton::MenuButtonPopup);
    layout->addWidget(bar);

    auto *body = new QWidget(this);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    auto *tools = new QWidget(body);
    tools->setFixedWidth(ToolColumnWidth);
    auto *toolsLayout = new QVBoxLayout(tools);
    toolsLayout->setContentsMargins(0, 0, 0, 0);
    toolsLayout->setSpacing(0);
    for (const TCommand id : {commands.Edit, commands.Refresh, commands.NewFolder, commands.Rename,
                              commands.Delete, commands.Mask}) {
        FButtons << actions.MakeButton(id, tools);
        toolsLayout->addWidget(FButtons.back());
    }
    toolsLayout->addStretch();
    bodyLayout->addWidget(tools);
    FTabs = new QTabWidget(body);
    FTabs->setTabPosition(QTabWidget::South);
    FTabs->setDocumentMode(true);
    bodyLayout->addWidget(FTabs, 1);
    layout->addWidget(body, 1);

    FBusy = new QProgressBar(FTabs);
    FBusy->setRange(0, 0);
    FBusy->setTextVisible(false);
    FBusy->setFixedSize(120, 14);
    FBusy->hide();
}

void TSidePanel::SetBusy(bool busy)
{
    if (busy) {
        FBusy->move((FTabs->width() - FBusy->width()) / 2, (FTabs->height() - FBusy->height()) / 2);
        FBusy->raise();
    }
    FBusy->setVisible(busy);
}

QList<QWidget *> TSidePanel::TabStops(const QList<QWidget *> &list) const
{
    return QList<QWidget *>{FCombo} + list + QList<QWidget *>{FTabs->tabBar()} + FButtons;
}

bool TSidePanel::BusyShown() const
{
    return !FBusy->isHidden();
}
