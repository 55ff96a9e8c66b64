// The worker's side of the notifications: each writes its trace line, then queues the
// notification for the owner's thread.

#include "engine/FTPThread.h"

#include "engine/Notifications.h"

#include <QFile>

#include <cstdarg>
#include <cstdio>

void TFTPThread::TraceHost(const char *Format, ...)
{
    if (!DebugMode)
        return;
    va_list args;
    va_start(args, Format);
    const std::string text = FormatArgs(Format, args);
    va_end(args);
    Trace("Host " + FOwner.Host() + ": " + text);
}

// Waking the owner's thread costs a switch of threads, so notes are woken for in
// batches: when the worker goes idle or a wait outlasts a moment (WaitSocket).
void TFTPThread::Post(TNotification Note)
{
    FOwner.QueueNotification(std::move(Note));
    FWakePending = true;
}

void TFTPThread::WakeOwner()
{
    if (FWakePending) {
        FWakePending = false;
        FOwner.WakeOwner();
    }
}

void TFTPThread::NotifyAbort()
{
    TraceHost("Notify Abort");
    Post({ncAbort, {}});
}

void TFTPThread::NotifyCantLogIn()
{
    TraceHost("Notify CantLogIn");
    Post({ncCantLogIn, {}});
}

void TFTPThread::NotifyConnect()
{
    TraceHost("Notify Connect");
    Post({ncConnect, {}});
}

void TFTPThread::NotifyDisconnect()
{
    TraceHost("Notify Disconnect");
    CloseSocket(FData);
    CloseSocket(FControl);
    FHostAddress = NoAddress;
    FReplyBuffer.Clear();
    Post({ncDisconnect, {}});
}

void TFTPThread::NotifyError(int Code, const std::string &Desc)
{
    TraceHost("Notify Error. Code = %d, Desc = \"%s\"", Code, Desc.c_str());
    Post({ncError, TErrorData{Code, Desc}});
}

void TFTPThread::NotifyFolderReply(const std::string &Folder, int ReplyType, bool Result)
{
    TraceHost("Notify FolderReply. Folder = \"%s\", ReplyType = %d, Result = %d", Folder.c_str(), ReplyType,
              int(Result));
    Post({ncFolderReply, TFolderEventData{Folder, ReplyType, Result}});
}

void TFTPThread::Log(const std::string &Message, TColor Color)
{
    TraceHost("Notify Log. Message = \"%s\"", Message.c_str());
    if (!FQuiet)
        Post({ncLog, TLogData{Message, Color}});
}

void TFTPThread::NotifyLoggedIn()
{
    TraceHost("Notify LoggedIn");
    Post({ncLoggedIn, {}});
}

void TFTPThread::NotifyProgress(int Phase, std::int64_t Bytes)
{
    Post({ncProgress, TProgressData{Phase, FFileTransfer, Bytes}});
    // A running transfer is watched live. Its start and end come with the notes around
    // them: a small file's whole transfer then costs the owner one wake-up, not three.
    if (Phase == ppRunning)
        WakeOwner();
}

void TFTPThread::NotifyProcessList(const std::string &Folder, TDirListing List)
{
    TraceHost("Notify ProcessList. Folder = \"%s\"", Folder.c_str());
    Post({ncProcessList, TProcessListData{Folder, std::move(List)}});
}

void TFTPThread::NotifyRenameSuccessful(const std::string &OldName, const std::string &NewName)
{
    TraceHost("Notify RenameSuccessful. OldName = \"%s\", NewName = \"%s\"", OldName.c_str(), NewName.c_str());
    Post({ncRenameSuccessful, TRenameSuccessfulEventData{OldName, NewName}});
}

void TFTPThread::NotifyUpdateFileSize(const std::string &FileName, std::int64_t NewSize)
{
    TraceHost("Notify UpdateFileSize. NewSize = %lld", static_cast<long long>(NewSize));
    Post({ncUpdateFileSize, TUpdateFileSizeEventData{QFile::decodeName(QByteArray::fromStdString(FileName)), NewSize}});
}
