#pragma once

// A stand-in for the progress window until its real content comes: it watches the
// global queue and tells the main window what it needs to know (a file done, the end
// of all transfers).

#include "engine/Event.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPlainTextEdit;
class QTimer;
class TTransferItems;

class TfrmTransfer : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmTransfer(TTransferItems &queue, QWidget *parent = nullptr);
    ~TfrmTransfer() override;

signals:
    // A file is done and more are pending.
    void FileTransferred();
    // The queue's run is over.
    void AllTransferred();
    void TransferConnected(bool connected);
    // An engine error of the queue, for the main window's message log.
    void TransferError(const QString &text);
    // The main status bar's text for the run; empty once logging on is over.
    void StatusText(const QString &text);

private:
    void EndRun();
    void ShowItemState();
    // Lines arrive for every command of every file; the log takes them in batches.
    void AddLogLine(const QString &line);
    void FlushLog();

    TTransferItems &FQueue;
    TScopedConnections FQueueConnections;
    QStringList FPendingLog;
    QTimer *FLogTimer = nullptr;
    QLabel *lblFileName = nullptr;
    QProgressBar *pbTotal = nullptr;
    QPlainTextEdit *TransferLog = nullptr;
};
