#pragma once

#include "engine/Event.h"
#include "engine/EventLoopWait.h"
#include "transfers/TransferDecision.h"
#include "views/AllViews.h"
#include "views/ListingCache.h"
#include "views/TreeCombo.h"
#include "views/ViewLog.h"

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <string>

class QTimer;
class TFTPComponent;
class THostListModel;
class TTransferItems;
class TfrmProperties;
struct TTransferSettings;

// A server's connection data as the user gave them.
struct THostLogon
{
    QString Host;
    int Port = 21;
    QString UserName;
    QString Password;
    QString Account;
};

// Sets the logon's connection data on `ftp` and starts logging on, through the firewall
// when `settings` name one.
void StartHostLogon(TFTPComponent &ftp, const THostLogon &logon, const TTransferSettings &settings);

// The view of one folder on one FTP server. It owns one engine for its whole life (one
// given to it already logging on may be swapped for a fresh one before the first
// Connect) and learns about the server only from the engine's notifications. Every
// listing the server sends stays cached per folder until that folder is refreshed or the
// connection ends, so going back to a folder costs no server traffic; masks are applied
// when the list is filled.
//
// Folder paths and names are kept as the server's bytes; the QString forms of the
// TCustomView interface are for display and for what the user types.
class THostView : public TCustomView
{
    Q_OBJECT

public:
    explicit THostView(QWidget *parent = nullptr);
    // `engine` may be logging on already, its notifications held (StartHostLogon): the
    // first Connect with the same data takes that logon over instead of starting one.
    THostView(QWidget *parent, std::unique_ptr<TFTPComponent> engine);
    ~THostView() override;

    // ---- What the main window calls ----
    // Starts a connection; Files (names or masks separated by ';', commas or blanks) are
    // selected after the first listing and handed to the transfer target.
    void Connect(const QString &host, int port, const QString &user, const QString &password,
                 const QString &account, const QString &folder, const QString &files);
    // Gives up a logon the engine was given at creation and Connect did not take over.
    void DropPreparedLogon();
    void Disconnect();
    // Ends the current wait, list fill or engine command.
    void Stop();
    QString GetItemURL(const QModelIndex &item) const;

    // The shared folder tree; the main window sets it on the active remote view.
    void SetTreeCombo(TTreeCombo *combo);
    TTreeCombo *TreeCombo() const { return FTreeCombo; }
    // Goes to the folder chosen in the tree combo.
    void TreeComboChange();
    // Rebuilds the tree combo from the folders seen on this connection.
    void UpdateTreeCombo();

    // Maintained by the owner from the state codes (busy animation).
    bool Animating() const { return FAnimating; }
    void SetAnimating(bool value) { FAnimating = value; }
    bool BuildingList() const { return FBuildingList; }
    bool WaitingForFolder() const { return FWaitingForFolder; }
    // The engine's control connection is open.
    bool Connected() const;
    // The engine runs a command (e.g. logging in).
    bool EngineBusy() const;
    const TViewLog &LogEntries() const { return FLog; }
    TFTPComponent &FTP() const { return *FFTP; }

    // Column 1 Name, 2 Size, 3 Type, 4 Modified; negative is descending.
    int SortColumn() const { return FSortColumn; }
    void SetSortColumn(int column);
    // A click on header column (1-based): the same column again flips the direction.
    void ColumnClick(int column);

    // Firewall and transfer options; by default those of the program's transfer queue.
    void SetSettings(const TTransferSettings *settings) { FSettings = settings; }
    const TTransferSettings &Settings() const;

    // The queue transfers are handed to; by default the program's queue.
    void SetTransferQueue(TTransferItems *queue) { FQueue = queue; }
    TTransferItems *TransferQueue() const;
    // Who answers the overwrite and restart questions; by default windows of this view's.
    // Not owned.
    void SetQuestions(TTransferQuestions *questions) { FQuestions = questions; }
    TTransferQuestions &Questions();

    // The value NamesSelected carries when the folder given to Connect could not be
    // entered (nothing is selected then).
    static constexpr int FolderNotEntered = -1;
    // The matching entries are being handed on for transfer (folders are walked).
    bool TransferringSelection() const { return FTransferringSelection; }
    // The last error the server or the engine reported on this connection.
    const QString &LastError() const { return FLastError; }

    // ---- The server's bytes ----
    std::string FolderBytes() const;
    std::string GetItemNameBytes(const QModelIndex &item) const;
    std::string GetItemPathBytes(const QModelIndex &item) const;
    bool ChangeFolderBytes(const std::string &path);
    bool ChangeFolderAndWaitBytes(const std::string &path);
    const TListingCache &ListingCache() const { return FCache; }
    const TFolderSet &KnownFolders() const { return FKnownFolders; }
    THostListModel *Model() const { return FModel; }
    char SeperatorChar() const { return char(Seperator().toLatin1()); }

    // ---- File operations (fetch, upload now) ----
    // Fetches the selected files one at a time through this view's engine: mode 2 into
    // local's folder, 3 to 5 into the private temporary folder. Folders are not fetched.
    bool FetchSelected(TCustomView *local, int mode);
    bool UploadSelected(TCustomView *local);
    // Renames every selected entry into `folder` (ending with the separator), one after
    // another; a rename the server refuses is logged and the others go on. Returns how
    // many renames were sent.
    int MoveSelectedTo(const QString &folder);
    // A delete is walking through the folders it removes.
    bool Deleting() const { return FDeleting; }
    // Gives the properties window the selected entries, in list order.
    void DescribeSelection(TfrmProperties &window) const;

    // ---- TCustomView ----
    QString GetFolder() const override;
    void SetFolder(const QString &value) override;
    QString GetMask() const override;
    void SetMask(const QString &value) override;
    bool TransferFrom(TCustomView *source) override;
    bool EnterFolder(const QModelIndex &item) override;
    QString GetItemName(const QModelIndex &item) const override;
    QString GetItemPath(const QModelIndex &item) const override;
    bool IsFolder(const QModelIndex &item) const override;
    bool IsLink(const QModelIndex &item) const override;
    std::int64_t GetItemSize(const QModelIndex &item) const override;
    TDateTime GetItemDate(const QModelIndex &item) const override;
    bool ChangeFolder(const QString &path) override;
    bool ChangeFolderAndWait(const QString &path) override;
    bool FolderUp() override;
    bool CreateFolder(const QString &name, bool edit) override;
    bool DeleteSelected(bool confirm) override;
    bool ShowProperties() override;
    void Refresh() override;
    void UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t attributes,
                     std::int64_t size, TDateTime date) override;
    bool RenameItem(const QString &oldName, const QString &newName) override;
    bool TransferTo(TCustomView *target) override;
    bool ListDragOver(const QObject *source) const override;

    // ---- Drag and drop with other programs ----
    // A file manager's files dropped here are uploaded into the current folder.
    bool ExternalDragOver(const QMimeData *data) const override;
    void ExternalDragDrop(const QMimeData *data) override;
    // A file manager the selection was dragged to wants it at `uri` (file://): answers
    // "S" once the download into that folder is on its way, "E" when refused.
    QByteArray DirectSave(const QByteArray &uri);
    // Downloads the selection into a local folder no view shows, through the queue.
    void DownloadInto(const QString &folder);

signals:
    // Every log line.
    void LogLineAdded(THostView *sender, const QString &message, const QColor &color);
    // A one-file-at-a-time fetch is complete, with the local files; without a listener
    // the view does not hold the fetched files for anybody.
    void FilesFetched(THostView *sender, const QStringList &files, int mode);
    // The names given to Connect were matched against the first listing and the
    // matching entries handed on for transfer; `matched` may be 0 or FolderNotEntered.
    void NamesSelected(THostView *sender, int matched);

private:
    void CreateListView();
    void ConnectEngine();
    void SetFolderBytes(std::string folder);

    // Engine notifications.
    void FTPAbort();
    void FTPCantLogIn();
    void FTPConnect();
    void FTPDisconnect();
    void FTPError(int code, const std::string &text);
    void FTPFolderReply(const std::string &folder, int replyType, bool result);
    void FTPLog(const std::string &message, std::uint32_t color);
    void FTPLoggedIn();
    void FTPProcessList(const std::string &folder, TDirListing listing);
    void FTPProgress(int phase, bool isFile, std::int64_t bytes);
    void FTPRenameSuccessful(const std::string &oldName, const std::string &newName);

    void AddLog(const QString &message, const QColor &color);
    void FillList(const std::string &path, const TListingCache::TListingPtr &listing);
    void SelectNamesAfterFill();
    void TransferPreselected();
    void DropFolder(const std::string &folder);
    void ClearCache();
    void EmptyList();
    bool TreeComboShown() const;
    void RebuildTreeCombo();
    void AddTreePath(const std::string &path, bool select);
    void StartNextFetch();
    void FetchNextOrEnd();
    void FetchFailed();
    void ListEdited(int row, const QString &text);
    // A name the user typed that cannot be sent; says why in the log.
    bool RefusedName(const QString &name);
    bool DeleteLevel(int depth);
    bool EnterToDelete(const std::string &folder);
    void ReturnTo(const std::string &folder);
    void SubmitTransfer(TCustomView &source, TCustomView &destination, TTransferDirection direction);
    // A drop can wait for nothing: a listing, a walk or a delete must be over.
    bool DropBusy() const;
    void UploadDropped(const QList<QUrl> &urls);
    // Ends every ChangeFolderAndWait in progress.
    void BreakWaits() { TEventLoopWait::BreakWaits(this, FolderWait); }
    // The view's kinds of wait.
    static constexpr int FolderWait = 1;
    static constexpr int FillWait = 2;
    const TListItem *ItemEntry(const QModelIndex &item) const;

    std::unique_ptr<TFTPComponent> FFTP;
    TScopedConnections FEngineConnections;
    THostListModel *FModel = nullptr;
    TListingCache FCache;
    TFolderSet FKnownFolders;
    TViewLog FLog;
    QStringList FMaskList;
    QStringList FSelectNames;
    QPointer<TTreeCombo> FTreeCombo;
    QTimer *FSelectTimer = nullptr;
    const TTransferSettings *FSettings = nullptr;
    TTransferItems *FQueue = nullptr;
    TTransferQuestions *FQuestions = nullptr;
    std::unique_ptr<TTransferQuestions> FOwnQuestions;
    std::string FFolderRaw;
    int FSortColumn = 1;
    bool FAnimating = false;
    bool FBuildingList = false;
    bool FWaitingForFolder = false;
    bool FTransferringSelection = false;
    bool FDeleting = false;
    bool FDeleteStopped = false;
    int FPreselected = 0;
    QString FLastError;

    // The one-file-at-a-time fetch.
    struct TFetch
    {
        std::string RemotePath;
        QString LocalPath;
        int TransferType = 0;
    };
    int FFetchMode = 0;
    // A fetched file is on its way; its failure is being dealt with.
    bool FFetching = false;
    bool FFetchFailing = false;
    QStringList FFetchedFiles;
    std::vector<TFetch> FFetchQueue;
};
