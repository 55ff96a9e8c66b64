#include "app/TopPanel.h"

#include "app/CommandRules.h"
#include "app/DragBar.h"
#include "app/InternalViewer.h"
#include "app/MessageWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStackedWidget>
#include <QTimer>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSmallIcon = 20;
constexpr int kLargeIcon = 16;

} // namespace

QString WrappedCaption(const QString &caption, const QFontMetrics &metrics, int width, int lines)
{
    QStringList result;
    for (const QString &word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = result.isEmpty() ? word : result.back() + QLatin1Char(' ') + word;
        if (!result.isEmpty() && (metrics.horizontalAdvance(longer) <= width || result.size() == lines))
            result.back() = longer;
        else
            result << word;
    }
    for (QString &line : result)
        line = metrics.elidedText(line, Qt::ElideRight, width);
    return result.join(QLatin1Char('\n'));
}

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
    pnlToolbar->setObjectName(QStringLiteral("pnlToolbar"));
    auto *bar = new QHBoxLayout(pnlToolbar);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(0);
    for (const TCommand id : toolbar) {
        QToolButton *button = FActions.MakeButton(id, pnlToolbar);
        FCaptions.emplace_back(FActions.Action(id), FActions.Action(id)->iconText());
        // Like any toolbar's: every one of these commands has its menu entry and key.
        button->setFocusPolicy(Qt::NoFocus);
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
    FCaptionFont = pnlToolbar->font();
    FCaptionFont.setPointSizeF(std::min(FCaptionFont.pointSizeF(), 7.0));
    layout->addWidget(pnlToolbar);

    barToolbar = new TDragBar(Qt::Horizontal, this);
    barToolbar->setObjectName(QStringLiteral("barToolbar"));
    barToolbar->setFixedHeight(kToolbarBar);
    barToolbar->setFrameShape(QFrame::HLine);
    layout->addWidget(barToolbar);
    pnlMessages = new QStackedWidget(this);
    reLog = new TMessageWindow(pnlMessages);
    FViewer = new TInternalViewer(pnlMessages);
    pnlMessages->addWidget(reLog);
    pnlMessages->addWidget(FViewer);
    layout->addWidget(pnlMessages, 1);

    aviActivity->setFixedSize(24, 24);
    FActivityTimer = new QTimer(this);
    FActivityTimer->setInterval(100);
    connect(FActivityTimer, &QTimer::timeout, this, &TTopPanel::DrawActivityFrame);

    connect(barToolbar, &TDragBar::DragStarted, this, [this] { FToolbarDragStart = ToolbarHeight(); });
    connect(barToolbar, &TDragBar::Dragged, this, &TTopPanel::DragToolbar);
}

int TTopPanel::ToolbarHeight() const
{
    return pnlToolbar->height();
}

bool TTopPanel::LogShown() const
{
    return !pnlMessages->isHidden();
}

void TTopPanel::SetLogShown(bool shown)
{
    if (shown == LogShown())
        return;
    FActions.SetChecked(FShowLog, shown);
    if (shown) {
        pnlMessages->show();
        setFixedHeight(ToolbarHeight() + kToolbarBar + std::max(FRememberedLogHeight, 12));
    } else {
        FRememberedLogHeight = RememberedLogHeight(pnlMessages->height());
        pnlMessages->hide();
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
        button->setIconSize(large ? QSize(kLargeIcon, kLargeIcon) : QSize(kSmallIcon, kSmallIcon));
        button->setFont(large ? FCaptionFont : pnlToolbar->font());
    }
    // Most captions are wider than a button: they take up to three short lines.
    const QFontMetrics metrics(FCaptionFont);
    for (const auto &[action, caption] : FCaptions)
        action->setIconText(large ? WrappedCaption(caption, metrics, 62 - 4, 3) : caption);
    setFixedHeight(height + std::max(logPart, kToolbarBar));
}

void TTopPanel::DragTo(int startHeight, int delta, int limit)
{
    const TTopPanelDrag drag = TopPanelAfterDrag(startHeight, delta, ToolbarHeight(), limit);
    pnlMessages->setVisible(drag.LogShown);
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

bool TTopPanel::ViewerShown() const
{
    return pnlMessages->currentWidget() == FViewer;
}

void TTopPanel::SetViewerShown(bool shown)
{
    pnlMessages->setCurrentWidget(shown ? static_cast<QWidget *>(FViewer) : reLog);
    // A viewer squeezed to nothing would show nothing.
    if (shown && !LogShown())
        SetLogShown(true);
}

void TTopPanel::SetActivity(bool playing)
{
    if (playing == ActivityPlaying())
        return;
    if (playing) {
        FActivityTimer->start();
        DrawActivityFrame();
    } else {
        FActivityTimer->stop();
        aviActivity->clear();
    }
}

bool TTopPanel::ActivityPlaying() const
{
    return FActivityTimer->isActive();
}

void TTopPanel::DrawActivityFrame()
{
    const qreal ratio = devicePixelRatioF();
    QPixmap frame(aviActivity->size() * ratio);
    frame.setDevicePixelRatio(ratio);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3, Qt::SolidLine, Qt::RoundCap));
    FActivityFrame = (FActivityFrame + 1) % 12;
    painter.drawArc(QRectF(4, 4, 16, 16), -FActivityFrame * 30 * 16, 90 * 16);
    painter.end();
    aviActivity->setPixmap(frame);
}
