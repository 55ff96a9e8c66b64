#include "views/HostView.h"

#include "engine/EventLoopWait.h"
#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "engine/Trace.h"
#include "transfers/TransferSettings.h"
#include "views/FileList.h"
#include "views/HostListModel.h"
#include "views/ListHelpers.h"
#include "views/Masks.h"
#include "views/RemotePaths.h"
#include "views/StatusTexts.h"
#include "views/TreeCombo.h"

#include <QApplication>
#include <QHeaderView>
#include <QTimer>

namespace {

constexpr int FillYieldInterval = 200;
constexpr int SelectTimerMS = 100;
constexpr int FetchPollMS = 20;

// The wait cursor for as long as the list is being filled.
class TWaitCursor
{
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

} // namespace

void StartHostLogon(TFTPComponent &ftp, const THostLogon &logon, const TTransferSettings &settings)
{
    ftp.SetHost(EncodeUserText(logon.Host));
    ftp.SetPort(logon.Port);
    ftp.SetUserName(EncodeUserText(logon.UserName));
    ftp.SetPassword(EncodeUserText(logon.Password));
    ftp.SetAccount(EncodeUserText(logon.Account));
    ftp.SetServerType(0);
    QueueLogon(ftp, settings);
}

THostView::THostView(QWidget *parent)
    : THostView(parent, nullptr)
{}

THostView::THostView(QWidget *parent, std::unique_ptr<TFTPComponent> engine)
    : TCustomView(parent)
    , FFTP(engine ? std::move(engine) : std::make_unique<TFTPComponent>())
{
    Trace("Creating Host View...");
    CreateListView();
    ConnectEngine();
}

THostView::~THostView()
{
    // Its destructor processes events, but delivers none of its own to this view; waits
    // of this view further down the stack end when it is gone.
    FFTP.reset();
    FModel->Clear();
    FCache.Clear();
    FKnownFolders.Clear();
    Trace("Destroyed Host View");
}

void THostView::CreateListView()
{
    FModel = new THostListModel(this);
    auto *list = new TFileList(this);
    list->SetModel(FModel);
    QHeaderView *header = list->Header();
    header->setSectionsClickable(true);
    list->UseDefaultColumnWidths();
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { ColumnClick(section + 1); });
    list->setEnabled(false);
    SetListView(list);
    connect(FModel, &THostListModel::Edited, this, &THostView::ListEdited);
    FModel->SetDirectSave([this](const QByteArray &uri) { return DirectSave(uri); });
}

void THostView::ConnectEngine()
{
    TFTPComponent &ftp = *FFTP;
    FEngineConnections += ftp.OnAbort.Connect([this](TFTPComponent *) { FTPAbort(); });
    FEngineConnections += ftp.OnCantLogIn.Connect([this](TFTPComponent *) { FTPCantLogIn(); });
    FEngineConnections += ftp.OnConnect.Connect([this](TFTPComponent *) { FTPConnect(); });
    FEngineConnections += ftp.OnDisconnect.Connect([this](TFTPComponent *) { FTPDisconnect(); });
    FEngineConnections += ftp.OnError.Connect(
        [this](TFTPComponent *, int code, const std::string &text) { FTPError(code, text); });
    FEngineConnections +=
        ftp.OnFolderReply.Connect([this](TFTPComponent *, const std::string &folder, int replyType,
                                         bool result) { FTPFolderReply(folder, replyType, result); });
    FEngineConnections += ftp.OnLog.Connect(
        [this](TFTPComponent *, const std::string &message, TColor color) { FTPLog(message, color); });
    FEngineConnections += ftp.OnLoggedIn.Connect([this](TFTPComponent *) { FTPLoggedIn(); });
    FEngineConnections +=
        ftp.OnProcessList.Connect([this](TFTPComponent *, const std::string &folder, TDirListing &listing) {
            FTPProcessList(folder, std::move(listing));
        });
    FEngineConnections +=
        ftp.OnProgress.Connect([this](TFTPComponent *, int phase, bool isFile, std::int64_t bytes) {
            FTPProgress(phase, isFile, bytes);
        });
    FEngineConnections += ftp.OnRenameSuccessful.Connect(
        [this](TFTPComponent *, const std::string &oldName, const std::string &newName) {
            FTPRenameSuccessful(oldName, newName);
        });
}

const TTransferSettings &THostView::Settings() const
{
    if (FSettings)
        return *FSettings;
    if (HasTransferItems())
        return TransferItems().Settings();
    static const TTransferSettings defaults;
    return defaults;
}

// A logon the view has not taken over yet is not the view's connection.
bool THostView::Connected() const
{
    return !FFTP->NotificationsHeld() && FFTP->Connected();
}

bool THostView::EngineBusy() const
{
    return !FFTP->NotificationsHeld() && FFTP->Busy();
}

// ---- Connection ----

void THostView::Connect(const QString &host, int port, const QString &user, const QString &password,
                        const QString &account, const QString &folder, const QString &files)
{
    SetSeperator(QLatin1Char('/'));
    FFolderRaw = EncodeUserText(folder);
    AppendCharIfMissing(FFolderRaw, '/');
    SetTotalSize(-1);

    FSelectNames.clear();
    FLastError.clear();
    QString names = files.trimmed();
    if (!names.isEmpty()) {
        names.replace(QLatin1Char(';'), QLatin1Char('\r'));
        FSelectNames = CommaTextItems(names.toLower());
    }

    const THostLogon logon{host, port, user, password, account};
    if (FFTP->NotificationsHeld()
        && FFTP->HasConnectionData(EncodeUserText(host), port, EncodeUserText(user), EncodeUserText(password),
                                   EncodeUserText(account))) {
        // What it has heard so far is this connection's: the view is ready for it now.
        FFTP->ReleaseNotifications();
    } else {
        DropPreparedLogon();
        if (FFTP->Connected())
            FFTP->Logout();
        StartHostLogon(*FFTP, logon, Settings());
    }
    RaiseUpdateState(vsBusy);
}

void THostView::DropPreparedLogon()
{
    if (!FFTP->NotificationsHeld())
        return;
    // A fresh engine: the old one's notifications, held so far, go with it unheard.
    const bool passive = FFTP->Passive();
    FEngineConnections.Clear();
    FFTP = std::make_unique<TFTPComponent>();
    FFTP->SetPassive(passive);
    ConnectEngine();
}

void THostView::Disconnect()
{
    FFTP->Logout();
}

void THostView::Stop()
{
    FWaitingForFolder = false;
    FFetchQueue.clear();
    FFetching = false;
    FDeleteStopped = FDeleting;
    BreakWaits();
    if (FBuildingList)
        FBuildingList = false;
    else
        FFTP->Abort();
}

// ---- Folders ----

std::string THostView::FolderBytes() const
{
    std::string folder = FFolderRaw;
    AppendCharIfMissing(folder, SeperatorChar());
    return folder;
}

QString THostView::GetFolder() const
{
    return DecodeServerText(FolderBytes());
}

void THostView::SetFolder(const QString &value)
{
    SetFolderBytes(EncodeUserText(value));
}

void THostView::SetFolderBytes(std::string folder)
{
    AppendCharIfMissing(folder, SeperatorChar());
    FFolderRaw = std::move(folder);
    FFolder = DecodeServerText(FFolderRaw);
    SetTotalSize(-1);
    UpdateStatus();
}

bool THostView::ChangeFolder(const QString &path)
{
    return ChangeFolderBytes(EncodeUserText(path));
}

bool THostView::ChangeFolderBytes(const std::string &target)
{
    if (!Connected() || FWaitingForFolder)
        return false;
    SetTotalSize(-1);
    std::string path = target;
    AppendCharIfMissing(path, SeperatorChar());

    if (!FCache.Contains(path)) {
        EmptyList();
        RaiseUpdateState(vsBusy);
        FWaitingForFolder = true;
        FFTP->SetCurrentFolder(path);
        FFTP->GetCurrentFolder();
        return true;
    }
    const TListingCache::TListingPtr listing = FCache.Listing(path);
    if (!listing) {
        // Show the folder being listed, so its listing is displayed when it arrives.
        if (!SameFolder(path, FolderBytes())) {
            EmptyList();
            SetFolderBytes(path);
        }
        RaiseUpdateState(vsBusy);
        FFTP->List(path, std::string());
    } else {
        FillList(path, listing);
    }
    if (TreeComboShown())
        RebuildTreeCombo();
    return true;
}

void THostView::FillList(const std::string &path, const TListingCache::TListingPtr &listing)
{
    SetDoUpdates(false);
    FFolderRaw = path;
    FFolder = DecodeServerText(path);
    SetTotalSize(0);
    SetSelectedSize(0);
    // A newer fill takes the list over from any fill still running.
    TEventLoopWait::BreakWaits(this, FillWait);
    TEventLoopWait wait(this, FillWait);
    THostListModel::TRows rows;
    {
        const TWaitCursor waitCursor;
        FModel->Clear();
        FBuildingList = true;
        rows.reserve(listing->size());
        const char seperator = SeperatorChar();
        TFileTypes &types = FModel->Types();
        for (std::size_t i = listing->size(); i-- > 0;) {
            AddListItem(rows, *listing, std::uint32_t(i), types);
            const TListItem &item = (*listing)[i];
            if (item.Entry.IsFolder()) {
                std::string folder = path;
                folder += item.Entry.IsLink() ? LinkName(item.Name) : std::string(item.Name);
                folder += seperator;
                FKnownFolders.Add(folder);
            } else if (!MatchesMasks(rows.back().Caption, FMaskList)) {
                rows.pop_back();
            }
            if (i % FillYieldInterval == 0) {
                // A newer fill or a disconnection took over the list.
                if (wait.Yield() != TWaitEnd::Ready)
                    return;
                // Stop: show what is there.
                if (!FBuildingList)
                    break;
            }
        }
        FBuildingList = false;
        THostListModel::SortRows(rows, *listing, types, FSortColumn);
        FModel->SetRows(listing, std::move(rows));
    }
    RaiseUpdateState(vsIdle);
    SetDoUpdates(true);
    SetTotalSize(-1);
    UpdateStatus();
    if (!FSelectNames.isEmpty())
        SelectNamesAfterFill();
}

void THostView::SelectNamesAfterFill()
{
    std::vector<int> rows;
    bool folderSelected = false;
    for (int row = 0; row < FModel->Count(); ++row) {
        if (MatchesMasks(FModel->Row(row).Caption, FSelectNames)) {
            rows.push_back(row);
            folderSelected = folderSelected || FModel->Entry(row).Entry.IsFolder();
        }
    }
    FSelectNames.clear();
    FPreselected = int(rows.size());
    if (rows.empty()) {
        emit NamesSelected(this, 0);
        return;
    }
    ListView()->SelectRows(rows);
    if (folderSelected) {
        if (!FSelectTimer) {
            FSelectTimer = new QTimer(this);
            FSelectTimer->setSingleShot(true);
            connect(FSelectTimer, &QTimer::timeout, this, &THostView::TransferPreselected);
        }
        FSelectTimer->start(SelectTimerMS);
    } else {
        TransferPreselected();
    }
}

void THostView::TransferPreselected()
{
    const QPointer<THostView> alive(this);
    FTransferringSelection = true;
    if (TCustomView *target = TransferTarget())
        TransferTo(target);
    if (!alive)
        return;
    FTransferringSelection = false;
    emit NamesSelected(this, FPreselected);
}

bool THostView::ChangeFolderAndWait(const QString &path)
{
    return ChangeFolderAndWaitBytes(EncodeUserText(path));
}

bool THostView::ChangeFolderAndWaitBytes(const std::string &target)
{
    std::string path = target;
    AppendCharIfMissing(path, SeperatorChar());
    if (!ChangeFolderBytes(path))
        return false;
    // Ended early by a disconnection, an error or Stop (BreakWaits).
    TEventLoopWait wait(this, FolderWait);
    const TWaitEnd end = wait.Until([this, &path] {
        // The server may name another folder as current: this one will not be listed.
        return FCache.HasListing(path) || (!FWaitingForFolder && !SameFolder(FolderBytes(), path));
    });
    return end != TWaitEnd::Gone && FCache.HasListing(path);
}

bool THostView::FolderUp()
{
    // The folder changes only when the server or the cache shows the parent.
    std::string parent = FolderBytes();
    ParentPath(parent);
    return ChangeFolderBytes(parent);
}

bool THostView::EnterFolder(const QModelIndex &item)
{
    if (!IsFolder(item))
        return false;
    std::string path = GetItemPathBytes(item);
    path += SeperatorChar();
    return ChangeFolderBytes(path);
}

void THostView::Refresh()
{
    DropFolder(FolderBytes());
    ChangeFolderBytes(FolderBytes());
}

void THostView::DropFolder(const std::string &folder)
{
    FCache.Drop(folder);
    FKnownFolders.Remove(folder);
    if (TreeComboShown())
        RebuildTreeCombo();
}

void THostView::ClearCache()
{
    FCache.Clear();
    if (TreeComboShown())
        FTreeCombo->ClearItems();
    FKnownFolders.Clear();
}

void THostView::EmptyList()
{
    TEventLoopWait::BreakWaits(this, FillWait);
    FBuildingList = false;
    FModel->Clear();
}

// ---- Masks and sorting ----

QString THostView::GetMask() const
{
    return JoinMaskList(FMaskList);
}

void THostView::SetMask(const QString &value)
{
    TCustomView::SetMask(value);
    if (value == GetMask())
        return;
    FMaskList = ParseMaskList(value);
    ChangeFolderBytes(FolderBytes());
}

void THostView::SetSortColumn(int column)
{
    FSortColumn = column;
    const bool suspend = DoUpdates();
    if (suspend)
        ListView()->setUpdatesEnabled(false);
    FModel->Sort(FSortColumn);
    if (suspend)
        ListView()->setUpdatesEnabled(true);
    const int section = std::abs(column) - 1;
    ListView()->Header()->setSortIndicator(section, column < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
    ListView()->Header()->setSortIndicatorShown(true);
}

void THostView::ColumnClick(int column)
{
    SetSortColumn(NextSortColumn(FSortColumn, column));
}

// ---- Items ----

const TListItem *THostView::ItemEntry(const QModelIndex &item) const
{
    if (!item.isValid() || item.model() != FModel || !FModel->ValidRow(item.row()))
        return nullptr;
    return &FModel->Entry(item.row());
}

std::string THostView::GetItemNameBytes(const QModelIndex &item) const
{
    const TListItem *entry = ItemEntry(item);
    if (!entry)
        return std::string();
    return entry->Entry.IsLink() ? LinkName(entry->Name) : std::string(entry->Name);
}

std::string THostView::GetItemPathBytes(const QModelIndex &item) const
{
    return FolderBytes() + GetItemNameBytes(item);
}

QString THostView::GetItemName(const QModelIndex &item) const
{
    return ItemEntry(item) ? FModel->Row(item.row()).Caption : QString();
}

QString THostView::GetItemPath(const QModelIndex &item) const
{
    return DecodeServerText(GetItemPathBytes(item));
}

bool THostView::IsFolder(const QModelIndex &item) const
{
    const TListItem *entry = ItemEntry(item);
    return entry && entry->Entry.IsFolder();
}

bool THostView::IsLink(const QModelIndex &item) const
{
    const TListItem *entry = ItemEntry(item);
    return entry && entry->Entry.IsLink();
}

std::int64_t THostView::GetItemSize(const QModelIndex &item) const
{
    const TListItem *entry = ItemEntry(item);
    return entry ? entry->Entry.Size : 0;
}

TDateTime THostView::GetItemDate(const QModelIndex &item) const
{
    const TListItem *entry = ItemEntry(item);
    return entry ? entry->Entry.Date : TDateTime();
}

QString THostView::GetItemURL(const QModelIndex &item) const
{
    return DecodeServerText(ItemURL(FFTP->Host(), FFTP->Port(), FFTP->UserName(), FFTP->Password(),
                                    GetItemPathBytes(item)));
}

// ---- Tree combo ----

void THostView::SetTreeCombo(TTreeCombo *combo)
{
    FTreeCombo = combo;
}

bool THostView::TreeComboShown() const
{
    // A view in a hidden tab leaves the shared tree to the view that is shown.
    return FTreeCombo && ListView()->isVisible();
}

void THostView::TreeComboChange()
{
    if (FTreeCombo && FTreeCombo->HasSelection())
        ChangeFolderBytes(FTreeCombo->SelectedPath());
}

void THostView::UpdateTreeCombo()
{
    if (FTreeCombo)
        RebuildTreeCombo();
}

void THostView::RebuildTreeCombo()
{
    FTreeCombo->BeginUpdate();
    FTreeCombo->ClearItems();
    const std::vector<std::string> known(FKnownFolders.Folders().begin(), FKnownFolders.Folders().end());
    for (const std::string &folder : known)
        AddTreePath(folder, false);
    AddTreePath(FolderBytes(), true);
    FTreeCombo->EndUpdate();
}

void THostView::AddTreePath(const std::string &path, bool select)
{
    if (!FTreeCombo || !ListView()->isVisible() || !Connected() || path.empty())
        return;
    const std::vector<std::string> created = FTreeCombo->AddPath(
        path, SeperatorChar(), select, [this](const std::string &folder) { return FCache.HasListing(folder); });
    for (const std::string &folder : created)
        FKnownFolders.Add(folder);
}

// ---- Engine notifications ----

void THostView::FTPAbort()
{
    RaiseUpdateState(vsAborted);
}

void THostView::FTPCantLogIn()
{
    RaiseUpdateState(vsLoginFailed);
}

void THostView::FTPConnect()
{
    RaiseUpdateState(vsConnected);
}

void THostView::FTPDisconnect()
{
    FFetchQueue.clear();
    FFetching = false;
    ListView()->setEnabled(false);
    FModel->SetEditable(false);
    FWaitingForFolder = false;
    BreakWaits();
    FLog.Clear();
    ClearCache();
    EmptyList();
    for (int panel = 1; panel <= 3; ++panel)
        SetPanelText(panel, QString());
    RaiseUpdateState(vsDisconnected);
}

void THostView::FTPError(int /*code*/, const std::string &text)
{
    BreakWaits();
    FLastError = DecodeServerText(text);
    RaiseUpdateState(vsIdle);
    RaiseUpdateState(vsError);
    AddLog(QStringLiteral("Error: ") + DecodeServerText(text), LogColor(clLogError));
    // A fetched file that failed does not hold up the others.
    if (FFetching && !FFetchFailing) {
        FFetchFailing = true;
        QTimer::singleShot(0, this, &THostView::FetchFailed);
    }
}

void THostView::FTPFolderReply(const std::string &folder, int replyType, bool result)
{
    if (replyType == frChange && !result && !FSelectNames.isEmpty()) {
        // The names were meant for the folder that could not be entered, not for the
        // one the server leaves us in.
        FSelectNames.clear();
        emit NamesSelected(this, FolderNotEntered);
        return;
    }
    if (replyType != frCurrent)
        return;
    FWaitingForFolder = false;
    if (folder.empty()) {
        // Nothing to show: the server named no folder.
        BreakWaits();
        RaiseUpdateState(vsIdle);
        return;
    }
    SetSeperator(QLatin1Char(SeperatorForFolder(folder, SeperatorChar())));
    SetFolderBytes(folder);
    const std::string current = FolderBytes();
    FCache.AddFolder(current);
    ChangeFolderBytes(current);
}

void THostView::FTPLog(const std::string &message, std::uint32_t color)
{
    // A refused login is only logged; its reply is the reason to report.
    if (color == clLogError)
        FLastError = DecodeServerText(message).trimmed();
    AddLog(DecodeServerText(message), LogColor(color));
}

void THostView::AddLog(const QString &message, const QColor &color)
{
    FLog.Add(message, color);
    emit LogLineAdded(this, message, color);
}

void THostView::FTPLoggedIn()
{
    // The names to select are transferred once the folder is read: the queue's own
    // logon runs meanwhile, with data this logon has just proven.
    if (!FSelectNames.isEmpty() && FQueue)
        FQueue->PrepareEngine(FFTP->Host(), FFTP->Port(), FFTP->Account(), FFTP->Password(),
                              FFTP->UserName());
    RaiseUpdateState(vsLoggedIn);
    EmptyList();
    ListView()->setEnabled(true);
    FModel->SetEditable(true);
    FWaitingForFolder = true;
    if (!FFolderRaw.empty())
        FFTP->SetCurrentFolder(FolderBytes());
    FFTP->GetCurrentFolder();
}

void THostView::FTPProcessList(const std::string &folder, TDirListing listing)
{
    FCache.SetListing(folder, std::move(listing));
    if (SameFolder(folder, FolderBytes()))
        ChangeFolderBytes(FolderBytes());
}

void THostView::FTPProgress(int phase, bool isFile, std::int64_t bytes)
{
    switch (phase) {
    case ppStart:
        SetPanelText(3, TransferredText(0));
        return;
    case ppRunning:
        SetPanelText(3, TransferredText(bytes));
        return;
    case ppEnd:
        break;
    default:
        SetPanelText(3, QString());
        return;
    }
    SetPanelText(3, QString());
    RaiseUpdateState(vsIdle);
    if (isFile && FFetchMode == 1) {
        // The file sent by UploadSelected shows once the folder is listed again.
        FFetchMode = 0;
        Refresh();
    }
    if (!isFile || FFetchMode < 2)
        return;
    FFetching = false;
    RaiseUpdateState(vsFileArrived, SelectedCount());
    FetchNextOrEnd();
}

void THostView::FetchNextOrEnd()
{
    if (!FFetchQueue.empty()) {
        StartNextFetch();
        return;
    }
    ListView()->setEnabled(true);
    // Nothing arrived: there is nothing to open.
    if (FFetchedFiles.isEmpty() || !IsListened(&THostView::FilesFetched))
        return;
    const int mode = FFetchMode;
    FFetchMode = 0;
    emit FilesFetched(this, FFetchedFiles, mode);
}

void THostView::FetchFailed()
{
    // The failed download may report more errors; they are all posted once the engine
    // has finished it.
    if (FFTP->Busy()) {
        QTimer::singleShot(FetchPollMS, this, &THostView::FetchFailed);
        return;
    }
    const QPointer<THostView> alive(this);
    QCoreApplication::sendPostedEvents();
    if (!alive)
        return;
    FFetchFailing = false;
    if (!FFetching)
        return;
    FFetching = false;
    FFetchedFiles.removeLast();
    FetchNextOrEnd();
}

void THostView::FTPRenameSuccessful(const std::string &oldName, const std::string &newName)
{
    const TRenameOutcome outcome = ApplyRename(FCache, FKnownFolders, oldName, newName, SeperatorChar());
    if (!outcome.Found)
        return;
    if ((outcome.FolderMoved || outcome.NewFolderDropped) && TreeComboShown())
        RebuildTreeCombo();
    // The shown folder lost or gained an entry (or its listing was dropped).
    const std::string current = FolderBytes();
    if (SameFolder(outcome.NewFolder, current) || SameFolder(outcome.OldFolder, current))
        ChangeFolderBytes(current);
}

void THostView::UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t attributes,
                            std::int64_t size, TDateTime date)
{
    std::string path = folder;
    AppendCharIfMissing(path, SeperatorChar());
    UpdateCachedEntry(FCache, path, name, attributes, size, date);
    if (SameFolder(path, FolderBytes()) || (attributes & faFolder))
        ChangeFolderBytes(path);
}

// ---- Fetches ----

void THostView::StartNextFetch()
{
    if (FFetchQueue.empty()) {
        ListView()->setEnabled(true);
        return;
    }
    const TFetch fetch = FFetchQueue.front();
    FFetchQueue.erase(FFetchQueue.begin());
    FFetchedFiles.append(fetch.LocalPath);
    FFetching = true;
    FFTP->Download(fetch.RemotePath, fetch.LocalPath, fetch.TransferType);
}

// ---- Drag and drop ----

bool THostView::ListDragOver(const QObject *source) const
{
    return TCustomView::ListDragOver(source) && Connected();
}

