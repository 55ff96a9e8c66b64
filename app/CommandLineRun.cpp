#include "app/CommandLineRun.h"

#include "app/BatchRun.h"
#include "app/CommandLineOptions.h"
#include "app/Main.h"
#include "engine/FTPComp.h"
#include "sites/PasswordForm.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QDir>
#include <QTimer>

TCommandLineRun::TCommandLineRun(TfrmMain &window, TTransferItems &queue)
    : QObject(&window)
    , FWindow(window)
    , FQueue(queue)
{}

TCommandLineRun::~TCommandLineRun() = default;

std::unique_ptr<TFTPComponent> TCommandLineRun::PrepareLogon(const QStringList &arguments,
                                                             const TOptions &options, TTransferItems &queue)
{
    // Start's decisions: a password to ask for leaves the logon to Start.
    TConnectionSwitches switches = ReadConnectionSwitches(arguments, QDir::currentPath());
    const bool asks = ResolveCommandLinePassword(switches, options.EMail(), options.Bool(oiPromptForPass))
                      && !switches.ExitWhenDone;
    if (switches.Host.isEmpty() || asks)
        return nullptr;
    const auto prepareQueue = [&](std::shared_ptr<TLogonGate> after) {
        queue.PrepareEngine(switches.Host.toStdString(), switches.Port, switches.Account.toStdString(),
                            switches.Password.toStdString(), switches.UserName.toStdString(),
                            std::move(after));
    };
    if (DownloadsNamed(switches)) {
        prepareQueue(nullptr);
        return nullptr;
    }
    auto engine = std::make_unique<TFTPComponent>();
    engine->SetPassive(options.UsePassive());
    engine->HoldNotifications();
    // The files the view will select come over the queue's connection: it logs on as soon
    // as the view's logon has proven the data, not once the window has heard of it.
    std::shared_ptr<TLogonGate> viewLogon;
    if (!switches.ReceiveList.isEmpty()) {
        viewLogon = std::make_shared<TLogonGate>();
        engine->AnnounceLogonTo(viewLogon);
    }
    StartHostLogon(*engine,
                   {switches.Host, switches.Port, switches.UserName, switches.Password, switches.Account},
                   queue.Settings());
    if (viewLogon)
        prepareQueue(viewLogon);
    return engine;
}

void TCommandLineRun::Start(const QStringList &arguments)
{
    TLocalView *local = FWindow.ActiveLocalView();
    THostView *host = FWindow.ActiveHostView();
    TConnectionSwitches switches =
        ReadConnectionSwitches(arguments, local ? local->GetFolder() : QDir::currentPath());
    FExitWhenDone = switches.ExitWhenDone;
    if (FExitWhenDone) {
        FBatch = std::make_unique<TBatchRun>(WriteToStandardError);
        FBatchQuestions = std::make_unique<TBatchQuestions>(WriteToStandardError);
    }
    const TOptions &options = FWindow.Options();
    // Nobody would answer the prompt in a run that ends by itself.
    if (ResolveCommandLinePassword(switches, options.EMail(), options.Bool(oiPromptForPass)) && !FBatch)
        PromptPassword(switches.Password);
    const bool filesGiven = !switches.ReceiveList.isEmpty() || !switches.SendList.isEmpty();
    if (switches.Host.isEmpty()) {
        if (!FBatch && FWindow.Options().Bool(oiShowManager))
            FWindow.ConnectClick();
        if (FBatch && filesGiven) {
            FBatch->Failed(QStringLiteral("No host to transfer the files with: give one with -c"),
                           bxNoConnection);
            EndWhenIdle();
        }
        return;
    }

    const bool queuedDownloads = QueueTransfers(switches);
    const bool selects = !queuedDownloads && !switches.ReceiveList.isEmpty();
    if (FBatch && selects) {
        const QString address = switches.Port == 21
                                    ? switches.Host
                                    : QStringLiteral("%1:%2").arg(switches.Host).arg(switches.Port);
        FBatch->AwaitSelection(address, switches.ReceiveList.join(QLatin1Char(';')));
        host->SetQuestions(FBatchQuestions.get());
        connect(host, &THostView::NamesSelected, this, &TCommandLineRun::SelectionMade);
    }
    // Without a file to transfer a run with "-x" is the user's until they transfer some.
    if (filesGiven)
        EndWhenIdle();
    if (queuedDownloads)
        return;
    if (local)
        local->ChangeFolder(switches.LocalFolder);
    // Named after the host, as a connection to a URL is.
    FWindow.SetHostCaption(switches.Host);
    host->Connect(switches.Host, switches.Port, switches.UserName, switches.Password, switches.Account,
                  switches.HostFolder, switches.ReceiveList.join(QLatin1Char(';')));
}

bool TCommandLineRun::QueueTransfers(const TConnectionSwitches &switches)
{
    const auto makeItem = [&](const TCommandLineTransfer &transfer, TTransferDirection direction) {
        auto item = std::make_unique<TTransferItem>();
        item->Host = switches.Host.toStdString();
        item->Port = switches.Port;
        item->UserName = switches.UserName.toStdString();
        item->Password = switches.Password.toStdString();
        item->Account = switches.Account.toStdString();
        const std::string remote = transfer.RemoteFolder.toStdString();
        const std::string local = transfer.LocalFolder.toStdString();
        item->SourceFolder = direction == tdDownload ? remote : local;
        item->DestFolder = direction == tdDownload ? local : remote;
        item->Name = transfer.FileName.toStdString();
        item->Size = transfer.Size;
        item->Date = transfer.Date;
        item->Direction = direction;
        // A duplicate is refused with a message and stays with us, to be freed here.
        FQueue.Add(item);
    };

    // One run: a name refused at once must not end it before the others are queued.
    const TTransferItems::TRunHold hold(FQueue);
    bool queuedDownloads = false;
    if (DownloadsNamed(switches)) {
        for (const TCommandLineTransfer &transfer : CommandLineDownloads(switches))
            makeItem(transfer, tdDownload);
        queuedDownloads = true;
    }
    QStringList unreadable;
    const std::vector<TCommandLineTransfer> uploads = CommandLineUploads(switches, &unreadable);
    for (const TCommandLineTransfer &transfer : uploads)
        makeItem(transfer, tdUpload);
    // Skipped without a word when a user watches; a script must learn of it.
    if (FBatch) {
        for (const QString &file : unreadable)
            FBatch->Failed(QStringLiteral("Cannot read \"%1\": not sent").arg(file), bxTransferFailed);
    }
    if (FQueue.CountOf(tsPending) > 0) {
        if (FWindow.ShowTransferInfo())
            FWindow.ShowProgressWindow();
        FQueue.ProcessNext();
    }
    return queuedDownloads;
}

void TCommandLineRun::SelectionMade(THostView *view, int matched)
{
    FBatch->SelectionMade(matched, view->GetFolder());
    EndWhenIdle();
}

void TCommandLineRun::StatusReported(THostView *activeSender, int state, bool allTransferred)
{
    if (!FBatch)
        return;
    // Errors met while the selection is walked belong to its transfers.
    if (activeSender && !activeSender->TransferringSelection())
        FBatch->HostStatus(state, activeSender->LastError());
    if (allTransferred)
        FBatch->QueueIdle(FQueue);
    CloseWhenFinished();
}

void TCommandLineRun::Interrupt()
{
    if (FBatch)
        FBatch->Interrupt(FQueue);
}

// A batch run whose queue has nothing to do (nothing was queued, or all of it has ended)
// ends now: no end of a run will be reported.
void TCommandLineRun::EndWhenIdle()
{
    if (FBatch && FQueue.IsIdle())
        FBatch->QueueIdle(FQueue);
    CloseWhenFinished();
}

void TCommandLineRun::CloseWhenFinished()
{
    if (!FBatch || !FBatch->Finished() || FClosing)
        return;
    FClosing = true;
    // Closing from inside a notification would free the sender under its own feet.
    QTimer::singleShot(0, &FWindow, &QWidget::close);
}

int TCommandLineRun::ExitCode() const
{
    return FBatch ? FBatch->ExitCode() : 0;
}

void TCommandLineRun::PromptPassword(QString &password)
{
    if (const std::optional<QString> typed = TdlgPassword::Ask(&FWindow))
        password = *typed;
}
