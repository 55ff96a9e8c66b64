#pragma once

// What the worker reports to the owner: one record per notification, handed over
// through a queue that the owner drains on its own thread, in the order raised. Each
// wake-up event delivers every note queued before it.

#include "engine/FTPComp.h"

#include <QEvent>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

enum TNotifyCode : int {
    ncAbort = 1044,
    ncCantLogIn = 1045,
    ncConnect = 1046,
    ncDisconnect = 1047,
    ncError = 1048,
    ncFolderReply = 1049,
    ncLog = 1050,
    ncLoggedIn = 1051,
    ncProgress = 1052,
    ncProcessList = 1053,
    ncRenameSuccessful = 1054,
    ncUpdateFileSize = 1055,
    ncIdle = 1056,
    ncCommandBegun = 1057,
    ncCommandDropped = 1058,
};

struct TTicketData
{
    std::uint64_t Ticket = 0;
};

struct TErrorData
{
    int Code = 0;
    std::string Desc;
};

struct TFolderEventData
{
    std::string Folder;
    int ReplyType = 0;
    bool Result = false;
};

struct TLogData
{
    std::string Message;
    TColor Color = clLogInfo;
};

struct TProgressData
{
    int Phase = 0;
    bool IsFile = true;
    std::int64_t Bytes = 0;
};

struct TProcessListData
{
    std::string Folder;
    TDirListing List;
};

struct TRenameSuccessfulEventData
{
    std::string OldName;
    std::string NewName;
};

struct TUpdateFileSizeEventData
{
    QString FileName;
    std::int64_t NewSize = 0;
};

struct TNotification
{
    int Code = 0;
    std::variant<std::monostate, TErrorData, TFolderEventData, TLogData, TProgressData, TProcessListData,
                 TRenameSuccessfulEventData, TUpdateFileSizeEventData, TTicketData>
        Data;
};

// The event that wakes the owner for the notes queued so far.
QEvent::Type NotifyEventType();

class TNotificationQueue
{
public:
    void Push(TNotification Note);
    std::optional<TNotification> Pop();
    bool Empty() const;

private:
    mutable std::mutex FMutex;
    std::deque<TNotification> FNotes;
};

// What an engine shares with its worker and with every wake-up event in flight. The
// engine clears Engine when it goes, so notes still queued, and events still posted,
// reach nobody: nothing is delivered to an engine that is gone or going.
struct TNotificationLink
{
    TNotificationQueue Queue;
    TFTPComponent *Engine = nullptr; // owner's thread only
    bool Held = false;               // owner's thread only: notes wait in Queue
};

// One per owner thread, living as long as the thread: it receives the workers'
// wake-up events and delivers each engine's queued notes, oldest first. Being shared,
// it is never destroyed by an engine that goes away inside one of its own handlers.
class TNotifier final : public QObject
{
public:
    static TNotifier &ForThisThread();
    // Wakes the owner for the notes queued on Link so far; from any thread.
    void Wake(const std::shared_ptr<TNotificationLink> &Link);

protected:
    bool event(QEvent *Event) override;

private:
    // Taken by the worker after making a wake-up event and by the owner before reading
    // one, so a race checker sees the event made before it is read.
    std::mutex FWakeMutex;
};
