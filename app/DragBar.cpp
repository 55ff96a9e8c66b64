#include "app/DragBar.h"

#include <QMouseEvent>

TDragBar::TDragBar(Qt::Orientation orientation, QWidget *parent) : QFrame(parent)
{
    setCursor(orientation == Qt::Horizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
    setFrameShape(QFrame::NoFrame);
}

void TDragBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    FStart = event->globalPosition().toPoint();
    FDragging = true;
    emit DragStarted();
}

void TDragBar::mouseMoveEvent(QMouseEvent *event)
{
    if (FDragging && (event->buttons() & Qt::LeftButton))
        emit Dragged(event->globalPosition().toPoint() - FStart);
}

void TDragBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        FDragging = false;
    QFrame::mouseReleaseEvent(event);
}
