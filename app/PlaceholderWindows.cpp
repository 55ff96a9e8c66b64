#include "app/PlaceholderWindows.h"

#include "transfers/Transfer.h"
#include "views/AllViews.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The log keeps as many lines as a view's log does.
constexpr int MaxLogLines = 800;
constexpr int LogFlushMS = 200;

} // namespace

TPlaceholderProgressWindow::TPlaceholderProgressWindow(TTransferItems &queue, QWidget *parent)
    : QWidget(parent, Qt::Window), FQueue(queue)
{
    setWindowTitle(QStringLiteral("Ferrow"));
    auto *layout = new QVBoxLayout(this);
    lblFileName = new QLabel(this);
    pbTotal = new QProgressBar(this);
    pbTotal->setRange(0, 100);
    TransferLog = new QPlainTextEdit(this);
    TransferLog->setReadOnly(true);
    TransferLog->setMaximumBlockCount(MaxLogLines);
    FLogTimer = new QTimer(this);
    FLogTimer->setSingleShot(true);
    FLogTimer->setInterval(LogFlushMS);
    connect(FLogTimer, &QTimer::timeout, this, &TPlaceholderProgressWindow::FlushLog);
    layout->addWidget(lblFileName);
    layout->addWidget(pbTotal);
    layout->addWidget(TransferLog);
    resize(420, 240);

    FQueueConnections += FQueue.OnItemStarted.Connect([this](TTransferItems &, TTransferItem &item) {
        lblFileName->setText(QString::fromStdString(item.Name));
        ShowItemState();
    });
    FQueueConnections += FQueue.OnItemProgress.Connect([this](TTransferItems &, TTransferItem &) {
        // Progress comes only from a logged-in engine.
        emit StatusText(QString());
        ShowItemState();
    });
    FQueueConnections += FQueue.OnItemFinished.Connect([this](TTransferItems &sender, TTransferItem &) {
        if (sender.CountOf(tsPending) > 0)
            emit MainStatus(vsFileArrived);
    });
    // Only the queue knows when a run is over: an item that fails at once may be
    // followed by others its submitter is still adding.
    FQueueConnections += FQueue.OnRunEnded.Connect([this](TTransferItems &) { EndRun(); });
    FQueueConnections += FQueue.OnConnect.Connect([this](TFTPComponent *) { emit TransferConnected(true); });
    FQueueConnections +=
        FQueue.OnDisconnect.Connect([this](TFTPComponent *) { emit TransferConnected(false); });
    FQueueConnections += FQueue.OnError.Connect([this](TFTPComponent *, int, const std::string &desc) {
        const QString text = QString::fromStdString(desc);
        emit TransferError(QStringLiteral("Transfer Thread Error: ") + text);
        AddLogLine(text);
    });
    FQueueConnections += FQueue.OnLog.Connect([this](TFTPComponent *, const std::string &message, TColor) {
        AddLogLine(QString::fromStdString(message));
    });
}

TPlaceholderProgressWindow::~TPlaceholderProgressWindow() = default;

void TPlaceholderProgressWindow::AddLogLine(const QString &line)
{
    FPendingLog.append(line);
    if (FPendingLog.size() > MaxLogLines)
        FPendingLog.removeFirst();
    if (!FLogTimer->isActive())
        FLogTimer->start();
}

void TPlaceholderProgressWindow::FlushLog()
{
    if (FPendingLog.isEmpty())
        return;
    TransferLog->appendPlainText(FPendingLog.join(QLatin1Char('\n')));
    FPendingLog.clear();
}

void TPlaceholderProgressWindow::ShowItemState()
{
    pbTotal->setValue(FQueue.PercentDone());
}

void TPlaceholderProgressWindow::EndRun()
{
    lblFileName->clear();
    pbTotal->setValue(0);
    hide();
    emit StatusText(QString());
    emit MainStatus(vsAllTransferred);
}

TPlaceholderTransferManager::TPlaceholderTransferManager(TTransferItems &queue, QWidget *parent)
    : QWidget(parent, Qt::Window), FQueue(queue)
{
    setWindowTitle(QStringLiteral("Transfer Manager"));
    auto *layout = new QVBoxLayout(this);
    lvTransfers = new QTreeWidget(this);
    lvTransfers->setHeaderLabels({tr("Name"), tr("Size"), tr("Local Directory"), tr("Host Directory"),
                                  tr("Status")});
    layout->addWidget(lvTransfers);
    resize(560, 260);
}

void TPlaceholderTransferManager::showEvent(QShowEvent *event)
{
    Fill();
    QWidget::showEvent(event);
}

void TPlaceholderTransferManager::Fill()
{
    lvTransfers->clear();
    for (int i = 0; i < FQueue.Count(); ++i) {
        const TTransferItem *item = FQueue.Items(i);
        const bool upload = item->Direction == tdUpload;
        const QString local = QString::fromStdString(upload ? item->SourceFolder : item->DestFolder);
        const QString host = QString::fromStdString(upload ? item->DestFolder : item->SourceFolder);
        lvTransfers->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(item->Name), QString::number(item->Size), local, host,
             TransferStatusText(item->Status(), item->Direction)}));
    }
}
