#include "engine/WorkerNotifier.h"

#include "engine/Notifications.h"
#include "engine/WorkerHost.h"

#include <QFile>

#include <cstdarg>
#include <cstdio>

void TWorkerNotifier::TraceHost(const char *Format, ...)
{
    if (!DebugMode)
        return;
    va_list args;
    va_start(args, Format);
    const std::string text = FormatArgs(Format, args);
    va_end(args);
    Trace("Host " + FHost.Host() + ": " + text);
}

// Woken for when the worker goes idle or a wait outlasts a moment.
void TWorkerNotifier::Post(TNotification Note)
{
    FHost.QueueNotification(std::move(Note));
    FWakePending = true;
}

void TWorkerNotifier::WakeOwner()
{
    if (FWakePending) {
        FWakePending = false;
        FHost.WakeOwner();
    }
}

void TWorkerNotifier::NotifyAbort()
{
    TraceHost("Notify Abort");
    Post({ncAbort, {}});
}

void TWorkerNotifier::NotifyCantLogIn()
{
    TraceHost("Notify CantLogIn");
    Post({ncCantLogIn, {}});
}

void TWorkerNotifier::NotifyConnect()
{
    TraceHost("Notify Connect");
    Post({ncConnect, {}});
}

void TWorkerNotifier::NotifyDisconnect()
{
    TraceHost("Notify Disconnect");
    Post({ncDisconnect, {}});
}

void TWorkerNotifier::NotifyError(int Code, const std::string &Desc)
{
    TraceHost("Notify Error. Code = %d, Desc = \"%s\"", Code, Desc.c_str());
    Post({ncError, TErrorData{Code, Desc}});
}

void TWorkerNotifier::NotifyFolderReply(const std::string &Folder, int ReplyType, bool Result)
{
    TraceHost("Notify FolderReply. Folder = \"%s\", ReplyType = %d, Result = %d", Folder.c_str(), ReplyType,
              int(Result));
    Post({ncFolderReply, TFolderEventData{Folder, ReplyType, Result}});
}

void TWorkerNotifier::Log(const std::string &Message, TColor Color)
{
    TraceHost("Notify Log. Message = \"%s\"", Message.c_str());
    if (!FQuiet)
        Post({ncLog, TLogData{Message, Color}});
}

void TWorkerNotifier::NotifyLoggedIn()
{
    TraceHost("Notify LoggedIn");
    Post({ncLoggedIn, {}});
}

void TWorkerNotifier::NotifyIdle()
{
    Post({ncIdle, {}});
}

void TWorkerNotifier::NotifyCommandBegun(std::uint64_t Ticket)
{
    Post({ncCommandBegun, TTicketData{Ticket}});
}

void TWorkerNotifier::NotifyCommandDropped(std::uint64_t Ticket)
{
    Post({ncCommandDropped, TTicketData{Ticket}});
}

void TWorkerNotifier::NotifyProgress(int Phase, bool IsFile, std::int64_t Bytes)
{
    Post({ncProgress, TProgressData{Phase, IsFile, Bytes}});
    // A running transfer is watched live. Its start and end come with the notes around
    // them: a small file's whole transfer then costs the owner one wake-up, not three.
    if (Phase == ppRunning)
        WakeOwner();
}

void TWorkerNotifier::NotifyProcessList(const std::string &Folder, TDirListing List)
{
    TraceHost("Notify ProcessList. Folder = \"%s\"", Folder.c_str());
    Post({ncProcessList, TProcessListData{Folder, std::move(List)}});
}

void TWorkerNotifier::NotifyRenameSuccessful(const std::string &OldName, const std::string &NewName)
{
    TraceHost("Notify RenameSuccessful. OldName = \"%s\", NewName = \"%s\"", OldName.c_str(),
              NewName.c_str());
    Post({ncRenameSuccessful, TRenameSuccessfulEventData{OldName, NewName}});
}

void TWorkerNotifier::NotifyUpdateFileSize(const std::string &FileName, std::int64_t NewSize)
{
    TraceHost("Notify UpdateFileSize. NewSize = %lld", static_cast<long long>(NewSize));
    Post({ncUpdateFileSize,
          TUpdateFileSizeEventData{QFile::decodeName(QByteArray::fromStdString(FileName)), NewSize}});
}
