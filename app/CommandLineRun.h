#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class TBatchQuestions;
class TBatchRun;
class TFTPComponent;
class TOptions;
class TfrmMain;
class THostView;
class TTransferItems;
struct TConnectionSwitches;

// What the command line asks of the main window once it is up: a connection, transfers
// to queue, and with "-x" a run that closes the window when its transfers are over.
class TCommandLineRun : public QObject
{
    Q_OBJECT
public:
    TCommandLineRun(TfrmMain &window, TTransferItems &queue);
    ~TCommandLineRun() override;

    // Starts the logons that `arguments` will need, so that they run while the window is
    // built, when they name a server to connect to without asking anything first. Files
    // named one by one are fetched by the queue alone: its connection logs on, to be taken
    // over by the first of them, and null is returned. Otherwise the result is the engine
    // of the first remote view, already logging on; Start's connection takes it over. Files
    // the view is to select start the queue's connection too, once that logon succeeded.
    // Null when there is nothing to start. Needs the engine-wide options applied.
    static std::unique_ptr<TFTPComponent> PrepareLogon(const QStringList &arguments, const TOptions &options,
                                                       TTransferItems &queue);
    // Runs `arguments` (the process arguments without the program name) once.
    void Start(const QStringList &arguments);

    bool ExitWhenDone() const { return FExitWhenDone; }
    // Nobody answers questions in this run: messages go to standard error.
    bool Unattended() const { return bool(FBatch); }
    // Whether everything arrived, in a run with "-x".
    int ExitCode() const;

    // A status report reached the window: `activeSender` is the active remote view when
    // it reported; `allTransferred` when the queue's run is over.
    void StatusReported(THostView *activeSender, int state, bool allTransferred);
    // The user closed the window: whatever has not arrived counts as failed.
    void Interrupt();

private:
    bool QueueTransfers(const TConnectionSwitches &switches);
    void SelectionMade(THostView *view, int matched);
    void EndWhenIdle();
    void CloseWhenFinished();
    void PromptPassword(QString &password);

    TfrmMain &FWindow;
    TTransferItems &FQueue;
    bool FExitWhenDone = false;
    // Only in a run started with "-x".
    std::unique_ptr<TBatchRun> FBatch;
    std::unique_ptr<TBatchQuestions> FBatchQuestions;
    bool FClosing = false;
};
