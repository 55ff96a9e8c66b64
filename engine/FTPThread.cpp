#include "engine/FTPThread.h"

#include "engine/Notifications.h"

#include <unistd.h>

TFTPThread::TFTPThread(TWorkerHost &Host)
    : FNotifier(Host)
    , FConnection(FNotifier)
    , FLogin(FConnection)
    , FFolders(FConnection)
    , FTransfers(FConnection)
    , FListing(FConnection, FTransfers)
{}

TFTPThread::~TFTPThread()
{
    if (FThread.joinable()) {
        FQueue.PostQuit();
        FThread.join();
    }
}

void TFTPThread::Start()
{
    FThread = std::thread([this] { Execute(); });
}

bool TFTPThread::WaitFinished(std::chrono::milliseconds Timeout)
{
    std::unique_lock lock(FFinishMutex);
    return FFinishChanged.wait_for(lock, Timeout, [this] { return FFinished; });
}

void TFTPThread::Execute()
{
    TraceFmt("Started new FTP thread, ThreadID = %08lX", static_cast<unsigned long>(::gettid()));
    for (;;) {
        const TQueuedMessage message = FQueue.Take();
        if (message.Kind == TQueuedMessage::mkQuit)
            break;
        const bool beginsGroup = message.Ticket != 0 && message.Ticket != FGroupTicket;
        if (beginsGroup)
            FGroupTicket = message.Ticket;
        // A command taken ahead of a waiting flush is one the flush discards.
        if (message.Kind == TQueuedMessage::mkFlush || FQueue.FlushPending()) {
            if (beginsGroup)
                FNotifier.NotifyCommandDropped(message.Ticket);
            FQueue.DiscardThroughLastFlush();
        } else if (beginsGroup && message.AfterSuccess && !FLastSucceeded) {
            FQueue.DiscardGroup(message.Ticket);
            FNotifier.NotifyCommandDropped(message.Ticket);
        } else {
            if (beginsGroup)
                FNotifier.NotifyCommandBegun(message.Ticket);
            FLastSucceeded = ExecuteCommand(message.Command);
        }
        FConnection.ClearAbort();
        if (FQueue.Empty())
            FNotifier.NotifyIdle();
        FNotifier.WakeOwner();
    }

    FConnection.Close();
    TraceFmt("Ended FTP thread, ThreadID = %08lX", static_cast<unsigned long>(::gettid()));
    {
        const std::lock_guard lock(FFinishMutex);
        FFinished = true;
    }
    FFinishChanged.notify_all();
}

bool TFTPThread::ExecuteCommand(const TEngineCommand &Command)
{
    const TFTPCommand kind = CommandKind(Command);
    FConnection.BeginCommand(kind == fcLogout);
    FCurrentCommand = kind;
    FNotifier.TraceHost("Executing command \"%s\"", FTPCommandName(kind));

    const bool isLogin = kind == fcLogin || kind == fcFirewallLogin;
    bool success = false;
    try {
        success = RunCommand(Command);
    } catch (const EControlSocketException &e) {
        if (*e.what() != '\0')
            FNotifier.Log(e.what(), clLogError);
        FConnection.Disconnect();
        if (isLogin)
            FNotifier.NotifyCantLogIn();
    } catch (const ECommandFailed &) {
        // The Error went out where the command failed; a login cannot stay half done.
        if (isLogin) {
            FConnection.Disconnect();
            FNotifier.NotifyCantLogIn();
        }
    } catch (const std::exception &e) {
        FNotifier.NotifyError(0, e.what());
        if (isLogin) {
            FConnection.Disconnect();
            FNotifier.NotifyCantLogIn();
        }
    }

    FConnection.EndCommand();
    FCurrentCommand = fcNone;
    return success;
}

bool TFTPThread::RunCommand(const TEngineCommand &Command)
{
    return std::visit(TOverloaded{
                          [this](const TFirewallLoginCommand &c) { return FLogin.Run(c); },
                          [this](const TLoginCommand &c) { return FLogin.Run(c); },
                          [this](const TLogoutCommand &c) { return FLogin.Run(c); },
                          [this](const TListCommand &c) { return FListing.Run(c); },
                          [this](const TDownloadCommand &c) { return FTransfers.Run(c); },
                          [this](const TUploadCommand &c) { return FTransfers.Run(c); },
                          [this](const TResumeDownloadCommand &c) { return FTransfers.Run(c); },
                          [this](const TResumeUploadCommand &c) { return FTransfers.Run(c); },
                          // Every other command needs the control connection alone.
                          [this](const auto &c) { return FFolders.Run(c); },
                      },
                      Command);
}
