#include "transfers/TransferProgress.h"

#include "engine/Trace.h"
#include "transfers/CopyAnimation.h"
#include "transfers/LogColor.h"
#include "transfers/TransferDisplay.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

const QString ProgramTitle = QStringLiteral("Ferrow");
// The log keeps as many lines as a view's log does.
constexpr int MaxLogLines = 800;
constexpr int LogFlushMS = 200;
constexpr int DisplayIntervalMS = 100;
constexpr int WindowWidth = 420;

QLabel *NewLabel(QWidget *parent, const char *name, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(alignment | Qt::AlignVCenter);
    // The figures on the right take what they need; a long name on the left is cut.
    label->setSizePolicy(alignment & Qt::AlignRight ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                         QSizePolicy::Fixed);
    return label;
}

QProgressBar *NewBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    return bar;
}

QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TfrmTransfer::TfrmTransfer(TTransferItems &queue, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , FQueue(queue)
{
    CreateControls();
    FStampTimer = new QTimer(this);
    FStampTimer->setSingleShot(true);
    FStampTimer->setInterval(0);
    connect(FStampTimer, &QTimer::timeout, this, &TfrmTransfer::ApplyPendingStamps);

    FQueueConnections +=
        FQueue.OnItemStarted.Connect([this](TTransferItems &, TTransferItem &item) { ItemStarted(item); });
    FQueueConnections += FQueue.OnItemProgress.Connect([this](TTransferItems &, TTransferItem &item) {
        if (&item == FCurrentItem)
            ScheduleDisplay();
    });
    FQueueConnections +=
        FQueue.OnItemFinished.Connect([this](TTransferItems &, TTransferItem &item) { ItemFinished(item); });
    // Only the queue knows when a run is over: an item that fails at once may be
    // followed by others its submitter is still adding.
    FQueueConnections += FQueue.OnRunEnded.Connect([this](TTransferItems &) {
        EndRun();
        FEndReported = false;
    });
    FQueueConnections += FQueue.OnItemRemoved.Connect([this](TTransferItems &, TTransferItem &item) {
        if (&item == FCurrentItem)
            FCurrentItem = nullptr;
    });
    FQueueConnections += FQueue.OnConnect.Connect([this](TFTPComponent *) { emit TransferConnected(true); });
    FQueueConnections +=
        FQueue.OnDisconnect.Connect([this](TFTPComponent *) { emit TransferConnected(false); });
    FQueueConnections += FQueue.OnError.Connect([this](TFTPComponent *, int, const std::string &desc) {
        const QString text = DisplayText(desc);
        emit TransferError(QStringLiteral("Transfer Thread Error: ") + text);
        AddLogLine(text, LogColor(clLogError));
    });
    FQueueConnections +=
        FQueue.OnLog.Connect([this](TFTPComponent *, const std::string &message, TColor color) {
            AddLogLine(DisplayText(message), LogColor(color));
        });

    ResetDisplay();
    HideDetails();
}

TfrmTransfer::~TfrmTransfer()
{
    ApplyPendingStamps();
}

void TfrmTransfer::CreateControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *pnlProgress = new QWidget(this);
    pnlProgress->setFixedHeight(DetailsHiddenHeight);
    auto *grid = new QGridLayout(pnlProgress);
    grid->setContentsMargins(10, 6, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(0, 1);

    aviTransfer = new TCopyAnimation(pnlProgress);
    aviTransfer->setObjectName(QStringLiteral("aviTransfer"));
    lblFileName = NewLabel(pnlProgress, "lblFileName");
    lblCurrentBytes = NewLabel(pnlProgress, "lblCurrentBytes", Qt::AlignRight);
    pbCurrent = NewBar(pnlProgress, "pbCurrent");
    lblCurrentElapsed = NewLabel(pnlProgress, "lblCurrentElapsed");
    lblCurrentRemaining = NewLabel(pnlProgress, "lblCurrentRemaining", Qt::AlignRight);
    btnSkip = NewButton(pnlProgress, "btnSkip", tr("&Skip"));
    lblFileCount = NewLabel(pnlProgress, "lblFileCount");
    lblTotalBytes = NewLabel(pnlProgress, "lblTotalBytes", Qt::AlignRight);
    pbTotal = NewBar(pnlProgress, "pbTotal");
    lblTotalElapsed = NewLabel(pnlProgress, "lblTotalElapsed");
    lblTotalRemaining = NewLabel(pnlProgress, "lblTotalRemaining", Qt::AlignRight);
    btnCancel = NewButton(pnlProgress, "btnCancel", tr("&Cancel"));
    btnToggleDetails = NewButton(pnlProgress, "btnToggleDetails", tr("&Details >>"));

    grid->addWidget(aviTransfer, 0, 0, 1, 3);
    grid->addWidget(lblFileName, 1, 0);
    grid->addWidget(lblCurrentBytes, 1, 1);
    grid->addWidget(pbCurrent, 2, 0, 1, 2);
    grid->addWidget(btnSkip, 2, 2);
    grid->addWidget(lblCurrentElapsed, 3, 0);
    grid->addWidget(lblCurrentRemaining, 3, 1);
    grid->addItem(new QSpacerItem(0, 8, QSizePolicy::Minimum, QSizePolicy::Expanding), 4, 0);
    grid->addWidget(lblFileCount, 5, 0);
    grid->addWidget(lblTotalBytes, 5, 1);
    grid->addWidget(pbTotal, 6, 0, 1, 2);
    grid->addWidget(btnCancel, 6, 2);
    grid->addWidget(lblTotalElapsed, 7, 0);
    grid->addWidget(lblTotalRemaining, 7, 1);
    grid->addWidget(btnToggleDetails, 7, 2);
    outer->addWidget(pnlProgress);

    TransferLog = new QPlainTextEdit(this);
    TransferLog->setObjectName(QStringLiteral("TransferLog"));
    TransferLog->setReadOnly(true);
    TransferLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    TransferLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TransferLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TransferLog->setMaximumBlockCount(MaxLogLines);
    TransferLog->setFixedHeight(LogHeight);
    QFont small = TransferLog->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    TransferLog->setFont(small);
    auto *logRow = new QHBoxLayout;
    logRow->setContentsMargins(8, 0, 8, 8);
    logRow->addWidget(TransferLog);
    outer->addLayout(logRow);

    FLogTimer = new QTimer(this);
    FLogTimer->setSingleShot(true);
    FLogTimer->setInterval(LogFlushMS);
    connect(FLogTimer, &QTimer::timeout, this, &TfrmTransfer::FlushLog);
    FDisplayTimer = new QTimer(this);
    FDisplayTimer->setSingleShot(true);
    connect(FDisplayTimer, &QTimer::timeout, this, [this] {
        if (FCurrentItem)
            UpdateDisplay(*FCurrentItem);
    });
    tmrProgress = new QTimer(this);
    tmrProgress->setInterval(1000);
    connect(tmrProgress, &QTimer::timeout, this, [this] {
        if (FCurrentItem)
            UpdateDisplay(*FCurrentItem);
    });
    tmrProgress->start();

    connect(btnSkip, &QPushButton::clicked, this, &TfrmTransfer::SkipClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmTransfer::CancelClick);
    connect(btnToggleDetails, &QPushButton::clicked, this, &TfrmTransfer::ToggleDetailsClick);
    // Skip is the default button, Cancel the cancel button.
    connect(new QShortcut(Qt::Key_Return, this), &QShortcut::activated, btnSkip, &QPushButton::click);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, btnCancel, &QPushButton::click);
    setFixedWidth(WindowWidth);
}

void TfrmTransfer::ResetDisplay()
{
    setWindowTitle(QString());
    lblFileName->clear();
    lblCurrentBytes->setText(BytesCopiedText(0, 0));
    pbCurrent->setValue(0);
    pbTotal->setValue(0);
    for (QLabel *label : {lblCurrentElapsed, lblCurrentRemaining, lblFileCount, lblTotalBytes,
                          lblTotalElapsed, lblTotalRemaining})
        label->clear();
}

void TfrmTransfer::ScheduleDisplay()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 due = FLastDisplay + DisplayIntervalMS;
    if (now >= due && FCurrentItem) {
        UpdateDisplay(*FCurrentItem);
        return;
    }
    if (!FDisplayTimer->isActive())
        FDisplayTimer->start(int(std::clamp<qint64>(due - now, 0, DisplayIntervalMS)));
}

void TfrmTransfer::UpdateDisplay(const TTransferItem &item)
{
    FLastDisplay = QDateTime::currentMSecsSinceEpoch();
    FDisplayTimer->stop();
    if (TTransferHost *host = FQueue.Host())
        host->StartActivity();
    const TProgressTexts texts = ProgressTexts(ProgressFigures(FQueue, item));
    lblFileName->setText(texts.FileName);
    lblCurrentBytes->setText(texts.CurrentBytes);
    pbCurrent->setValue(texts.CurrentPercent);
    lblCurrentElapsed->setText(texts.CurrentElapsed);
    lblCurrentRemaining->setText(texts.CurrentRemaining);
    lblFileCount->setText(texts.FileCount);
    lblTotalBytes->setText(texts.TotalBytes);
    pbTotal->setValue(texts.TotalPercent);
    lblTotalElapsed->setText(texts.TotalElapsed);
    lblTotalRemaining->setText(texts.TotalRemaining);
    if (isVisible()) {
        SetApplicationTitle(ProgramTitle);
        setWindowTitle(texts.ShownCaption);
    } else {
        // The taskbar carries the text of the previous update.
        SetApplicationTitle(windowTitle());
        setWindowTitle(texts.HiddenCaption);
    }
    if (texts.StatusText.isEmpty())
        SetApplicationTitle(ProgramTitle);
    else
        SetStatusText(texts.StatusText);
}

void TfrmTransfer::ItemStarted(TTransferItem &item)
{
    // A file written again must not take the earlier copy's date while it arrives.
    if (item.Direction == tdDownload
        && std::any_of(
            FPendingStamps.begin(), FPendingStamps.end(),
            [target = DownloadTarget(item)](const TFileStamp &stamp) { return stamp.Path == target; }))
        ApplyPendingStamps();
    FCurrentItem = &item;
    FEndReported = false;
    AddLogLine(QString(), LogColor(clLogInfo));
    TraceFmt("...transfering next file: %s", item.Name.c_str());
    // The item starts again once its engine has logged on; only then can it be stopped.
    const bool loggedOn = item.Engine() && item.Engine()->LoggedIn();
    btnSkip->setEnabled(loggedOn);
    btnCancel->setEnabled(loggedOn);
    ScheduleDisplay();
}

void TfrmTransfer::ItemFinished(TTransferItem &item)
{
    // Dated once the next file is on its way, so that its engine does not wait for it;
    // the last file of a run is dated before the run ends.
    if (std::optional<TFileStamp> stamp = DownloadStamp(item, FQueue.Settings())) {
        FPendingStamps.push_back(std::move(*stamp));
        FStampTimer->start();
    }
    if (&item == FCurrentItem)
        FCurrentItem = nullptr;
    if (FQueue.CountOf(tsPending) == 0)
        return; // the queue's end of the run follows
    TraceFmt("...finishing: %s", item.Name.c_str());
    emit FileTransferred();
}

void TfrmTransfer::ApplyPendingStamps()
{
    FStampTimer->stop();
    for (const TFileStamp &stamp : std::exchange(FPendingStamps, {}))
        ApplyFileStamp(stamp);
}

void TfrmTransfer::EndRun()
{
    ApplyPendingStamps();
    FCurrentItem = nullptr;
    FDisplayTimer->stop();
    SetStatusText(QString());
    hide();
    ResetDisplay();
    SetApplicationTitle(ProgramTitle);
    if (!FEndReported) {
        FEndReported = true;
        emit AllTransferred();
    }
}

void TfrmTransfer::SkipClick()
{
    if (!FCurrentItem || !btnSkip->isEnabled())
        return;
    btnSkip->setEnabled(false);
    SetStatusText(QStringLiteral("Cancelling file..."));
    TTransferItem *item = FCurrentItem;
    item->Cancel();
    item->SetStatus(tsCancelled);
}

void TfrmTransfer::CancelClick()
{
    if (!FCurrentItem || !btnCancel->isEnabled())
        return;
    btnSkip->setEnabled(false);
    btnCancel->setEnabled(false);
    SetStatusText(QStringLiteral("Cancelling all pending files..."));
    TTransferItem *item = FCurrentItem;
    for (int i = 0; i < FQueue.Count(); ++i) {
        TTransferItem *other = FQueue.Items(i);
        if (other->Status() == tsPending)
            other->SetStatus(tsCancelled);
    }
    item->Cancel();
    item->SetStatus(tsCancelled);
    EndRun();
}

void TfrmTransfer::ToggleDetailsClick()
{
    if (FDetailsShown)
        HideDetails();
    else
        ShowDetails();
}

void TfrmTransfer::ShowDetails()
{
    FDetailsShown = true;
    btnToggleDetails->setText(tr("<< &Details"));
    TransferLog->show();
    setFixedHeight(DetailsShownHeight);
    FlushLog();
}

void TfrmTransfer::HideDetails()
{
    FDetailsShown = false;
    btnToggleDetails->setText(tr("&Details >>"));
    TransferLog->hide();
    setFixedHeight(DetailsHiddenHeight);
}

void TfrmTransfer::AddLogLine(const QString &line, const QColor &color)
{
    FPendingLog.push_back({line, color});
    if (FPendingLog.size() > std::size_t(MaxLogLines))
        FPendingLog.pop_front();
    if (FDetailsShown && isVisible() && !FLogTimer->isActive())
        FLogTimer->start();
}

void TfrmTransfer::FlushLog()
{
    if (FPendingLog.empty())
        return;
    QTextCursor cursor(TransferLog->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const TLogLine &line : FPendingLog) {
        if (FLogStarted)
            cursor.insertBlock();
        FLogStarted = true;
        QTextCharFormat format;
        format.setForeground(line.Color);
        cursor.insertText(line.Text, format);
    }
    cursor.endEditBlock();
    FPendingLog.clear();
    TransferLog->moveCursor(QTextCursor::End);
    TransferLog->ensureCursorVisible();
}

void TfrmTransfer::SetStatusText(const QString &text)
{
    if (TTransferHost *host = FQueue.Host())
        host->SetStatusText(text);
}

void TfrmTransfer::SetApplicationTitle(const QString &title)
{
    if (TTransferHost *host = FQueue.Host())
        host->SetApplicationTitle(title);
}

void TfrmTransfer::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!FPlaced && screen()) {
        FPlaced = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
    aviTransfer->Start();
    if (FDetailsShown)
        FlushLog();
}

void TfrmTransfer::hideEvent(QHideEvent *event)
{
    aviTransfer->Stop();
    QWidget::hideEvent(event);
}
