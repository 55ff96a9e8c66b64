#include "transfers/CopyAnimation.h"

#include <QPainter>
#include <QStyle>
#include <QTimer>

#include <cmath>

namespace {

constexpr int FrameMS = 60;
constexpr int IconSize = 40;

} // namespace

TCopyAnimation::TCopyAnimation(QWidget *parent)
    : QWidget(parent)
    , FTimer(new QTimer(this))
    , FFolder(style()->standardIcon(QStyle::SP_DirIcon))
    , FPage(style()->standardIcon(QStyle::SP_FileIcon))
{
    FTimer->setInterval(FrameMS);
    connect(FTimer, &QTimer::timeout, this, [this] {
        FFrame = (FFrame + 1) % FrameCount;
        update();
    });
}

void TCopyAnimation::Start()
{
    FTimer->start();
}

void TCopyAnimation::Stop()
{
    FTimer->stop();
    FFrame = 0;
    update();
}

bool TCopyAnimation::Playing() const
{
    return FTimer->isActive();
}

QSize TCopyAnimation::sizeHint() const
{
    return {IconSize * 8, IconSize + 16};
}

void TCopyAnimation::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int top = height() - IconSize;
    const int left = 4;
    const int right = width() - IconSize - 4;
    FFolder.paint(&painter, left, top, IconSize, IconSize);
    FFolder.paint(&painter, right, top, IconSize, IconSize);
    if (!Playing())
        return;
    // The page rises out of the left folder and falls into the right one.
    const double t = double(FFrame) / (FrameCount - 1);
    const int pageSize = IconSize * 3 / 4;
    const int x = left + int(t * (right - left));
    const int y = top - int(std::sin(t * M_PI) * 10) + (IconSize - pageSize) / 2;
    FPage.paint(&painter, x + (IconSize - pageSize) / 2, y, pageSize, pageSize);
}
