#pragma once

#include <QFrame>
#include <QPoint>

// A thin bar that reports left-button drags as movements from where the drag began;
// the window decides what a drag changes.
class TDragBar : public QFrame
{
    Q_OBJECT
public:
    explicit TDragBar(Qt::Orientation orientation, QWidget *parent = nullptr);

signals:
    void DragStarted();
    // Movement since DragStarted, in pixels.
    void Dragged(QPoint delta);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint FStart;
    bool FDragging = false;
};
