#pragma once

// The FTP protocol engine. Each TFTPComponent owns one worker thread that runs the
// queued commands one at a time over blocking sockets; every result comes back as a
// notification delivered on the thread that created the engine (the owner's thread),
// through the On... events below, in the order the worker raised them.
//
// All methods must be called on the owner's thread. They only queue a command and
// return at once, except ClearCommands and the destructor, which wait for the worker
// while processing the owner's events.

#include "engine/CommandQueue.h"
#include "engine/Event.h"
#include "engine/FTPCommands.h"
#include "engine/FTPTypes.h"
#include "engine/Trace.h"
#include "engine/WorkerHost.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class QTimer;
class TFTPThread;
class TNotifier;
struct TNotification;
struct TNotificationLink;

// Log colours as 0x00BBGGRR values.
using TColor = std::uint32_t;
constexpr TColor clLogCommand = 0x008000; // green: commands sent
constexpr TColor clLogReply = 0xFF0000;   // blue: replies below 400
constexpr TColor clLogError = 0x0000FF;   // red: replies from 400, errors
constexpr TColor clLogInfo = 0x000000;    // black: the engine's own lines

// FolderReply's ReplyType.
enum TFolderReplyType : int { frCurrent = 0, frChange = 1, frCreate = 2, frRemove = 3 };

// Progress phases.
enum TProgressPhase : int { ppStart = 0, ppRunning = 1, ppEnd = 2 };

class TFTPComponent;

// The notification events. Sender is always the engine that raised the notification;
// strings from the server are its raw bytes. A listener connects with Connect and keeps
// the TScopedConnection it returns for as long as it listens.
using TNotifyEvent = TEvent<TFTPComponent *>;
using TErrorEvent = TEvent<TFTPComponent *, int, const std::string &>;
// Folder, ReplyType, Result.
using TFolderReplyEvent = TEvent<TFTPComponent *, const std::string &, int, bool>;
// Message, Color.
using TLogEvent = TEvent<TFTPComponent *, const std::string &, TColor>;
// Phase, IsFile, Bytes.
using TProgressEvent = TEvent<TFTPComponent *, int, bool, std::int64_t>;
// Folder, List. The listing is handed over: a listener may move it out, and listeners
// after it then see what it left.
using TProcessListEvent = TEvent<TFTPComponent *, const std::string &, TDirListing &>;
// OldName, NewName.
using TRenameSuccessfulEvent = TEvent<TFTPComponent *, const std::string &, const std::string &>;
// FileName (the local file of the download), NewSize.
using TUpdateFileSizeEvent = TEvent<TFTPComponent *, const QString &, std::int64_t>;
// Sender, Ticket.
using TTicketEvent = TEvent<TFTPComponent *, std::uint64_t>;

// Whether a name a server sent may be used as a local file or folder name: not empty,
// not "." or "..", without '/' or a NUL byte.
bool IsSafeServerName(std::string_view Name);

// Whether a local path may receive a download: its last component passes
// IsSafeServerName and no component is "..".
bool IsSafeDownloadPath(const QString &LocalPath);

// Privately a TWorkerHost: that interface is all its worker sees of it.
class TFTPComponent : public QObject, private TWorkerHost
{
    Q_OBJECT

public:
    // ---- Engine-wide settings, shared by every engine ----
    static inline std::atomic<bool> KeepAlive{true};
    static inline std::atomic<int> TimeoutMS{120000};
    static inline std::atomic<int> RetryCount{3}; // 0 = attempt without end
    static inline std::atomic<int> RetryDelaySeconds{5};
    // The Passive value new engines start with.
    static inline std::atomic<bool> DefaultPassive{false};
    // Bytes per data-connection read or write, and per control-connection read.
    static constexpr std::size_t DataBlockSize = 256 * 1024;
    // Uploads read the local file in smaller pieces: the read buffer and the socket's
    // copy of it then stay in the processor cache, which measured faster than 256 KiB.
    static constexpr std::size_t UploadBlockSize = 64 * 1024;
    static constexpr std::size_t ReplyBlockSize = 4096;
    // A hostile server cannot make a reply grow without bound.
    static constexpr std::size_t MaxReplyLineLength = 64 * 1024;
    static constexpr std::size_t MaxReplyLength = 1024 * 1024;
    static constexpr int KeepAliveIntervalMS = 10000;

    // The live engines in creation order (owner's thread only).
    static const std::vector<TFTPComponent *> &Registry();
    // One keep-alive tick: what the 10-second timer on the first engine runs.
    static void KeepAliveTick();
    // Sets DefaultPassive and the Passive of every live engine, last to first.
    static void SetPassiveForAll(bool Value);

    // AOwner, when given, frees the engine with itself (QObject ownership).
    explicit TFTPComponent(QObject *AOwner = nullptr);
    // Aborts the running command, discards the queue and waits for the worker to end
    // (processing events meanwhile); notifications not yet delivered are dropped, and
    // every listener is disconnected. May be called from inside one of this engine's
    // own handlers: the listeners after that handler are not called.
    ~TFTPComponent() override;

    TFTPComponent(const TFTPComponent &) = delete;
    TFTPComponent &operator=(const TFTPComponent &) = delete;

    // ---- Properties: set before queuing a login ----
    std::string Host() const override;
    void SetHost(const std::string &Value);
    int Port() const { return FPort; }
    void SetPort(int Value) { FPort = Value; }
    const std::string &UserName() const { return FUserName; }
    void SetUserName(const std::string &Value) { FUserName = Value; }
    const std::string &Password() const { return FPassword; }
    void SetPassword(const std::string &Value) { FPassword = Value; }
    const std::string &Account() const { return FAccount; }
    void SetAccount(const std::string &Value) { FAccount = Value; }
    int FirewallType() const { return FFirewallType; } // 0..3
    void SetFirewallType(int Value) { FFirewallType = Value; }
    const std::string &FirewallHost() const { return FFirewallHost; }
    void SetFirewallHost(const std::string &Value) { FFirewallHost = Value; }
    int FirewallPort() const { return FFirewallPort; }
    void SetFirewallPort(int Value) { FFirewallPort = Value; }
    const std::string &FirewallUser() const { return FFirewallUser; }
    void SetFirewallUser(const std::string &Value) { FFirewallUser = Value; }
    const std::string &FirewallPassword() const { return FFirewallPassword; }
    void SetFirewallPassword(const std::string &Value) { FFirewallPassword = Value; }
    // Open data connections with PASV; the engine clears it when a server answers 500.
    bool Passive() const override { return FPassive; }
    void SetPassive(bool Value) override { FPassive = Value; }
    // Index into the server-type table; 0 detects the type at the next login.
    int ServerType() const override { return FServerType; }
    void SetServerType(int Value) override { FServerType = std::uint8_t(Value); }
    // Set by the login from the server's answer to a restart probe.
    bool CanResume() const override { return FCanResume; }
    // True from the LoggedIn notification to the Disconnect notification.
    bool LoggedIn() const { return FLoggedIn; }
    // Seconds since the last queued command, counted by the keep-alive timer.
    int IdleSeconds() const { return FIdleSeconds; }

    // ---- State ----
    bool Connected() const; // the control connection is open
    bool Busy() const;      // a command is executing
    // Whether the engine is set to these connection data (the server's bytes).
    bool HasConnectionData(const std::string &Host, int Port, const std::string &UserName,
                           const std::string &Password, const std::string &Account) const;
    // Whether the worker has raised notifications that its owner has not heard yet.
    bool NotificationsPending() const;
    // While held, notifications wait until released: an engine set to work before its
    // listener exists loses nothing, even if events are processed meanwhile.
    void HoldNotifications();
    void ReleaseNotifications();
    bool NotificationsHeld() const;
    // Whether the shared keep-alive timer currently runs on this engine.
    bool HasKeepAliveTimer() const { return FKeepAliveTimer != nullptr; }

    // ---- Commands (queued) ----
    void Login();
    void FirewallLogin();
    // The next login waits, before it connects, until Gate is decided: opened, it goes
    // on; closed, it ends as a failed login without a word to the server.
    void WaitForLogonOf(std::shared_ptr<TLogonGate> Gate) { FLogonOrder.After = std::move(Gate); }
    // The next login opens Gate when it succeeds and closes it otherwise, or when it is
    // dropped before it runs.
    void AnnounceLogonTo(std::shared_ptr<TLogonGate> Gate)
    {
        FLogonOrder.Promise = std::make_shared<TLogonPromise>(std::move(Gate));
    }
    // Aborts a running command, discards the queue, then queues "Logout" if logged in.
    // The engine may have been freed on return when a handler freed it meanwhile.
    void Logout();
    void GetCurrentFolder();
    void SetCurrentFolder(const std::string &Folder);
    // Lists the server's current folder; Folder only comes back in ProcessList.
    void List(const std::string &Folder, const std::string &Mask);
    void Delete(const std::string &Name);
    void Rename(const std::string &OldName, const std::string &NewName);
    void CreateFolder(const std::string &Name);
    void RemoveFolder(const std::string &Name);
    void NoOp();
    // Each transfer first queues "SetType" with TransferType (TTransferType).
    void Download(const std::string &RemoteName, const QString &LocalName, int TransferType);
    void Upload(const QString &LocalName, const std::string &RemoteName, int TransferType);
    void ResumeDownload(const std::string &RemoteName, const QString &LocalName, std::int64_t Offset,
                        int TransferType);
    void ResumeUpload(const QString &LocalName, const std::string &RemoteName, std::int64_t Offset,
                      int TransferType);
    // A download that runs right after the commands queued before it, without waiting
    // for the owner, but only when the last of them succeeds; OnCommandBegun or
    // OnCommandDropped tells which, with the ticket returned here (0: nothing queued).
    std::uint64_t ResumeDownloadAfter(const std::string &RemoteName, const QString &LocalName,
                                      std::int64_t Offset, int TransferType);
    // Takes such a download back while the worker has not begun it.
    TWithdrawal Withdraw(std::uint64_t Ticket);
    // Attributes: the permission bits of TDirEntry (faOwnerRead ... faOtherExecute).
    void ChangeAttributes(const std::string &Name, std::uint32_t Attributes);
    // Cancels the running command's current wait.
    void Abort();
    // Discards every command queued so far; the running one goes on, and one queued
    // while this waits (by a handler of the events it processes) runs. Waits for the worker,
    // processing events; false when the engine was freed meanwhile (then the caller
    // must not touch it). A call nested in its own wait returns true at once.
    bool ClearCommands();
    // Queues a command as it is given; the members above fill theirs from the properties.
    void AddCommand(TEngineCommand Command);
    // With a Ticket, the worker reports when the group begins or is dropped; with
    // AfterSuccess, it runs only when the command before it succeeded.
    void AddCommands(std::vector<TEngineCommand> Commands, std::uint64_t Ticket = 0,
                     bool AfterSuccess = false);

    // ---- Notifications ----
    TNotifyEvent OnAbort;
    TNotifyEvent OnCantLogIn;
    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    TErrorEvent OnError;
    TFolderReplyEvent OnFolderReply;
    TLogEvent OnLog;
    TNotifyEvent OnLoggedIn;
    TProcessListEvent OnProcessList;
    TProgressEvent OnProgress;
    TRenameSuccessfulEvent OnRenameSuccessful;
    TUpdateFileSizeEvent OnUpdateFileSize;
    // Not one of the protocol's notifications: raised when the worker has finished a
    // command and nothing else is queued, behind all the notifications the command
    // caused, so an owner can wait for the worker to be idle without polling.
    TNotifyEvent OnIdle;
    // A download queued by ResumeDownloadAfter begins (behind every notification of the
    // command before it), or is dropped because that command failed or was discarded.
    TTicketEvent OnCommandBegun;
    TTicketEvent OnCommandDropped;

    // Raises the event of one note; the notifier's call, on the owner's thread.
    void Deliver(TNotification &Note);

private:
    // Worker side: queues a notification for delivery on the owner's thread, which
    // WakeOwner then wakes for every note queued so far.
    void QueueNotification(TNotification Note) override;
    void WakeOwner() override;
    void StartKeepAliveTimer();
    void StopKeepAliveTimer();
    void WaitForWorker();

    // The login's restart probe writes it.
    void SetCanResume(bool Value) override { FCanResume = Value; }

    mutable std::mutex FHostMutex;
    std::string FHost;
    int FPort = 21;
    std::string FUserName;
    std::string FPassword;
    std::string FAccount;
    int FFirewallType = 0;
    std::string FFirewallHost;
    int FFirewallPort = 21;
    std::string FFirewallUser;
    std::string FFirewallPassword;
    std::atomic<bool> FPassive{false};
    std::atomic<bool> FCanResume{false};
    std::atomic<std::uint8_t> FServerType{0};
    bool FLoggedIn = false;
    int FIdleSeconds = 0;
    std::uint64_t FLastTicket = 0;
    // For the next login only.
    TLogonOrder FLogonOrder;
    // Shared with the worker and the wake-up events in flight.
    const std::shared_ptr<TNotificationLink> FLink;
    TNotifier &FNotifier; // the owner thread's
    QTimer *FKeepAliveTimer = nullptr;
    std::unique_ptr<TFTPThread> FThread;
};
