#include "transfers/Transfer.h"

#include "engine/Trace.h"
#include "platform/TextCodec.h"
#include "transfers/TransferDecision.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {

const QString ProgramTitle = QStringLiteral("Ferrow");

// Every live queue, so that a closing view can be forgotten by all of them.
std::vector<TTransferItems *> &LiveQueues()
{
    static std::vector<TTransferItems *> queues;
    return queues;
}

TTransferItems *GlobalQueue = nullptr;

QString LocalPathText(const std::string &bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

bool IsActive(TTransferStatus status)
{
    return status == tsPending || status == tsInProgress;
}

void HashCombine(std::size_t &seed, std::string_view text)
{
    seed ^= std::hash<std::string_view>{}(text) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// Hash of the fields the duplicate check compares that identify the file.
std::size_t DuplicateHash(const TTransferItem &item)
{
    std::size_t seed = std::size_t(item.Direction);
    HashCombine(seed, item.Name);
    HashCombine(seed, item.SourceFolder);
    HashCombine(seed, item.DestFolder);
    HashCombine(seed, item.Host);
    return seed;
}

bool SameTransfer(const TTransferItem &a, const TTransferItem &b)
{
    return a.Name == b.Name && a.Size == b.Size && a.Date.Value() == b.Date.Value()
        && a.SourceFolder == b.SourceFolder && a.DestFolder == b.DestFolder && a.Host == b.Host
        && a.Port == b.Port && a.UserName == b.UserName && a.Password == b.Password
        && a.Account == b.Account && a.RestartOffset == b.RestartOffset
        && a.Direction == b.Direction && a.IsFolder == b.IsFolder;
}

// Logs on with the connection data already set on the engine, through the firewall
// when the options name one.
void LogOn(TFTPComponent &engine, const TTransferSettings &settings)
{
    engine.SetServerType(1); // "Not Relevant": the queue never lists
    QueueLogon(engine, settings);
}

// Bytes of a local file; -1 when it cannot be examined.
std::int64_t LocalFileSize(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return std::int64_t(info.st_size);
}

} // namespace

QString DisplayText(const std::string &bytes)
{
    return DecodeUtf8OrLatin1(std::string_view(bytes));
}

QString TransferStatusText(TTransferStatus status, TTransferDirection direction)
{
    switch (status) {
    case tsPending:
        return direction == tdUpload ? QStringLiteral("Upload Pending") : QStringLiteral("Download Pending");
    case tsInProgress:
        return QString();
    case tsDone:
        return QStringLiteral("Done");
    case tsCancelled:
        return QStringLiteral("Cancelled");
    case tsFailed:
        return QStringLiteral("Aborted due to Error");
    }
    return QString();
}

std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return -1;
    const __int128 product = __int128(a) * b;
    __int128 quotient = product / c;
    const __int128 remainder = product % c;
    const __int128 absRemainder = remainder < 0 ? -remainder : remainder;
    const __int128 absDivisor = c < 0 ? -__int128(c) : __int128(c);
    if (2 * absRemainder >= absDivisor)
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    return quotient > max ? max : quotient < min ? min : std::int64_t(quotient);
}

int TransferPercent(std::int64_t done, std::int64_t total)
{
    return int(std::clamp<std::int64_t>(MulDiv(100, done, total), 0, 100));
}

std::uint64_t SteadyTickCount()
{
    using namespace std::chrono;
    return std::uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- TTransferView ----

TTransferView::~TTransferView()
{
    for (TTransferItems *queue : LiveQueues())
        queue->ForgetView(this);
}

// ---- TTransferItem ----

TTransferItem::~TTransferItem()
{
    if (FOwner)
        FOwner->Remove(*this);
}

int TTransferItem::IndexInQueue() const
{
    return FOwner ? FOwner->IndexOf(this) : -1;
}

std::uint64_t TTransferItem::Now() const
{
    return FOwner ? FOwner->Now() : SteadyTickCount();
}

std::uint64_t TTransferItem::ElapsedTicks() const
{
    return Now() - FStartTick;
}

int TTransferItem::PercentDone() const
{
    return TransferPercent(FBytesDone, Size - RestartOffset);
}

void TTransferItem::SetStatus(TTransferStatus newStatus)
{
    if (newStatus == FStatus)
        return;
    const TTransferStatus oldStatus = FStatus;
    FStatus = newStatus;
    if (FOwner)
        FOwner->StatusChanged(*this, oldStatus);
}

const TTransferSettings &TTransferItem::Settings() const
{
    static const TTransferSettings defaults;
    return FOwner ? FOwner->Settings() : defaults;
}

std::string TTransferItem::LocalName() const
{
    return FLocalName.empty() ? Name : FLocalName;
}

QString TTransferItem::LocalPath() const
{
    return Direction == tdUpload ? LocalPathText(SourceFolder + LocalName())
                                 : LocalPathText(DestFolder + Name);
}

bool TTransferItem::Watching(const TFTPComponent *engine) const
{
    return engine && engine == FEngine && !FFinished;
}

void TTransferItem::Process(TFTPComponent &engine)
{
    TraceFmt("Processing Transfer Item. Name = \"%s\"", Name.c_str());
    SetStatus(tsInProgress);
    InstallWatchers(engine);
    FEngine = &engine;
    FStartTick = Now();
    FBytesDone = 0;
    FTransferEnded = false;
    FEndPosition = 0;
    FEnding = false;
    FFinished = false;
    FTransferQueued = false;
    FLoggingOn = false;
    FFailureText.clear();
    FFailedToLogOn = false;
    FLastErrorLine.clear();
    if (FOwner) {
        if (Direction == tdDownload && !IsFolder)
            FOwner->FRunTargets.insert(DestFolder + Name);
        FOwner->OnItemStarted.Raise(*FOwner, *this);
    }
    const bool followUp = std::exchange(FFollowUpBegun, false);
    if (FStatus != tsInProgress) {
        // A watcher cancelled the item as it started.
        if (followUp) {
            engine.Abort();
            FTransferQueued = true; // so that the end discards what is left of it
        }
        ScheduleEnd(false);
        return;
    }
    if (followUp) {
        // Its download is running already, checked, typed and queued as StartTransfer would.
        FTransferQueued = true;
        if (FOwner)
            FOwner->QueueFollowUp(engine);
        return;
    }
    if (!CheckLocalPaths(engine))
        return;

    const bool loggingOn = FOwner && FOwner->TakeOpening(engine, *this);
    if (loggingOn || !engine.LoggedIn()) {
        TTransferHost *host = FOwner ? FOwner->Host() : nullptr;
        if (host)
            host->SetStatusText(QStringLiteral("Logging on to %1...").arg(DisplayText(Host)));
        FLoggingOn = true;
        if (!loggingOn) {
            engine.SetHost(Host);
            engine.SetPort(Port);
            engine.SetUserName(UserName);
            engine.SetPassword(Password);
            engine.SetAccount(Account);
            LogOn(engine, Settings());
        }
        // EngineLoggedIn comes back here; a failed login ends the item through
        // EngineError or EngineDisconnect.
        return;
    }
    StartTransfer(engine);
}

bool TTransferItem::CheckLocalPaths(TFTPComponent &engine)
{
    if (Direction != tdDownload)
        return true;
    // A name from a server must not lead the download out of its folder.
    if (!IsSafeServerName(Name)) {
        Fail(&engine, "Refused to create a local file or folder named \"" + Name + "\"");
        return false;
    }
    if (!IsSafeLocalFolder(DestFolder)) {
        Fail(&engine, "Refused to write into the local folder \"" + DestFolder + "\"");
        return false;
    }
    return true;
}

void TTransferItem::StartTransfer(TFTPComponent &engine)
{
    const TTransferSettings &settings = Settings();
    const TTransferType type = ChooseTransferType(settings, Name);
    FTransferType = type;

    if (Direction == tdUpload) {
        FTransferQueued = true;
        if (IsFolder) {
            engine.CreateFolder(DestFolder + Name);
            return;
        }
        if (settings.ForceLowerCase) {
            // Only the remote name changes: the local file keeps the name it has.
            if (FLocalName.empty())
                FLocalName = Name;
            const std::string lower = LowerCaseName(Name);
            if (FOwner)
                FOwner->RenameItem(*this, lower);
            else
                Name = lower;
        }
        engine.ResumeUpload(LocalPath(), DestFolder + Name, RestartOffset, type);
        return;
    }

    if (IsFolder) {
        const std::string folder = DestFolder + Name;
        ::mkdir(folder.c_str(), 0777); // an existing folder is as good as a new one
        EngineProgress(&engine, ppEnd, true, 0);
        return;
    }
    if (RestartOffset > 0) {
        // Resuming past the bytes really present would leave a hole in the file.
        const std::int64_t present = LocalFileSize(DestFolder + Name);
        RestartOffset = std::clamp<std::int64_t>(present, 0, RestartOffset);
    }
    FTransferQueued = true;
    engine.ResumeDownload(SourceFolder + Name, LocalPath(), RestartOffset, type);
    if (FOwner)
        FOwner->QueueFollowUp(engine);
}

void TTransferItem::Cancel()
{
    if (FStatus != tsInProgress)
        return;
    SetStatus(tsFailed);
    // Once the worker has gone on to the next download, an abort would hit that one.
    if (FEngine && !FFinished && !(FOwner && FOwner->FollowUpTakenOn(*FEngine)))
        FEngine->Abort();
    // The end waits until the engine is idle and all it reported has been handled.
    ScheduleEnd(false);
}

void TTransferItem::InstallWatchers(TFTPComponent &engine)
{
    if (FOwner) {
        TTransferItem *&watcher = FOwner->FWatchers[&engine];
        if (watcher && watcher != this)
            std::erase_if(watcher->FWatches, [&engine](const auto &watch) { return watch.first == &engine; });
        watcher = this;
    }
    const auto found = std::ranges::find(FWatches, &engine, [](const auto &watch) { return watch.first; });
    TScopedConnections &watch =
        found != FWatches.end() ? found->second : FWatches.emplace_back(&engine, TScopedConnections{}).second;
    watch.Clear();
    watch += engine.OnConnect.Connect([this](TFTPComponent *sender) { EngineConnect(sender); });
    watch += engine.OnDisconnect.Connect([this](TFTPComponent *sender) { EngineDisconnect(sender); });
    watch += engine.OnError.Connect([this](TFTPComponent *sender, int code, const std::string &desc) {
        EngineError(sender, code, desc);
    });
    watch += engine.OnFolderReply.Connect(
        [this](TFTPComponent *sender, const std::string &folder, int replyType, bool result) {
            EngineFolderReply(sender, folder, replyType, result);
        });
    watch += engine.OnLog.Connect([this](TFTPComponent *sender, const std::string &message, TColor color) {
        EngineLog(sender, message, color);
    });
    watch += engine.OnLoggedIn.Connect([this](TFTPComponent *sender) { EngineLoggedIn(sender); });
    watch +=
        engine.OnProgress.Connect([this](TFTPComponent *sender, int phase, bool isFile, std::int64_t bytes) {
            EngineProgress(sender, phase, isFile, bytes);
        });
    watch += engine.OnUpdateFileSize.Connect(
        [this](TFTPComponent *sender, const QString &fileName, std::int64_t size) {
            EngineUpdateFileSize(sender, fileName, size);
        });
}

void TTransferItem::Fail(TFTPComponent *engine, const std::string &message)
{
    EngineError(engine, 0, message);
}

void TTransferItem::ScheduleEnd(bool commandsDone)
{
    if (FEnding || FFinished)
        return;
    FEnding = true;
    if (!commandsDone && FTransferQueued && FEngine && !(FOwner && FOwner->FollowUpTakenOn(*FEngine))) {
        // An abort or a failure reaches only the running command: a transfer still
        // queued behind its SetType would run later, and its notifications would reach
        // the next item.
        FEngine->ClearCommands();
    }
    if (FOwner)
        FOwner->EndWhenIdle(*this);
    else
        CompleteEnd();
}

// The item's command is over and every notification it caused has been handled.
void TTransferItem::CompleteEnd()
{
    // The engine saw no fault, yet the listing promised more than arrived.
    if (FTransferEnded && FStatus == tsInProgress && Direction == tdDownload && !IsFolder
        && DownloadEndedShort(FTransferType, Size, FEndPosition))
        Fail(FEngine, "Only " + std::to_string(FEndPosition) + " of " + std::to_string(Size) + " bytes of \""
                          + Name + "\" arrived");
    FEnding = false;
    FFinished = true;
    TTransferItems *owner = FOwner;
    if (!owner) {
        if (FStatus == tsInProgress)
            SetStatus(tsDone);
        return;
    }
    if (FTransferEnded) {
        owner->OnItemFinished.Raise(*owner, *this);
        if (TargetView) {
            // A transfer that did not succeed leaves only the bytes it moved.
            const bool succeeded = FStatus == tsInProgress;
            const std::int64_t size = succeeded && Size > 0 ? Size : FEndPosition;
            TargetView->UpdateEntry(DestFolder, Name, IsFolder ? std::uint32_t(faFolder) : 0u,
                                    IsFolder ? Size : size, Date);
        }
        owner->FFilesDone += 1;
    }
    if (owner->EngineCount() > 1 && FEngine && owner->InPool(FEngine) && owner->FFollowUp.Engine != FEngine)
        owner->ReleaseEngine(FEngine);
    if (FStatus == tsInProgress)
        SetStatus(tsDone);
    if (owner->CountOf(tsInProgress) == 0)
        owner->ProcessNext();
    owner->EndRunWhenIdle();
}

void TTransferItem::EngineConnect(TFTPComponent *sender)
{
    if (FOwner)
        FOwner->OnConnect.Raise(sender);
}

void TTransferItem::EngineDisconnect(TFTPComponent *sender)
{
    TTransferItems *owner = FOwner;
    if (owner)
        owner->OnDisconnect.Raise(sender);
    if (Watching(sender) && !FEnding) {
        // Neither a failed login nor a lost control connection reports an error of its
        // own; without this the item would wait forever.
        if (FStatus == tsInProgress) {
            // A transfer is queued only on a logged-on engine.
            const std::string reason = FTransferQueued ? "Lost the connection to " : "Could not log on to ";
            Fail(sender, reason + Host);
        } else {
            ScheduleEnd(false);
        }
    }
    if (!owner)
        return;
    if (!owner->InPool(sender))
        owner->ReleaseEngine(sender);
    owner->ProcessNext();
}

void TTransferItem::EngineError(TFTPComponent *sender, int code, const std::string &desc)
{
    if (FOwner && FOwner->OnError.HasListeners())
        FOwner->OnError.Raise(sender, code, desc);
    else
        EngineLog(sender, desc, clLogError);
    if (!Watching(sender))
        return;
    if (FStatus == tsInProgress) {
        // The first error says why; what follows is mostly its consequence. The
        // server's refusal is often only logged, and says more than the error.
        if (FFailureText.empty()) {
            FFailureText = desc;
            if (!FLastErrorLine.empty() && FLastErrorLine != desc)
                FFailureText += " (" + FLastErrorLine + ")";
            FFailedToLogOn = FLoggingOn;
        }
        SetStatus(tsFailed);
    }
    ScheduleEnd(false);
}

void TTransferItem::EngineFolderReply(TFTPComponent *sender, const std::string &, int replyType, bool)
{
    // A folder upload is over with the server's answer to MKD, whatever it was: a
    // folder that already exists is as good as a new one.
    if (replyType == frCreate || replyType == frRemove)
        EngineProgress(sender, ppEnd, true, 0);
}

void TTransferItem::EngineLog(TFTPComponent *sender, const std::string &message, TColor color)
{
    if (color == clLogError && Watching(sender)) {
        const auto first = message.find_first_not_of(" \r\n");
        const auto last = message.find_last_not_of(" \r\n");
        if (first != std::string::npos)
            FLastErrorLine = message.substr(first, last - first + 1);
    }
    if (FOwner)
        FOwner->OnLog.Raise(sender, message, color);
}

void TTransferItem::EngineLoggedIn(TFTPComponent *sender)
{
    TTransferItems *owner = FOwner;
    if (owner && !owner->InPool(sender)) {
        // Disconnected from the queue while it logged on.
        sender->Logout();
        return;
    }
    if (!Watching(sender) || FEnding)
        return;
    FLoggingOn = false;
    if (FStatus == tsInProgress)
        Process(*sender);
    else
        ScheduleEnd(false); // cancelled while logging on
}

void TTransferItem::EngineProgress(TFTPComponent *sender, int phase, bool, std::int64_t position)
{
    if (!Watching(sender) || FEnding)
        return;
    // A server that cannot restart sends the whole file: the real start is what counts.
    if (phase == ppStart && position != RestartOffset)
        RestartOffset = position;
    const std::int64_t moved = position - RestartOffset;
    const std::int64_t delta = moved - FBytesDone;
    FBytesDone = moved;
    if (FOwner) {
        FOwner->FBytesDone += delta;
        FOwner->FBytesRemaining -= delta;
        FOwner->OnItemProgress.Raise(*FOwner, *this);
    }
    if (phase == ppEnd) {
        FTransferEnded = true;
        FEndPosition = position;
        ScheduleEnd(true);
    }
}

void TTransferItem::EngineUpdateFileSize(TFTPComponent *sender, const QString &fileName, std::int64_t newSize)
{
    if (!Watching(sender) || Direction != tdDownload || Size == newSize || fileName != LocalPath())
        return;
    if (FOwner)
        FOwner->FBytesRemaining += newSize - Size;
    Size = newSize;
    if (FOwner)
        FOwner->OnItemSizeChanged.Raise(*FOwner, *this);
}

// ---- TTransferItems ----

TTransferItems::TTransferItems(TTransferHost *host)
    : FHost(host)
    , FClock(SteadyTickCount)
    , FContext(std::make_unique<QObject>())
{
    LiveQueues().push_back(this);
}

TTransferItems::~TTransferItems()
{
    auto &queues = LiveQueues();
    queues.erase(std::remove(queues.begin(), queues.end(), this), queues.end());
    // Pending end checks and burials die with their context; the engines' destructors
    // below process events, and nothing more of theirs may reach the queue.
    FContext.reset();
    FEndingItem = nullptr;
    FIdleWatches.Clear();
    FOpening = TOpening{};
    FFollowUp = TFollowUp{};
    FOrphanEngine = nullptr;
    while (!FItems.empty()) {
        FItems.back()->FOwner = nullptr;
        FItems.pop_back();
    }
    FActive.clear();
    FWatchers.clear();
    for (TEngineList *list : {&FEngines, &FRetired, &FGraveyard}) {
        while (!list->empty()) {
            std::unique_ptr<TFTPComponent> engine = std::move(list->back());
            list->pop_back();
            engine.reset();
        }
    }
    SetAppTitle();
}

void TTransferItems::SetClock(std::function<std::uint64_t()> clock)
{
    FClock = clock ? std::move(clock) : std::function<std::uint64_t()>(SteadyTickCount);
}

void TTransferItems::SetAppTitle()
{
    if (FHost)
        FHost->SetApplicationTitle(ProgramTitle);
}

int TTransferItems::Add(std::unique_ptr<TTransferItem> &item)
{
    if (!item || item->FOwner)
        return -1;
    TraceFmt("Adding Transfer Item. Name = \"%s\"", item->Name.c_str());
    if (IsDuplicate(*item)) {
        if (FHost)
            FHost->ShowMessage(QStringLiteral("\"%1\" is already in the transfer queue").arg(DisplayText(item->Name)));
        return -1;
    }
    TTransferItem &added = *item;
    added.FOwner = this;
    FRunOpen = true;
    FItems.push_back(std::move(item));
    const int index = Count() - 1;
    if (CountOf(tsInProgress) == 0 && !FEndingItem)
        BeginRun();
    FStatusCounts[added.FStatus] += 1;
    if (IsActive(added.FStatus))
        IndexItem(added);
    FBytesRemaining += added.Size;
    OnItemAdded.Raise(*this, added);
    if (CountOf(tsInProgress) == 0)
        ProcessNext();
    return index;
}

void TTransferItems::BeginRun()
{
    FStartTick = Now();
    FBytesDone = 0;
    FBytesRemaining = 0;
    FFilesDone = 0;
    FRunTargets.clear();
}

bool TTransferItems::IsDuplicate(const TTransferItem &item) const
{
    const auto [first, last] = FActive.equal_range(DuplicateHash(item));
    return std::any_of(first, last, [&item](const auto &entry) {
        return entry.second != &item && SameTransfer(*entry.second, item);
    });
}

void TTransferItems::IndexItem(TTransferItem &item)
{
    item.FIndexKey = DuplicateHash(item);
    FActive.emplace(item.FIndexKey, &item);
}

void TTransferItems::UnindexItem(TTransferItem &item)
{
    // By the key it was filed under, whatever its fields say now.
    const auto [first, last] = FActive.equal_range(item.FIndexKey);
    for (auto it = first; it != last; ++it) {
        if (it->second == &item) {
            FActive.erase(it);
            return;
        }
    }
}

void TTransferItems::RenameItem(TTransferItem &item, const std::string &name)
{
    if (item.Name == name)
        return;
    const bool indexed = IsActive(item.FStatus);
    if (indexed)
        UnindexItem(item);
    item.Name = name;
    if (indexed)
        IndexItem(item);
}

void TTransferItems::StatusChanged(TTransferItem &item, TTransferStatus oldStatus)
{
    if (oldStatus == tsPending && &item == FFollowUp.Item)
        DisownFollowUp();
    FStatusCounts[oldStatus] -= 1;
    FStatusCounts[item.FStatus] += 1;
    if (IsActive(oldStatus) != IsActive(item.FStatus)) {
        if (IsActive(item.FStatus))
            IndexItem(item);
        else
            UnindexItem(item);
    }
    if (item.FStatus == tsPending) {
        FPendingHint = 0;
        // Re-submitted: the run it joins or begins ends for the watchers too.
        if (!IsActive(oldStatus))
            FRunOpen = true;
    }
    OnItemStatusChanged.Raise(*this, item);
    // A pending item cancelled or failed without running has no end to collect.
    if (oldStatus == tsPending && !IsActive(item.FStatus))
        QTimer::singleShot(0, FContext.get(), [this] { EndRunWhenIdle(); });
}

void TTransferItems::Remove(TTransferItem &item)
{
    const int index = IndexOf(&item);
    if (index < 0)
        return;
    OnItemRemoved.Raise(*this, item);
    if (&item == FFollowUp.Item)
        DisownFollowUp();
    if (FEndingItem == &item)
        FEndingItem = nullptr;
    // Its watches go with it.
    std::erase_if(FWatchers, [&item](const auto &entry) { return entry.second == &item; });
    if (IsActive(item.FStatus))
        UnindexItem(item);
    FStatusCounts[item.FStatus] -= 1;
    item.FOwner = nullptr;
    // The item is being destroyed by its own destructor: give up ownership only.
    [[maybe_unused]] TTransferItem *released = FItems[std::size_t(index)].release();
    FItems.erase(FItems.begin() + index);
    FPendingHint = 0;
    if (FContext)
        QTimer::singleShot(0, FContext.get(), [this] { EndRunWhenIdle(); });
}

TTransferItem *TTransferItems::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[std::size_t(index)].get() : nullptr;
}

int TTransferItems::IndexOf(const TTransferItem *item) const
{
    const auto it = std::find_if(FItems.begin(), FItems.end(),
                                 [item](const auto &entry) { return entry.get() == item; });
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TTransferItem *TTransferItems::FindFirst(TTransferStatus status) const
{
    const std::size_t start = status == tsPending ? std::min(FPendingHint, FItems.size()) : 0;
    for (std::size_t i = start; i < FItems.size(); ++i) {
        if (FItems[i]->FStatus == status) {
            if (status == tsPending)
                FPendingHint = i;
            return FItems[i].get();
        }
    }
    if (status == tsPending)
        FPendingHint = FItems.size();
    return nullptr;
}

void TTransferItems::Move(int fromIndex, int toIndex)
{
    if (fromIndex < 0 || fromIndex >= Count() || toIndex < 0 || toIndex >= Count() || fromIndex == toIndex)
        return;
    const auto from = FItems.begin() + fromIndex;
    const auto to = FItems.begin() + toIndex;
    if (fromIndex < toIndex)
        std::rotate(from, from + 1, to + 1);
    else
        std::rotate(to, from, from + 1);
    FPendingHint = 0;
    // The order decides what comes next; a follow-up the worker already has goes on.
    if (FFollowUp.Item)
        WithdrawFollowUp();
}

std::uint64_t TTransferItems::ElapsedTicks() const
{
    return Now() - FStartTick;
}

int TTransferItems::PercentDone() const
{
    return TransferPercent(FBytesDone, FBytesDone + FBytesRemaining);
}

bool TTransferItems::IsIdle() const
{
    return CountOf(tsPending) == 0 && CountOf(tsInProgress) == 0 && !FEndingItem && !FOrphanEngine;
}

void TTransferItems::EndRunWhenIdle()
{
    if (!FRunOpen || FRunHolds > 0 || !IsIdle())
        return;
    FRunOpen = false;
    OnRunEnded.Raise(*this);
}

TTransferItems::TRunHold::TRunHold(TTransferItems &queue)
    : FQueue(&queue)
{
    ++FQueue->FRunHolds;
}

TTransferItems::TRunHold::~TRunHold()
{
    --FQueue->FRunHolds;
    FQueue->EndRunWhenIdle();
}

bool TTransferItems::ProcessNext()
{
    SetAppTitle();
    if ((CountOf(tsPending) > 0 || CountOf(tsInProgress) > 0) && FHost && FHost->ShowTransferInfo())
        FHost->ShowProgressWindow();
    // One item at a time, including one whose end is still being collected.
    if (CountOf(tsInProgress) >= 1 || FEndingItem || FStarting || FOrphanEngine)
        return false;
    FStarting = true;
    bool started = false;
    while (TTransferItem *item = FindFirst(tsPending)) {
        TFTPComponent &engine = GetEngine(item->Host, item->Port, item->Account, item->Password, item->UserName);
        // Creating an engine processes events; the item may have been cancelled meanwhile.
        if (item->FStatus != tsPending || item->FOwner != this)
            continue;
        item->Process(engine);
        started = true;
        break;
    }
    FStarting = false;
    return started;
}

TFTPComponent &TTransferItems::GetEngine(const std::string &host, int port, const std::string &account,
                                         const std::string &password, const std::string &userName)
{
    for (const auto &engine : FEngines) {
        if (engine->HasConnectionData(host, port, userName, password, account)
            && (!engine->Busy() || engine.get() == FOpening.Engine))
            return *engine;
    }
    auto engine = std::make_unique<TFTPComponent>();
    engine->SetHost(host);
    engine->SetPort(port);
    engine->SetUserName(userName);
    engine->SetPassword(password);
    engine->SetAccount(account);
    engine->SetPassive(FSettings.Passive);
    FIdleWatches += engine->OnIdle.Connect([this](TFTPComponent *sender) { EngineIdle(*sender); });
    FIdleWatches += engine->OnCommandBegun.Connect(
        [this](TFTPComponent *sender, std::uint64_t ticket) { FollowUpBegun(*sender, ticket); });
    FIdleWatches += engine->OnCommandDropped.Connect(
        [this](TFTPComponent *sender, std::uint64_t ticket) { FollowUpDropped(*sender, ticket); });
    FEngines.push_back(std::move(engine));
    return *FEngines.back();
}

void TTransferItems::PrepareEngine(const std::string &host, int port, const std::string &account,
                                   const std::string &password, const std::string &userName,
                                   std::shared_ptr<TLogonGate> after)
{
    if (FOpening.Engine)
        return;
    if (std::any_of(FEngines.begin(), FEngines.end(), [&](const auto &engine) {
            return engine->HasConnectionData(host, port, userName, password, account);
        }))
        return;
    TFTPComponent &engine = GetEngine(host, port, account, password, userName);
    FOpening.Engine = &engine;
    FOpening.LoggingOn = true;
    FOpening.Logging = true;
    TScopedConnections &watch = FOpening.Watch;
    // Kept for the item that takes the connection over; the logon is all there is to keep.
    watch += engine.OnLog.Connect([this](TFTPComponent *, const std::string &message, TColor color) {
        if (FOpening.Logging)
            FOpening.Log.emplace_back(message, color);
    });
    watch += engine.OnError.Connect([this](TFTPComponent *, int, const std::string &desc) {
        if (FOpening.Logging)
            FOpening.Log.emplace_back(desc, clLogError);
    });
    watch += engine.OnConnect.Connect([this](TFTPComponent *sender) { OnConnect.Raise(sender); });
    watch += engine.OnDisconnect.Connect([this](TFTPComponent *sender) {
        FOpening.LoggingOn = false;
        OnDisconnect.Raise(sender);
    });
    watch += engine.OnLoggedIn.Connect([this](TFTPComponent *) { FOpening.LoggingOn = false; });
    watch += engine.OnCantLogIn.Connect([this](TFTPComponent *) { FOpening.LoggingOn = false; });
    watch += engine.OnIdle.Connect([this](TFTPComponent *) {
        FOpening.LoggingOn = false;
        FOpening.Logging = false;
    });
    engine.WaitForLogonOf(std::move(after));
    LogOn(engine, FSettings);
}

bool TTransferItems::TakeOpening(TFTPComponent &engine, TTransferItem &item)
{
    if (FOpening.Engine != &engine)
        return false;
    const bool loggingOn = FOpening.LoggingOn;
    const std::vector<std::pair<std::string, TColor>> log = std::move(FOpening.Log);
    FOpening = TOpening{};
    for (const auto &[message, color] : log)
        item.EngineLog(&engine, message, color);
    return loggingOn;
}

TFTPComponent *TTransferItems::Engines(int index) const
{
    return index >= 0 && index < EngineCount() ? FEngines[std::size_t(index)].get() : nullptr;
}

bool TTransferItems::InPool(const TFTPComponent *engine) const
{
    return std::any_of(FEngines.begin(), FEngines.end(),
                       [engine](const auto &entry) { return entry.get() == engine; });
}

void TTransferItems::DisconnectAll()
{
    FOpening = TOpening{};
    FFollowUp = TFollowUp{};
    FOrphanEngine = nullptr;
    std::vector<TFTPComponent *> order;
    for (auto it = FEngines.rbegin(); it != FEngines.rend(); ++it) {
        order.push_back(it->get());
        FRetired.push_back(std::move(*it));
    }
    FEngines.clear();
    const auto retired = [this](const TFTPComponent *engine) {
        return std::any_of(FRetired.begin(), FRetired.end(),
                           [engine](const auto &entry) { return entry.get() == engine; });
    };
    for (TFTPComponent *engine : order) {
        // Logging out processes events, which may already have freed the engine.
        if (!retired(engine))
            continue;
        engine->Logout();
        // An engine that was not logged on sends no Disconnect to wait for.
        if (retired(engine) && !engine->LoggedIn() && !engine->Busy())
            ReleaseEngine(engine);
    }
}

void TTransferItems::ReleaseEngine(TFTPComponent *engine)
{
    std::unique_ptr<TFTPComponent> owned;
    for (TEngineList *list : {&FEngines, &FRetired}) {
        const auto it = std::find_if(list->begin(), list->end(),
                                     [engine](const auto &entry) { return entry.get() == engine; });
        if (it != list->end()) {
            owned = std::move(*it);
            list->erase(it);
            break;
        }
    }
    if (!owned)
        return;
    if (FOpening.Engine == engine)
        FOpening = TOpening{};
    if (FFollowUp.Engine == engine)
        FFollowUp = TFollowUp{};
    if (FOrphanEngine == engine)
        FOrphanEngine = nullptr;
    for (const auto &item : FItems) {
        if (item->FEngine == engine)
            item->FEngine = nullptr;
    }
    // Freed later: this may run inside one of the engine's own handlers.
    FGraveyard.push_back(std::move(owned));
    QTimer::singleShot(0, FContext.get(), [this] { BuryEngines(); });
    // An item waiting for this engine to go idle waits no more.
    if (FEndingItem && !FEndingItem->FEngine)
        PollEnding();
}

void TTransferItems::BuryEngines()
{
    // A wait inside one of these engines' own calls survives its engine: the engines
    // need not outlive the calls that process events.
    TEngineList dead;
    dead.swap(FGraveyard);
    for (const auto &engine : dead)
        FWatchers.erase(engine.get());
    dead.clear();
}

void TTransferItems::EndWhenIdle(TTransferItem &item)
{
    FEndingItem = &item;
    PollEnding();
}

void TTransferItems::PollEnding()
{
    TTransferItem *item = FEndingItem;
    // One queued end at a time: the end of a transfer and the engine's idle report
    // usually both ask for it.
    if (!item || FEndQueued)
        return;
    // The worker may be between the item's command and the one queued behind it, which
    // says when it begins (FollowUpBegun ends the item then) or is dropped.
    if (item->FEngine && FFollowUp.Engine == item->FEngine)
        return;
    // A busy engine is still finishing the command (and may yet report an error); its
    // OnIdle calls here again.
    if (item->FEngine && item->FEngine->Busy())
        return;
    // Notifications still to be heard end with the engine's idle report, which ends
    // the item at once (EngineIdle): no trip through the event loop between two files.
    if (item->FEngine && item->FEngine->NotificationsPending())
        return;
    // Everything the worker raised before it went idle is already posted, this call
    // after it, so it runs once every notification of the command has been handled.
    FEndQueued = true;
    QMetaObject::invokeMethod(
        FContext.get(),
        [this, item] {
            FEndQueued = false;
            if (FEndingItem != item) {
                PollEnding(); // another item's end, which found this one queued
                return;
            }
            FEndingItem = nullptr;
            item->CompleteEnd();
        },
        Qt::QueuedConnection);
}

void TTransferItems::EngineIdle(TFTPComponent &engine)
{
    if (FOrphanEngine == &engine) {
        FOrphanEngine = nullptr;
        ProcessNext();
        EndRunWhenIdle();
        return;
    }
    TTransferItem *item = FEndingItem;
    // The idle report is the last of the item's notifications: none is left to hear.
    // Unless a follow-up was queued after it: then that one's begin or drop decides.
    if (item && !FEndQueued && item->FEngine == &engine && FFollowUp.Engine != &engine && !engine.Busy()
        && !engine.NotificationsPending()) {
        FEndingItem = nullptr;
        item->CompleteEnd();
        return;
    }
    PollEnding();
}

void TTransferItems::QueueFollowUp(TFTPComponent &engine)
{
    // One engine only: with more, an item's end may release its engine.
    if (FFollowUp.Engine || FOrphanEngine || EngineCount() != 1 || !InPool(&engine) || !engine.LoggedIn())
        return;
    TTransferItem *next = FindFirst(tsPending);
    // Only what StartTransfer would queue as it stands: a whole file, nothing to ask.
    if (!next || next->Direction != tdDownload || next->IsFolder || next->RestartOffset != 0
        || !engine.HasConnectionData(next->Host, next->Port, next->UserName, next->Password, next->Account)
        || !IsSafeServerName(next->Name) || !IsSafeLocalFolder(next->DestFolder))
        return;
    // A file this run wrote before may still wait for its date, which the progress window
    // sets once the next item has started: a copy written meanwhile would take it.
    if (FRunTargets.contains(next->DestFolder + next->Name))
        return;
    const TTransferType type = ChooseTransferType(FSettings, next->Name);
    const std::uint64_t ticket =
        engine.ResumeDownloadAfter(next->SourceFolder + next->Name, next->LocalPath(), 0, type);
    if (ticket != 0) {
        next->FTransferType = type;
        FFollowUp = {next, &engine, ticket};
    }
}

TWithdrawal TTransferItems::WithdrawFollowUp()
{
    if (!FFollowUp.Engine)
        return TWithdrawal::Gone;
    const TWithdrawal result = FFollowUp.Engine->Withdraw(FFollowUp.Ticket);
    if (result != TWithdrawal::Taken)
        FFollowUp = TFollowUp{};
    return result;
}

void TTransferItems::DisownFollowUp()
{
    if (WithdrawFollowUp() == TWithdrawal::Taken)
        FFollowUp.Item = nullptr;
}

bool TTransferItems::FollowUpTakenOn(TFTPComponent &engine)
{
    return FFollowUp.Engine == &engine && WithdrawFollowUp() == TWithdrawal::Taken;
}

void TTransferItems::FollowUpDropped(TFTPComponent &engine, std::uint64_t ticket)
{
    // The command before it failed: its item is taken up again in turn.
    if (FFollowUp.Engine == &engine && FFollowUp.Ticket == ticket) {
        FFollowUp = TFollowUp{};
        PollEnding();
    }
}

void TTransferItems::FollowUpBegun(TFTPComponent &engine, std::uint64_t ticket)
{
    if (FFollowUp.Engine != &engine || FFollowUp.Ticket != ticket)
        return;
    const QPointer<TFTPComponent> alive(&engine);
    // Nothing of the follow-up's may be heard before its item hears the engine, even
    // when a listener of the end below processes events.
    const bool held = engine.NotificationsHeld();
    if (!held)
        engine.HoldNotifications();
    // Busy with the follow-up until its item takes it: meanwhile nothing else starts and
    // the run does not end.
    FOrphanEngine = &engine;
    EndBeforeFollowUp(engine);
    TTransferItem *item = std::exchange(FFollowUp, TFollowUp{}).Item;
    if (alive && InPool(&engine)) {
        if (item && item->FStatus == tsPending) {
            FOrphanEngine = nullptr;
            item->FFollowUpBegun = true;
            item->Process(engine);
        } else {
            // Nobody wants it any more: stopped, and its download discarded when the
            // worker is still at its first step.
            engine.Abort();
            engine.ClearCommands();
        }
    }
    if (!held && alive)
        engine.ReleaseNotifications();
}

void TTransferItems::EndBeforeFollowUp(TFTPComponent &engine)
{
    const auto watcher = FWatchers.find(&engine);
    TTransferItem *previous = watcher != FWatchers.end() ? watcher->second : nullptr;
    if (!previous || previous->FFinished)
        return;
    // Its command is over and all it reported has been heard.
    if (!previous->FEnding)
        previous->Fail(&engine, "Unable to complete transfer");
    if (FEndingItem != previous)
        return;
    FEndingItem = nullptr;
    // The follow-up, not the first pending item, comes next.
    const bool starting = std::exchange(FStarting, true);
    previous->CompleteEnd();
    FStarting = starting;
}

void TTransferItems::ForgetView(const TTransferView *view)
{
    for (const auto &item : FItems) {
        if (item->SourceView == view)
            item->SourceView = nullptr;
        if (item->TargetView == view)
            item->TargetView = nullptr;
    }
}

// ---- The global queue ----

TGlobalTransferItems::TGlobalTransferItems(TTransferHost *host)
    : FQueue(std::make_unique<TTransferItems>(host))
{
    GlobalQueue = FQueue.get();
}

TGlobalTransferItems::~TGlobalTransferItems()
{
    if (GlobalQueue == FQueue.get())
        GlobalQueue = nullptr;
}

TTransferItems &TransferItems()
{
    Q_ASSERT_X(GlobalQueue, "TransferItems", "no TGlobalTransferItems exists");
    return *GlobalQueue;
}

bool HasTransferItems()
{
    return GlobalQueue != nullptr;
}
