#pragma once

// A run started with "-x" has nobody to watch it: it must end by itself, answer the
// questions a user would be asked, and tell its caller through the exit code and
// standard error whether everything arrived.

#include "transfers/TransferDecision.h"

#include <QString>

#include <functional>

class TTransferItems;

enum TBatchExitCode : int {
    bxDone = 0,           // every queued transfer ended done
    bxHandedOver = 1,     // another copy was running and was asked to come forward
    bxNoConnection = 3,   // could not connect or log in
    bxTransferFailed = 4, // a transfer failed, or a file to transfer was not found
};

// Where a batch run's lines go.
using TBatchWriter = std::function<void(const QString &line)>;
// The program's writer: "ferrow: " and the line on standard error.
void WriteToStandardError(const QString &line);

// Answers the overwrite and restart questions the way an unattended user would want,
// and says so. The restart question comes only when the local file is shorter than the
// server's and the server can restart: it resumes. Anything else is replaced.
class TBatchQuestions : public TTransferQuestions
{
public:
    explicit TBatchQuestions(TBatchWriter writer)
        : FWriter(std::move(writer))
    {}

    int AskOverwrite(const TOverwriteQuestion &question) override;
    int AskRestart(const std::string &fileName) override;

private:
    TBatchWriter FWriter;
};

// Follows a batch run to its end and decides its exit code. The main window reports what
// happens; the run is over once Finished() says so.
class TBatchRun
{
public:
    explicit TBatchRun(TBatchWriter writer)
        : FWriter(std::move(writer))
    {}

    // The remote view connects and picks files by mask from its first listing; until it
    // has, an idle queue does not end the run.
    void AwaitSelection(const QString &host, const QString &masks);
    // A status code of the remote view (TViewState), with the last error it logged.
    void HostStatus(int state, const QString &lastError);
    // The masks matched `matched` entries of the listing of `folder`; their transfers
    // have been submitted. A negative count: `folder` could not be entered.
    void SelectionMade(int matched, const QString &folder);
    // Something the command line asked for that never reached the queue.
    void Failed(const QString &line, TBatchExitCode code);
    // The queue has nothing left to do: every item that did not end done is a failure.
    void QueueIdle(const TTransferItems &queue);
    // The window was closed before the run was over.
    void Interrupt(const TTransferItems &queue);

    bool Finished() const { return FFinished; }
    int ExitCode() const { return FExitCode; }

private:
    void Finish();
    void Record(TBatchExitCode code);

    TBatchWriter FWriter;
    QString FHost;
    QString FMasks;
    bool FAwaiting = false;
    bool FLoggedIn = false;
    bool FFinished = false;
    int FExitCode = bxDone;
};
