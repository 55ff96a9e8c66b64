#pragma once

// Stand-ins for the progress window and the transfer manager until the transfers
// subsystem brings its own: they watch the global queue and tell the main window
// what it needs to know (a file done, the end of all transfers).

#include "engine/Event.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPlainTextEdit;
class QTimer;
class QTreeWidget;
class TTransferItems;

class TPlaceholderProgressWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TPlaceholderProgressWindow(TTransferItems &queue, QWidget *parent = nullptr);
    ~TPlaceholderProgressWindow() override;

signals:
    // A TViewState code for the main window: a file done, or all transfers done.
    void MainStatus(int state);
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

class TPlaceholderTransferManager : public QWidget
{
    Q_OBJECT
public:
    explicit TPlaceholderTransferManager(TTransferItems &queue, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Fill();

    TTransferItems &FQueue;
    QTreeWidget *lvTransfers = nullptr;
};
