#pragma once

// The program-wide transfer queue. Items run strictly one at a time, in list order, over
// engines the queue owns; every handler runs on the thread that owns the queue and its
// engines.

#include "engine/FTPComp.h"
#include "platform/DateTime.h"
#include "transfers/TransferSettings.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class QObject;
class QTimer;
class TTransferItems;

enum TTransferStatus : std::uint8_t {
    tsPending = 0,
    tsInProgress = 1,
    tsDone = 2,
    tsCancelled = 3,
    tsFailed = 4,
};
constexpr int TransferStatusCount = 5;

enum TTransferDirection : std::uint8_t { tdDownload = 0, tdUpload = 1 };

// The transfer manager's text for a status ("Download Pending", "Done", ...); empty for
// an item in progress.
QString TransferStatusText(TTransferStatus status, TTransferDirection direction);

// A name's bytes as shown to the user: UTF-8, or Latin-1 where they are not valid UTF-8.
QString DisplayText(const std::string &bytes);

// a * b / c rounded half away from zero, without overflow; -1 when c is 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c);

// 100 * done / total rounded, within 0..100; 0 when total is 0.
int TransferPercent(std::int64_t done, std::int64_t total);

// Milliseconds of a steady clock; the queue's default tick source.
std::uint64_t SteadyTickCount();

// What the queue needs of the main window and the progress window. The windows implement
// it; without one the queue runs silently.
class TTransferHost
{
public:
    virtual ~TTransferHost() = default;
    // The text of the program's taskbar button.
    virtual void SetApplicationTitle(const QString &title) = 0;
    // The main window's status bar, panel 1.
    virtual void SetStatusText(const QString &text) = 0;
    // The main window's check for showing transfer information.
    virtual bool ShowTransferInfo() const = 0;
    virtual void ShowProgressWindow() = 0;
    // Starts the main window's activity animation; nothing when it already plays.
    virtual void StartActivity() = 0;
    // A modal notice with an OK button.
    virtual void ShowMessage(const QString &text) = 0;
};

// A view that items come from or go to. The destructor makes every queue forget the
// view, so a view may close while its items still wait.
class TTransferView
{
public:
    virtual ~TTransferView();
    // A transfer into the view's folder ended; Folder and Name are raw bytes.
    virtual void UpdateEntry(const std::string &folder, const std::string &name,
                             std::uint32_t attributes, std::int64_t size, TDateTime date) = 0;
};

// One file or folder to transfer. The submitter fills the public fields; once the item is
// queued, only the queue changes them.
class TTransferItem
{
public:
    TTransferItem() = default;
    // Leaves the queue when it is still in one.
    ~TTransferItem();

    TTransferItem(const TTransferItem &) = delete;
    TTransferItem &operator=(const TTransferItem &) = delete;

    std::string Host;
    int Port = 21;
    std::string UserName;
    std::string Password;
    std::string Account;
    // Both end with their separator; full paths are folder + Name. Raw bytes.
    std::string SourceFolder;
    std::string DestFolder;
    std::string Name;
    std::int64_t Size = 0; // of the source; 0 when unknown
    TDateTime Date;
    std::int64_t RestartOffset = 0; // bytes already at the destination
    TTransferDirection Direction = tdDownload;
    bool IsFolder = false;
    TTransferView *SourceView = nullptr; // stored, not used
    TTransferView *TargetView = nullptr; // told about the new entry

    TTransferItems *Owner() const { return FOwner; }
    TTransferStatus Status() const { return FStatus; }
    // The engine carrying out the item; not owned, null when none.
    TFTPComponent *Engine() const { return FEngine; }
    std::uint64_t StartTick() const { return FStartTick; }
    // Bytes moved in the current attempt, not counting RestartOffset.
    std::int64_t BytesDone() const { return FBytesDone; }

    // Index in the owner's list; -1 without an owner.
    int IndexInQueue() const;
    std::uint64_t ElapsedTicks() const;
    // 0..100 of Size - RestartOffset.
    int PercentDone() const;
    // Changes the status, keeping the owner's counts exact.
    void SetStatus(TTransferStatus newStatus);
    // Starts the item on the engine, logging on first when needed.
    void Process(TFTPComponent &engine);
    // An item in progress becomes failed and its engine aborts; callers then set
    // tsCancelled, so the failure the abort provokes changes nothing.
    void Cancel();
    // Why the last attempt failed: the first error it met; empty when none.
    const std::string &FailureText() const { return FFailureText; }
    // The last attempt failed before its engine was logged on.
    bool FailedToLogOn() const { return FFailedToLogOn; }

private:
    friend class TTransferItems;

    // Makes this item the one that hears the engine: the item that heard it before
    // hears it no more.
    void InstallWatchers(TFTPComponent &engine);
    void StartTransfer(TFTPComponent &engine);
    bool CheckLocalPaths(TFTPComponent &engine);
    void Fail(TFTPComponent *engine, const std::string &message);
    // Ends the item once its engine is idle; commandsDone tells that nothing of the
    // item's can still be queued on the engine.
    void ScheduleEnd(bool commandsDone);
    void CompleteEnd();
    bool Watching(const TFTPComponent *engine) const;
    std::uint64_t Now() const;
    const TTransferSettings &Settings() const;
    std::string LocalName() const;
    QString LocalPath() const;

    void EngineConnect(TFTPComponent *sender);
    void EngineDisconnect(TFTPComponent *sender);
    void EngineError(TFTPComponent *sender, int code, const std::string &desc);
    void EngineFolderReply(TFTPComponent *sender, const std::string &folder, int replyType, bool result);
    void EngineLog(TFTPComponent *sender, const std::string &message, TColor color);
    void EngineLoggedIn(TFTPComponent *sender);
    void EngineProgress(TFTPComponent *sender, int phase, bool isFile, std::int64_t position);
    void EngineUpdateFileSize(TFTPComponent *sender, const QString &fileName, std::int64_t newSize);

    TTransferItems *FOwner = nullptr;
    TFTPComponent *FEngine = nullptr;
    std::uint64_t FStartTick = 0;
    std::int64_t FBytesDone = 0;
    // Where the queue's duplicate index files the item.
    std::size_t FIndexKey = 0;
    // The local name of an upload whose remote name was lowercased.
    std::string FLocalName;
    std::int64_t FEndPosition = 0;
    std::string FFailureText;
    // The last line the engine logged as an error during this attempt.
    std::string FLastErrorLine;
    // The small fields together, so that a queue of many pending items stays small.
    TTransferType FTransferType = ttBinary;
    TTransferStatus FStatus = tsPending;
    // The engine reported the end of the transfer (Progress phase 2).
    bool FTransferEnded = false;
    // The transfer (or folder) command has been queued on the engine.
    bool FTransferQueued = false;
    // The end waits for the engine to finish the command.
    bool FEnding = false;
    // The current attempt has ended; later notifications only reach the watchers.
    bool FFinished = true;
    // The engine is logging on for this item.
    bool FLoggingOn = false;
    // Its download was queued behind the item before it and has begun: Process only
    // makes it the one that hears the engine.
    bool FFollowUpBegun = false;
    bool FFailedToLogOn = false;
    std::vector<std::pair<const TFTPComponent *, TScopedConnections>> FWatches;
};

// The queue's events; a listener keeps the TScopedConnection that Connect returns.
using TTransferEngineEvent = TEvent<TFTPComponent *>;
// Sender, Code, Desc.
using TTransferErrorEvent = TEvent<TFTPComponent *, int, const std::string &>;
// Sender, aMessage, aColor.
using TTransferLogEvent = TEvent<TFTPComponent *, const std::string &, TColor>;
// Sender, Item.
using TTransferItemEvent = TEvent<TTransferItems &, TTransferItem &>;
using TTransferQueueEvent = TEvent<TTransferItems &>;

class TTransferItems
{
public:
    explicit TTransferItems(TTransferHost *host = nullptr);
    // Frees every item, then every engine, and sets the application title to "Ferrow".
    ~TTransferItems();

    TTransferItems(const TTransferItems &) = delete;
    TTransferItems &operator=(const TTransferItems &) = delete;

    void SetHost(TTransferHost *host) { FHost = host; }
    TTransferHost *Host() const { return FHost; }
    // The option values in force; the application copies them in when options change.
    const TTransferSettings &Settings() const { return FSettings; }
    void SetSettings(const TTransferSettings &settings) { FSettings = settings; }
    // Replaces the millisecond tick source (tests).
    void SetClock(std::function<std::uint64_t()> clock);
    std::uint64_t Now() const { return FClock(); }

    // Takes the item and clears the caller's pointer; returns its index. A duplicate is
    // refused with a message: -1, and the caller keeps it.
    int Add(std::unique_ptr<TTransferItem> &item);
    // Another pending or running item has the same name, size, date, folders,
    // connection data, offset, direction and kind.
    bool IsDuplicate(const TTransferItem &item) const;

    int Count() const { return int(FItems.size()); }
    TTransferItem *Items(int index) const;
    int IndexOf(const TTransferItem *item) const;
    std::int64_t CountOf(TTransferStatus status) const { return FStatusCounts[status]; }
    TTransferItem *FindFirst(TTransferStatus status) const;
    // List semantics: remove at fromIndex, insert at toIndex. Changes the processing order.
    void Move(int fromIndex, int toIndex);

    // Totals of the current run.
    std::uint64_t StartTick() const { return FStartTick; }
    std::int64_t BytesDone() const { return FBytesDone; }
    std::int64_t BytesRemaining() const { return FBytesRemaining; }
    std::int64_t FilesDone() const { return FFilesDone; }
    std::uint64_t ElapsedTicks() const;
    int PercentDone() const;

    // Starts the first pending item unless one is running. Returns whether it did.
    bool ProcessNext();
    // Nothing pending, nothing running and no item's end still being collected.
    bool IsIdle() const;

    // Keeps a run from ending while its submitter is still adding items: an item that
    // ends at once (a refused name) must not end the run before the next is added.
    class TRunHold
    {
    public:
        explicit TRunHold(TTransferItems &queue);
        ~TRunHold();
        TRunHold(const TRunHold &) = delete;
        TRunHold &operator=(const TRunHold &) = delete;

    private:
        TTransferItems *FQueue;
    };
    // An idle pooled engine with this connection data, or a new one (not logged in).
    TFTPComponent &GetEngine(const std::string &host, int port, const std::string &account,
                             const std::string &password, const std::string &userName);
    // Opens and logs on a pooled connection before the items that will use it exist, so
    // the logon overlaps the work that leads to them (reading the folder to select from).
    // The first item with this connection data takes it over, logged on or still logging
    // on; a logon that failed is only logged, and that item logs on again. Does nothing
    // when the pool already has an engine with this connection data. With `after`, the
    // logon waits for the one that gate stands for, and connects only if that succeeded.
    void PrepareEngine(const std::string &host, int port, const std::string &account,
                       const std::string &password, const std::string &userName,
                       std::shared_ptr<TLogonGate> after = nullptr);
    // Logs every pooled engine out and empties the pool; each engine is freed when its
    // Disconnect arrives (at once when it was not logged in).
    void DisconnectAll();
    int EngineCount() const { return int(FEngines.size()); }
    TFTPComponent *Engines(int index) const;

    // Clears every item's reference to a view that goes away.
    void ForgetView(const TTransferView *view);

    TTransferEngineEvent OnConnect;
    TTransferEngineEvent OnDisconnect;
    TTransferErrorEvent OnError;
    TTransferLogEvent OnLog;
    TTransferItemEvent OnItemAdded;
    TTransferItemEvent OnItemStatusChanged;
    TTransferItemEvent OnItemStarted;
    TTransferItemEvent OnItemFinished;
    TTransferItemEvent OnItemProgress;
    // The engine reported another size for a download: the manager's Size column follows.
    TTransferItemEvent OnItemSizeChanged;
    // An item leaves the queue because it is being freed; raised before it goes.
    TTransferItemEvent OnItemRemoved;
    // A run is over: items were added, and now none is pending, running or ending, and
    // no submitter holds the run open. Raised once per run.
    TTransferQueueEvent OnRunEnded;

private:
    friend class TTransferItem;

    using TEngineList = std::vector<std::unique_ptr<TFTPComponent>>;

    void BeginRun();
    void StatusChanged(TTransferItem &item, TTransferStatus oldStatus);
    void IndexItem(TTransferItem &item);
    void UnindexItem(TTransferItem &item);
    void RenameItem(TTransferItem &item, const std::string &name);
    void Remove(TTransferItem &item);
    bool InPool(const TFTPComponent *engine) const;
    void ReleaseEngine(TFTPComponent *engine);
    void BuryEngines();
    void EndWhenIdle(TTransferItem &item);
    void PollEnding();
    void EngineIdle(TFTPComponent &engine);
    void SetAppTitle();
    void EndRunWhenIdle();
    // Hands the connection PrepareEngine opened to `item`, with the log lines its logon
    // wrote so far; true while the logon's outcome is still to come.
    bool TakeOpening(TFTPComponent &engine, TTransferItem &item);
    // Queues the first pending item's download on `engine` behind the running one's, so
    // the worker goes on to it without waiting for this thread.
    void QueueFollowUp(TFTPComponent &engine);
    // Takes the follow-up back while it is still queued.
    TWithdrawal WithdrawFollowUp();
    // The follow-up's item no longer wants it: withdrawn, or aborted once it begins.
    void DisownFollowUp();
    // The worker has gone on to the follow-up on `engine`: the command before it is over.
    bool FollowUpTakenOn(TFTPComponent &engine);
    void FollowUpBegun(TFTPComponent &engine, std::uint64_t ticket);
    void FollowUpDropped(TFTPComponent &engine, std::uint64_t ticket);
    void EndBeforeFollowUp(TFTPComponent &engine);

    TTransferHost *FHost = nullptr;
    TTransferSettings FSettings;
    std::function<std::uint64_t()> FClock;
    // Owns the timers and the queued calls, so none outlives the queue.
    std::unique_ptr<QObject> FContext;

    std::vector<std::unique_ptr<TTransferItem>> FItems;
    // Pending and running items by a hash of their names, for the duplicate check.
    std::unordered_multimap<std::size_t, TTransferItem *> FActive;
    // No item before this index is pending.
    mutable std::size_t FPendingHint = 0;
    std::array<std::int64_t, TransferStatusCount> FStatusCounts{};

    TEngineList FEngines;   // the pool
    TEngineList FRetired;   // logged out by DisconnectAll, waiting for their Disconnect
    // Freed by a queued call: a release comes from inside the engine's own handlers.
    TEngineList FGraveyard;
    // Each pooled engine's OnIdle.
    TScopedConnections FIdleWatches;
    // The item that hears each engine.
    std::unordered_map<const TFTPComponent *, TTransferItem *> FWatchers;
    // The connection PrepareEngine opened, until an item takes it over or it leaves the pool.
    struct TOpening
    {
        TFTPComponent *Engine = nullptr;
        // Until the logon's outcome (logged on, refused, disconnected) has been heard: an
        // item that takes the engine over then hears it itself.
        bool LoggingOn = false;
        bool Logging = false; // until the logon command is over
        std::vector<std::pair<std::string, TColor>> Log;
        TScopedConnections Watch;
    };
    TOpening FOpening;
    // A download queued behind the running item's (QueueFollowUp); Item is null once
    // nobody wants it but the worker has it.
    struct TFollowUp
    {
        TTransferItem *Item = nullptr;
        TFTPComponent *Engine = nullptr;
        std::uint64_t Ticket = 0;
    };
    TFollowUp FFollowUp;
    // The local files this run's downloads have begun writing.
    std::unordered_set<std::string> FRunTargets;
    // Runs a follow-up no item has taken (yet), or one nobody wants, aborted: nothing
    // starts until it is idle.
    TFTPComponent *FOrphanEngine = nullptr;
    bool FStarting = false; // ProcessNext is handing an item to an engine
    TTransferItem *FEndingItem = nullptr;
    bool FEndQueued = false; // PollEnding's call is on its way
    int FRunHolds = 0;
    bool FRunOpen = false; // items were added since the last run ended

    std::uint64_t FStartTick = 0;
    std::int64_t FBytesDone = 0;
    std::int64_t FBytesRemaining = 0;
    std::int64_t FFilesDone = 0;
};

// The program's one queue. The application keeps one TGlobalTransferItems alive from
// before its first window to after its last; TransferItems() reaches it meanwhile.
class TGlobalTransferItems
{
public:
    explicit TGlobalTransferItems(TTransferHost *host = nullptr);
    ~TGlobalTransferItems();
    TGlobalTransferItems(const TGlobalTransferItems &) = delete;
    TGlobalTransferItems &operator=(const TGlobalTransferItems &) = delete;

    TTransferItems &Queue() { return *FQueue; }

private:
    std::unique_ptr<TTransferItems> FQueue;
};

// The program's queue; only while a TGlobalTransferItems exists.
TTransferItems &TransferItems();
bool HasTransferItems();
