#include "app/ViewsPanel.h"

#include "app/CommandRules.h"
#include "app/DragBar.h"
#include "app/SidePanel.h"
#include "views/TreeCombo.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kToolColumn = TSidePanel::ToolColumnWidth;

} // namespace

TViewsPanel::TViewsPanel(const TActionRegistry &actions, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *localCombo = new QComboBox;
    localCombo->setEditable(true);
    localCombo->setInsertPolicy(QComboBox::NoInsert);
    pnlLocal = new TSidePanel(vsLocal, actions, localCombo, false, this);
    layout->addWidget(pnlLocal);

    pnlCentre = new TDragBar(Qt::Vertical, this);
    pnlCentre->setFixedWidth(CentreWidth);
    auto *centreLayout = new QVBoxLayout(pnlCentre);
    centreLayout->setContentsMargins(2, 0, 2, 0);
    centreLayout->addStretch();
    for (const TCommand id : {TCommand::Upload, TCommand::Download}) {
        FCentreButtons << actions.MakeButton(id, pnlCentre);
        centreLayout->addWidget(FCentreButtons.back());
    }
    centreLayout->addStretch();
    layout->addWidget(pnlCentre);

    cmboHostTree = new TTreeCombo;
    cmboHostTree->setEnabled(false);
    pnlHost = new TSidePanel(vsHost, actions, cmboHostTree, true, this);
    layout->addWidget(pnlHost, 1);

    installEventFilter(this);
    connect(pnlCentre, &TDragBar::DragStarted, this, [this] { FCentreDragStart = pnlLocal->width(); });
    connect(pnlCentre, &TDragBar::Dragged, this, [this](QPoint delta) {
        pnlLocal->setFixedWidth(
            LocalWidthAfterDrag(FCentreDragStart, delta.x(), kToolColumn, width(), CentreWidth, kToolColumn));
    });
}

bool TViewsPanel::HostMaximized() const
{
    return pnlLocal->isHidden();
}

void TViewsPanel::SetHostMaximized(bool maximized)
{
    pnlLocal->setVisible(!maximized);
    pnlCentre->setVisible(!maximized);
    pnlHost->Spacer()->setVisible(!maximized);
}

void TViewsPanel::ShareEvenly(int windowWidth)
{
    pnlLocal->setFixedWidth(std::max((windowWidth - CentreWidth) / 2, 2 * kToolColumn));
}

bool TViewsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::Resize) {
        const auto *resize = static_cast<QResizeEvent *>(event);
        if (resize->oldSize().width() > 0)
            pnlLocal->setFixedWidth(LocalWidthAfterResize(pnlLocal->width(), resize->oldSize().width(),
                                                          resize->size().width(), kToolColumn, CentreWidth,
                                                          kToolColumn));
    }
    return QWidget::eventFilter(watched, event);
}
