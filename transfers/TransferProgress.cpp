#include "transfers/TransferProgress.h"

#include "transfers/Transfer.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The log keeps as many lines as a view's log does.
constexpr int MaxLogLines = 800;
constexpr int LogFlushMS = 200;

} // namespace

TfrmTransfer::TfrmTransfer(TTransferItems &queue, QWidget *parent)
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
    connect(FLogTimer, &QTimer::timeout, this, &TfrmTransfer::FlushLog);
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
            emit FileTransferred();
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

TfrmTransfer::~TfrmTransfer() = default;

void TfrmTransfer::AddLogLine(const QString &line)
{
    FPendingLog.append(line);
    if (FPendingLog.size() > MaxLogLines)
        FPendingLog.removeFirst();
    if (!FLogTimer->isActive())
        FLogTimer->start();
}

void TfrmTransfer::FlushLog()
{
    if (FPendingLog.isEmpty())
        return;
    TransferLog->appendPlainText(FPendingLog.join(QLatin1Char('\n')));
    FPendingLog.clear();
}

void TfrmTransfer::ShowItemState()
{
    pbTotal->setValue(FQueue.PercentDone());
}

void TfrmTransfer::EndRun()
{
    lblFileName->clear();
    pbTotal->setValue(0);
    hide();
    emit StatusText(QString());
    emit AllTransferred();
}
