#include "engine/FTPThread.h"

#include "engine/Notifications.h"

#include <unistd.h>

TFTPThread::TFTPThread(TFTPComponent &Owner) : FOwner(Owner) {}

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
        TQueuedMessage message = FQueue.Take();
        if (message.Kind == TQueuedMessage::mkQuit)
            break;
        if (message.Kind == TQueuedMessage::mkFlush || FQueue.TakePendingFlush())
            HandleFlush();
        else
            ExecuteCommand(message.Command, message.Params);
        FAborted = false;
        if (FQueue.Empty())
            Post({ncIdle, {}});
        WakeOwner();
    }

    CloseSocket(FData);
    CloseSocket(FControl);
    TraceFmt("Ended FTP thread, ThreadID = %08lX", static_cast<unsigned long>(::gettid()));
    {
        const std::lock_guard lock(FFinishMutex);
        FFinished = true;
    }
    FFinishChanged.notify_all();
}

void TFTPThread::HandleFlush()
{
    FQueue.DiscardAll();
}

bool TFTPThread::ExecuteCommand(int Kind, const TParams &Params)
{
    FAborted = false;
    FCurrentCommand = Kind;
    FLastError = 0;
    // Only the logout belongs to the clean-up after a time-out; any other command
    // deserves the whole time-out again.
    if (Kind != fcLogout)
        FTimedOutBefore = false;
    TraceHost("Executing command \"%s\"", FTPCommandName(Kind));

    const bool isLogin = Kind == fcLogin || Kind == fcFirewallLogin;
    bool success = false;
    try {
        success = RunCommand(Kind, Params);
    } catch (const EControlSocketException &e) {
        if (*e.what() != '\0')
            Log(e.what(), clLogError);
        NotifyDisconnect();
        if (isLogin)
            NotifyCantLogIn();
    } catch (const ECommandFailed &) {
        // The Error went out where the command failed; a login cannot stay half done.
        if (isLogin) {
            NotifyDisconnect();
            NotifyCantLogIn();
        }
    } catch (const std::exception &e) {
        NotifyError(0, e.what());
        if (isLogin) {
            NotifyDisconnect();
            NotifyCantLogIn();
        }
    }

    // Whatever ended the command, the next one starts from a clean state.
    CloseSocket(FData);
    FQuiet = false;
    FCapture = nullptr;
    FLocalFileName.clear();
    FFileTransfer = true;
    FBlocking = false;
    FCurrentCommand = fcNone;
    return success;
}

bool TFTPThread::RunCommand(int Kind, const TParams &Params)
{
    const auto param = [&Params](std::size_t i) -> const std::string & {
        static const std::string none;
        return i < Params.size() ? Params[i] : none;
    };
    switch (Kind) {
    case fcFirewallLogin: return DoLogin(Params, true);
    case fcLogin: return DoLogin(Params, false);
    case fcLogout: return DoLogout();
    case fcGetCurrentFolder: return FolderCommand("PWD", frCurrent);
    case fcSetCurrentFolder: return FolderCommand("CWD " + param(0), frChange);
    case fcList: return DoList(Params);
    case fcDownload:
    case fcResumeDownload: return DoDownload(Params);
    case fcUpload:
    case fcResumeUpload: return DoUpload(Params);
    case fcDelete: return DoDelete(Params);
    case fcRename: return DoRename(Params);
    case fcCreateFolder: return FolderCommand("MKD " + param(0), frCreate);
    case fcRemoveFolder: return FolderCommand("RMD " + param(0), frRemove);
    case fcNoOp: return DoNoOp();
    case fcSetType: return DoSetType(Params);
    case fcChangeAttributes: return DoChangeAttributes(Params);
    default: return false;
    }
}
