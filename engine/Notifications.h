#pragma once

// What the worker reports to the owner: one record per notification, handed over
// through a queue that the owner drains on its own thread, in the order raised. Each
// wake-up event delivers every note queued before it.

#include "engine/FTPComp.h"

#include <QEvent>

#include <deque>
#include <functional>
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
                 TRenameSuccessfulEventData, TUpdateFileSizeEventData>
        Data;
};

// The event that wakes the owner for the notes queued so far.
QEvent::Type NotifyEventType();

class TNotificationQueue
{
public:
    void Push(TNotification Note);
    std::optional<TNotification> Pop();
    // Takes and releases the lock. The worker calls it after making a wake-up event,
    // the owner before reading one, so the event is seen whole.
    void Sync();

private:
    std::mutex FMutex;
    std::deque<TNotification> FNotes;
};

// Lives on the owner's thread and receives the worker's wake-up events; each delivers
// the queued notes, oldest first.
class TNotifier final : public QObject
{
public:
    // The queue is shared: a notifier that outlives its engine (deleted from inside
    // one of its handlers) still has it for the events that reach it afterwards.
    TNotifier(std::shared_ptr<TNotificationQueue> Queue, std::function<void(TNotification &)> Deliver)
        : FQueue(std::move(Queue)), FDeliver(std::move(Deliver))
    {
    }

    // Delivers nothing more: the engine has gone while one of its handlers ran.
    void Detach() { FDeliver = nullptr; }

protected:
    bool event(QEvent *Event) override;

private:
    const std::shared_ptr<TNotificationQueue> FQueue;
    std::function<void(TNotification &)> FDeliver;
};
