// The owner's side of the engine: the queue of commands, the registry of live engines
// with its keep-alive timer, and the delivery of notifications.

#include "engine/FTPComp.h"

#include "engine/EventLoopWait.h"
#include "engine/FTPThread.h"
#include "engine/Notifications.h"
#include "engine/ProtocolText.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// The live engines; touched on the owner's thread only.
std::vector<TFTPComponent *> EngineRegistry;

// The engine's kind of wait whose nesting ClearCommands checks.
constexpr int FlushWait = 1;

} // namespace

bool IsSafeServerName(std::string_view Name)
{
    return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string_view::npos &&
           Name.find('\0') == std::string_view::npos;
}

bool IsSafeDownloadPath(const QString &LocalPath)
{
    if (LocalPath.contains(QChar(0)))
        return false;
    const QStringList parts = LocalPath.split(QLatin1Char('/'));
    if (parts.contains(QStringLiteral("..")))
        return false;
    return IsSafeServerName(QFile::encodeName(parts.last()).toStdString());
}

const std::vector<TFTPComponent *> &TFTPComponent::Registry()
{
    return EngineRegistry;
}

void TFTPComponent::KeepAliveTick()
{
    if (!KeepAlive)
        return;
    // A NoOp queues a command and never re-enters the registry, but copy it anyway:
    // handlers may create or destroy engines while events are processed elsewhere.
    const std::vector<TFTPComponent *> engines = EngineRegistry;
    for (TFTPComponent *engine : engines) {
        engine->FIdleSeconds += 10;
        if (engine->FIdleSeconds > 30 && engine->Connected() && engine->LoggedIn() && !engine->Busy())
            engine->NoOp();
    }
}

void TFTPComponent::SetPassiveForAll(bool Value)
{
    DefaultPassive = Value;
    for (auto engine = EngineRegistry.rbegin(); engine != EngineRegistry.rend(); ++engine)
        (*engine)->SetPassive(Value);
}

TFTPComponent::TFTPComponent(QObject *AOwner)
    : QObject(AOwner)
    , FPassive(DefaultPassive.load())
    , FLink(std::make_shared<TNotificationLink>())
    , FNotifier(TNotifier::ForThisThread())
{
    FLink->Engine = this;
    // The C library reads the time zone on first use without a lock a race checker
    // can see; the workers' dates then only read what this thread set up.
    static const bool timeZoneRead = (::tzset(), true);
    Q_UNUSED(timeZoneRead);
    Trace("Adding new FTP Component...");
    FThread = std::make_unique<TFTPThread>(static_cast<TWorkerHost &>(*this));
    FThread->Start();
    if (EngineRegistry.empty())
        StartKeepAliveTimer();
    EngineRegistry.push_back(this);
    TraceFmt("Added new FTP Component, Count = %d", int(EngineRegistry.size()));
}

TFTPComponent::~TFTPComponent()
{
    Trace("Destroying FTP Component...");
    // Nothing more reaches the listeners, not even during the wait below.
    FLink->Engine = nullptr;
    const bool wasFirst = !EngineRegistry.empty() && EngineRegistry.front() == this;
    if (wasFirst)
        StopKeepAliveTimer();
    if (FThread) {
        FThread->Abort();
        FThread->Quit();
        WaitForWorker();
        FThread.reset();
    }
    EngineRegistry.erase(std::remove(EngineRegistry.begin(), EngineRegistry.end(), this), EngineRegistry.end());
    TraceFmt("Destroyed FTP Component, Count = %d", int(EngineRegistry.size()));
    if (wasFirst && !EngineRegistry.empty())
        EngineRegistry.front()->StartKeepAliveTimer();
}

void TFTPComponent::WaitForWorker()
{
    // Unguarded: the engine is already being destroyed, and nothing else frees it.
    TEventLoopWait wait;
    wait.UntilPolled([this](std::chrono::milliseconds Slice) { return FThread->WaitFinished(Slice); });
}

void TFTPComponent::StartKeepAliveTimer()
{
    if (FKeepAliveTimer)
        return;
    FKeepAliveTimer = new QTimer(this);
    connect(FKeepAliveTimer, &QTimer::timeout, this, [] { KeepAliveTick(); });
    FKeepAliveTimer->start(KeepAliveIntervalMS);
}

void TFTPComponent::StopKeepAliveTimer()
{
    delete FKeepAliveTimer;
    FKeepAliveTimer = nullptr;
}

std::string TFTPComponent::Host() const
{
    const std::lock_guard lock(FHostMutex);
    return FHost;
}

void TFTPComponent::SetHost(const std::string &Value)
{
    const std::lock_guard lock(FHostMutex);
    FHost = Value;
}

bool TFTPComponent::Connected() const
{
    return FThread && FThread->ControlOpen();
}

bool TFTPComponent::Busy() const
{
    return FThread && FThread->CurrentCommand() != fcNone;
}

bool TFTPComponent::HasConnectionData(const std::string &Host, int Port, const std::string &UserName,
                                      const std::string &Password, const std::string &Account) const
{
    return this->Host() == Host && this->Port() == Port && this->UserName() == UserName
        && this->Password() == Password && this->Account() == Account;
}

bool TFTPComponent::NotificationsPending() const
{
    return !FLink->Queue.Empty();
}

void TFTPComponent::HoldNotifications()
{
    FLink->Held = true;
}

void TFTPComponent::ReleaseNotifications()
{
    if (!FLink->Held)
        return;
    FLink->Held = false;
    // Their wake-ups may have come and gone while held.
    if (NotificationsPending())
        FNotifier.Wake(FLink);
}

bool TFTPComponent::NotificationsHeld() const
{
    return FLink->Held;
}

void TFTPComponent::AddCommand(TEngineCommand Command)
{
    std::vector<TEngineCommand> commands;
    commands.push_back(std::move(Command));
    AddCommands(std::move(commands));
}

void TFTPComponent::AddCommands(std::vector<TEngineCommand> Commands, std::uint64_t Ticket, bool AfterSuccess)
{
    FIdleSeconds = 0;
    if (!FThread)
        return;
    if (DebugMode) {
        for (const TEngineCommand &command : Commands) {
            std::vector<std::string> arguments = TraceArguments(command);
            if (arguments.size() == 1 && arguments.front().empty())
                arguments.clear();
            TraceFmt("Host %s: Adding Command \"%s\", Parameters = %s", Host().c_str(),
                     FTPCommandName(CommandKind(command)),
                     arguments.empty() ? "<none>" : CommaText(arguments).c_str());
        }
    }
    FThread->Queue().PostCommands(std::move(Commands), Ticket, AfterSuccess);
}

void TFTPComponent::Login()
{
    AddCommand(TLoginCommand{Host(), FPort, FUserName, FPassword, FAccount, std::exchange(FLogonOrder, {})});
}

void TFTPComponent::FirewallLogin()
{
    AddCommand(TFirewallLoginCommand{FFirewallHost, FFirewallPort, FFirewallType, FFirewallUser,
                                     FFirewallPassword, Host(), FPort, FUserName, FPassword, FAccount,
                                     std::exchange(FLogonOrder, {})});
}

void TFTPComponent::Logout()
{
    if (Busy())
        Abort();
    if (!ClearCommands())
        return;
    if (FLoggedIn)
        AddCommand(TLogoutCommand{});
}

void TFTPComponent::GetCurrentFolder()
{
    AddCommand(TGetCurrentFolderCommand{});
}

void TFTPComponent::SetCurrentFolder(const std::string &Folder)
{
    AddCommand(TSetCurrentFolderCommand{Folder});
}

void TFTPComponent::List(const std::string &Folder, const std::string &Mask)
{
    AddCommand(TListCommand{Folder, Mask});
}

void TFTPComponent::Delete(const std::string &Name)
{
    AddCommand(TDeleteCommand{Name});
}

void TFTPComponent::Rename(const std::string &OldName, const std::string &NewName)
{
    AddCommand(TRenameCommand{OldName, NewName});
}

void TFTPComponent::CreateFolder(const std::string &Name)
{
    AddCommand(TCreateFolderCommand{Name});
}

void TFTPComponent::RemoveFolder(const std::string &Name)
{
    AddCommand(TRemoveFolderCommand{Name});
}

void TFTPComponent::NoOp()
{
    AddCommand(TNoOpCommand{});
}

namespace {

std::string LocalPathBytes(const QString &Path)
{
    return QFile::encodeName(Path).toStdString();
}

} // namespace

void TFTPComponent::Download(const std::string &RemoteName, const QString &LocalName, int TransferType)
{
    AddCommand(TSetTypeCommand{TTransferType(TransferType)});
    AddCommand(TDownloadCommand{LocalPathBytes(LocalName), RemoteName});
}

void TFTPComponent::Upload(const QString &LocalName, const std::string &RemoteName, int TransferType)
{
    AddCommand(TSetTypeCommand{TTransferType(TransferType)});
    AddCommand(TUploadCommand{LocalPathBytes(LocalName), RemoteName});
}

namespace {

// One wake-up of the worker, and no idle report between the two.
std::vector<TEngineCommand> DownloadCommands(const std::string &RemoteName, const QString &LocalName,
                                             std::int64_t Offset, int TransferType)
{
    std::vector<TEngineCommand> commands;
    commands.emplace_back(TSetTypeCommand{TTransferType(TransferType)});
    commands.emplace_back(TResumeDownloadCommand{LocalPathBytes(LocalName), RemoteName, Offset});
    return commands;
}

} // namespace

void TFTPComponent::ResumeDownload(const std::string &RemoteName, const QString &LocalName,
                                   std::int64_t Offset, int TransferType)
{
    AddCommands(DownloadCommands(RemoteName, LocalName, Offset, TransferType));
}

std::uint64_t TFTPComponent::ResumeDownloadAfter(const std::string &RemoteName, const QString &LocalName,
                                                 std::int64_t Offset, int TransferType)
{
    if (!FThread)
        return 0;
    const std::uint64_t ticket = ++FLastTicket;
    AddCommands(DownloadCommands(RemoteName, LocalName, Offset, TransferType), ticket, true);
    return ticket;
}

TWithdrawal TFTPComponent::Withdraw(std::uint64_t Ticket)
{
    return FThread ? FThread->Queue().Withdraw(Ticket) : TWithdrawal::Gone;
}

void TFTPComponent::ResumeUpload(const QString &LocalName, const std::string &RemoteName, std::int64_t Offset,
                                 int TransferType)
{
    std::vector<TEngineCommand> commands;
    commands.emplace_back(TSetTypeCommand{TTransferType(TransferType)});
    commands.emplace_back(TResumeUploadCommand{LocalPathBytes(LocalName), RemoteName, Offset});
    AddCommands(std::move(commands));
}

void TFTPComponent::ChangeAttributes(const std::string &Name, std::uint32_t Attributes)
{
    AddCommand(TChangeAttributesCommand{Attributes, Name});
}

void TFTPComponent::Abort()
{
    if (FThread)
        FThread->Abort();
}

bool TFTPComponent::ClearCommands()
{
    // A flush nested in this engine's own flush has nothing left to discard.
    if (!FThread || TEventLoopWait::Waiting(this, FlushWait))
        return true;
    TEventLoopWait wait(this, FlushWait);
    const std::uint64_t ticket = FThread->Queue().PostFlush();
    return wait.UntilPolled([this, ticket](std::chrono::milliseconds Slice) {
        return FThread->Queue().WaitFlushed(ticket, Slice);
    }) != TWaitEnd::Gone;
}

void TFTPComponent::QueueNotification(TNotification Note)
{
    FLink->Queue.Push(std::move(Note));
}

void TFTPComponent::WakeOwner()
{
    FNotifier.Wake(FLink);
}

namespace {

// An exception from a listener is reported and does not stop later notifications.
template <typename Event, typename... Args>
void Raise(const Event &Notification, Args &&...Arguments)
{
    try {
        Notification.Raise(std::forward<Args>(Arguments)...);
    } catch (const std::exception &e) {
        qWarning("FTP notification handler failed: %s", e.what());
    } catch (...) {
        qWarning("FTP notification handler failed");
    }
}

} // namespace

void TFTPComponent::Deliver(TNotification &Note)
{
    // A listener may free the engine: nothing here touches it after raising.
    switch (Note.Code) {
    case ncAbort:
        Raise(OnAbort, this);
        break;
    case ncCantLogIn:
        Raise(OnCantLogIn, this);
        break;
    case ncConnect:
        Raise(OnConnect, this);
        break;
    case ncDisconnect:
        FLoggedIn = false;
        Raise(OnDisconnect, this);
        break;
    case ncError: {
        const auto &data = std::get<TErrorData>(Note.Data);
        Raise(OnError, this, data.Code, data.Desc);
        break;
    }
    case ncFolderReply: {
        const auto &data = std::get<TFolderEventData>(Note.Data);
        Raise(OnFolderReply, this, data.Folder, data.ReplyType, data.Result);
        break;
    }
    case ncLog: {
        const auto &data = std::get<TLogData>(Note.Data);
        Raise(OnLog, this, data.Message, data.Color);
        break;
    }
    case ncLoggedIn:
        FLoggedIn = true;
        Raise(OnLoggedIn, this);
        break;
    case ncProgress: {
        const auto &data = std::get<TProgressData>(Note.Data);
        Raise(OnProgress, this, data.Phase, data.IsFile, data.Bytes);
        break;
    }
    case ncProcessList: {
        auto &data = std::get<TProcessListData>(Note.Data);
        Raise(OnProcessList, this, data.Folder, data.List);
        break;
    }
    case ncRenameSuccessful: {
        const auto &data = std::get<TRenameSuccessfulEventData>(Note.Data);
        Raise(OnRenameSuccessful, this, data.OldName, data.NewName);
        break;
    }
    case ncUpdateFileSize: {
        const auto &data = std::get<TUpdateFileSizeEventData>(Note.Data);
        Raise(OnUpdateFileSize, this, data.FileName, data.NewSize);
        break;
    }
    case ncIdle:
        Raise(OnIdle, this);
        break;
    case ncCommandBegun:
        Raise(OnCommandBegun, this, std::get<TTicketData>(Note.Data).Ticket);
        break;
    case ncCommandDropped:
        Raise(OnCommandDropped, this, std::get<TTicketData>(Note.Data).Ticket);
        break;
    default: break;
    }
}
