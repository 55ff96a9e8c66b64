#include "app/TopPanel.h"

#include "app/CommandRules.h"
#include "app/DragBar.h"
#include "app/MessageWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TTopPanel::TTopPanel(TActionRegistry &actions, std::initializer_list<TCommand> toolbar, TCommand showLog,
                     QWidget *parent)
    : QWidget(parent)
    , FActions(actions)
    , FShowLog(showLog)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlToolbar = new QWidget(this);
    auto *bar = new QHBoxLayout(pnlToolbar);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(0);
    for (const TCommand id : toolbar) {
        QToolButton *button = FActions.MakeButton(id, pnlToolbar);
        button->installEventFilter(this);
        bar->addWidget(button);
    }
    bar->addStretch();
    aviActivity = new QLabel(pnlToolbar);
    bar->addWidget(aviActivity);
    if (const QScreen *screen = this->screen(); screen && screen->logicalDotsPerInch() > 96) {
        QFont font = pnlToolbar->font();
        font.setPointSize(6);
        pnlToolbar->setFont(font);
    }
    layout->addWidget(pnlToolbar);

    barToolbar = new TDragBar(Qt::Horizontal, this);
    barToolbar->setFixedHeight(kToolbarBar);
    barToolbar->setFrameShape(QFrame::HLine);
    layout->addWidget(barToolbar);
    reLog = new TMessageWindow(this);
    layout->addWidget(reLog, 1);

    connect(barToolbar, &TDragBar::DragStarted, this, [this] { FToolbarDragStart = ToolbarHeight(); });
    connect(barToolbar, &TDragBar::Dragged, this, &TTopPanel::DragToolbar);
}

int TTopPanel::ToolbarHeight() const
{
    return pnlToolbar->height();
}

bool TTopPanel::LogShown() const
{
    return !reLog->isHidden();
}

void TTopPanel::SetLogShown(bool shown)
{
    if (shown == LogShown())
        return;
    FActions.SetChecked(FShowLog, shown);
    if (shown) {
        reLog->show();
        setFixedHeight(ToolbarHeight() + kToolbarBar + std::max(FRememberedLogHeight, 12));
    } else {
        FRememberedLogHeight = RememberedLogHeight(reLog->height());
        reLog->hide();
        setFixedHeight(ToolbarHeight() + kToolbarBar);
    }
}

void TTopPanel::SetLargeToolbar(bool large)
{
    FLargeToolbar = large;
    const int height = large ? kToolbarLarge : kToolbarSmall;
    const int logPart = this->height() - ToolbarHeight();
    pnlToolbar->setFixedHeight(height);
    for (QToolButton *button : pnlToolbar->findChildren<QToolButton *>()) {
        button->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        button->setFixedSize(large ? QSize(62, 58) : QSize(36, 30));
    }
    setFixedHeight(height + std::max(logPart, kToolbarBar));
}

void TTopPanel::DragTo(int startHeight, int delta, int limit)
{
    const TTopPanelDrag drag = TopPanelAfterDrag(startHeight, delta, ToolbarHeight(), limit);
    reLog->setVisible(drag.LogShown);
    FActions.SetChecked(FShowLog, drag.LogShown);
    setFixedHeight(drag.Height);
}

void TTopPanel::DragToolbar(QPoint delta)
{
    const int height = ToolbarHeightAfterDrag(FToolbarDragStart, FToolbarDragStart + delta.y());
    if (height != ToolbarHeight())
        SetLargeToolbar(height == kToolbarLarge);
}

bool TTopPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && FLargeToolbar)
        return true;
    return QWidget::eventFilter(watched, event);
}
