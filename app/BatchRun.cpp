#include "app/BatchRun.h"

#include "transfers/Transfer.h"
#include "views/ViewState.h"

#include <cstdio>

namespace {

QString Quoted(const std::string &bytes)
{
    return QLatin1Char('"') + DisplayText(bytes) + QLatin1Char('"');
}

QString FailureLine(const TTransferItem &item)
{
    const bool upload = item.Direction == tdUpload;
    const QString what = (upload ? QStringLiteral("Upload of ") : QStringLiteral("Download of "))
                         + Quoted(item.SourceFolder + item.Name);
    if (item.Status() == tsCancelled)
        return what + QStringLiteral(" was cancelled");
    if (item.Status() != tsFailed)
        return what + QStringLiteral(" did not run");
    if (item.FailureText().empty())
        return what + QStringLiteral(" failed");
    return what + QStringLiteral(" failed: ") + DisplayText(item.FailureText()).trimmed();
}

} // namespace

void WriteToStandardError(const QString &line)
{
    const QByteArray text = QStringLiteral("ferrow: %1\n").arg(line).toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
    std::fflush(stderr);
}

int TBatchQuestions::AskOverwrite(const TOverwriteQuestion &question)
{
    FWriter(QStringLiteral("%1 exists (%2 bytes, the server's %3 bytes): replaced")
                .arg(Quoted(question.FileName))
                .arg(question.ExistingSize)
                .arg(question.NewSize));
    return mrYes;
}

int TBatchQuestions::AskRestart(const std::string &fileName)
{
    FWriter(QStringLiteral("%1 exists in part: resumed where it ends").arg(Quoted(fileName)));
    return mrYes;
}

void TBatchRun::AwaitSelection(const QString &host, const QString &masks)
{
    FHost = host;
    FMasks = masks;
    FAwaiting = true;
}

void TBatchRun::HostStatus(int state, const QString &lastError)
{
    if (!FAwaiting || FFinished)
        return;
    const QString reason = lastError.isEmpty() ? QString() : QStringLiteral(": ") + lastError.trimmed();
    switch (state) {
    case vsLoggedIn:
        FLoggedIn = true;
        return;
    case vsLoginFailed:
    case vsDisconnected:
        // A login that fails reports both; the first ends the run.
        if (FLoggedIn)
            Failed(
                QStringLiteral("Lost the connection to %1 before the files were chosen%2").arg(FHost, reason),
                bxTransferFailed);
        else
            Failed(QStringLiteral("Could not connect to or log on to %1%2").arg(FHost, reason),
                   bxNoConnection);
        break;
    case vsError:
        // Before the login an error is followed by the failed login; after it, the
        // listing the masks need will not come.
        if (!FLoggedIn)
            return;
        Failed(QStringLiteral("Could not list the files on %1%2").arg(FHost, reason), bxTransferFailed);
        break;
    default:
        return;
    }
    Finish();
}

void TBatchRun::SelectionMade(int matched, const QString &folder)
{
    if (!FAwaiting || FFinished)
        return;
    FAwaiting = false;
    if (matched < 0) {
        Failed(
            QStringLiteral("Could not open the folder %1 on %2: nothing was transferred").arg(folder, FHost),
            bxTransferFailed);
        Finish();
    } else if (matched == 0) {
        Failed(QStringLiteral("Nothing in %1 on %2 matches %3").arg(folder, FHost, FMasks), bxTransferFailed);
        Finish();
    }
}

void TBatchRun::Failed(const QString &line, TBatchExitCode code)
{
    FWriter(line);
    Record(code);
}

void TBatchRun::QueueIdle(const TTransferItems &queue)
{
    if (FAwaiting || FFinished)
        return;
    for (int i = 0; i < queue.Count(); ++i) {
        const TTransferItem &item = *queue.Items(i);
        if (item.Status() == tsDone)
            continue;
        FWriter(FailureLine(item));
        Record(item.FailedToLogOn() ? bxNoConnection : bxTransferFailed);
    }
    Finish();
}

void TBatchRun::Interrupt(const TTransferItems &queue)
{
    if (FFinished)
        return;
    if (FAwaiting) {
        Failed(QStringLiteral("Ended before the files on %1 were chosen").arg(FHost), bxTransferFailed);
        FAwaiting = false;
    }
    QueueIdle(queue);
}

void TBatchRun::Finish()
{
    FFinished = true;
    FAwaiting = false;
}

void TBatchRun::Record(TBatchExitCode code)
{
    // Not reaching the server at all says more than any one file that failed.
    if (FExitCode == bxDone || code == bxNoConnection)
        FExitCode = code;
}
