#pragma once

// The progress window: the current file and the run's totals, Skip and Cancel, and the
// transfer connections' log behind the details button. It watches the global queue for
// the whole run of the program and turns the queue's events into what the main window
// shows (status bar, taskbar title, end-of-file and end-of-run reports).

#include "engine/Event.h"
#include "transfers/Transfer.h"
#include "transfers/TransferDisplay.h"

#include <QColor>
#include <QWidget>

#include <deque>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TCopyAnimation;

class TfrmTransfer : public QWidget
{
    Q_OBJECT
public:
    // Client heights of the designed layout: the log box's top, and below the log box.
    static constexpr int DetailsHiddenHeight = 224;
    static constexpr int LogHeight = 129;
    static constexpr int DetailsShownHeight = DetailsHiddenHeight + LogHeight + 8;

    explicit TfrmTransfer(TTransferItems &queue, QWidget *parent = nullptr);
    ~TfrmTransfer() override;

    TTransferItem *CurrentItem() const { return FCurrentItem; }
    bool DetailsShown() const { return FDetailsShown; }

    // Shows the item's figures now.
    void UpdateDisplay(const TTransferItem &item);
    void ResetDisplay();
    // The run is over: the window hides and the main window hears of it once.
    void EndRun();
    void SkipClick();
    void CancelClick();
    void ToggleDetailsClick();

signals:
    // A file is done and more are pending (status 133).
    void FileTransferred();
    // The run is over (status 134).
    void AllTransferred();
    void TransferConnected(bool connected);
    // An engine error of the queue, for the main window's message log.
    void TransferError(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void CreateControls();
    void ItemStarted(TTransferItem &item);
    void ItemFinished(TTransferItem &item);
    void ApplyPendingStamps();
    // Progress comes many times a second for small files; the window shows it at a
    // pace a person can read.
    void ScheduleDisplay();
    void ShowDetails();
    void HideDetails();
    void AddLogLine(const QString &line, const QColor &color);
    void FlushLog();
    void SetStatusText(const QString &text);
    void SetApplicationTitle(const QString &title);

    TTransferItems &FQueue;
    TScopedConnections FQueueConnections;
    TTransferItem *FCurrentItem = nullptr;
    // The main window heard of this run's end already (Cancel ends it at once).
    bool FEndReported = false;
    // The log box has a line: the next one needs a block of its own.
    bool FLogStarted = false;
    bool FDetailsShown = false;
    bool FPlaced = false;
    struct TLogLine
    {
        QString Text;
        QColor Color;
    };
    // Lines not yet in the log box: the box takes them only while it can be seen.
    std::deque<TLogLine> FPendingLog;
    QTimer *FLogTimer = nullptr;
    QTimer *FDisplayTimer = nullptr;
    // Downloaded files still to take their server's date.
    QTimer *FStampTimer = nullptr;
    std::vector<TFileStamp> FPendingStamps;
    qint64 FLastDisplay = 0;

    TCopyAnimation *aviTransfer = nullptr;
    QLabel *lblFileName = nullptr;
    QLabel *lblCurrentBytes = nullptr;
    QProgressBar *pbCurrent = nullptr;
    QLabel *lblCurrentElapsed = nullptr;
    QLabel *lblCurrentRemaining = nullptr;
    QPushButton *btnSkip = nullptr;
    QLabel *lblFileCount = nullptr;
    QLabel *lblTotalBytes = nullptr;
    QProgressBar *pbTotal = nullptr;
    QLabel *lblTotalElapsed = nullptr;
    QLabel *lblTotalRemaining = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnToggleDetails = nullptr;
    QPlainTextEdit *TransferLog = nullptr;
    QTimer *tmrProgress = nullptr;
};
