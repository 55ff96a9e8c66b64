// The remote view's own file operations through its engine: fetches, upload now,
// the recursive delete, rename, new folder and the permissions change.

#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "engine/Trace.h"
#include "transfers/Confirm.h"
#include "transfers/TransferDecision.h"
#include "views/FileList.h"
#include "views/FileProp.h"
#include "views/FileProperties.h"
#include "views/HostListModel.h"
#include "views/RemotePaths.h"

#include <QApplication>
#include <QFile>
#include <QPointer>

#include <vector>

namespace {

// A selected entry as the delete found it: the list is refilled on every descent.
struct TDeleteEntry
{
    std::string Name;
    QString URL;
    bool IsFolder = false;
    bool IsLink = false;
};

// Deeper than any real tree; a server whose folders lead into themselves ends here.
constexpr int MaxDeleteDepth = 64;

// Shows the window modally and frees it; a view that goes away meanwhile takes it along.
template <typename TWindow>
int ExecAndFree(const QPointer<TWindow> &window)
{
    const int result = window->exec();
    if (window)
        delete window.data();
    return result;
}

} // namespace

// ---- Fetches ----

bool THostView::FetchSelected(TCustomView *local, int mode)
{
    const QModelIndexList items = SelectedItems();
    if (!Connected() || items.isEmpty() || mode < 2 || mode > 5)
        return false;
    QString folder;
    if (mode == 2) {
        if (!local)
            return false;
        folder = local->GetFolder();
    } else {
        QString error;
        folder = TempFolder(&error);
        if (folder.isEmpty()) {
            AddLog(QStringLiteral("Error: ") + error, LogColor(clLogError));
            return false;
        }
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    FFetchQueue.clear();
    FFetchedFiles.clear();
    FFetchMode = mode;
    for (const QModelIndex &item : items) {
        const std::string name = GetItemNameBytes(item);
        // A folder cannot be downloaded as a file; the local name must stay in its folder.
        if (IsFolder(item) || !IsSafeServerName(name)) {
            TraceFmt("Not fetched: \"%s\"", name.c_str());
            continue;
        }
        FFetchQueue.push_back({FolderBytes() + name,
                               folder + QFile::decodeName(QByteArray::fromStdString(name)),
                               int(ChooseTransferType(Settings(), name))});
    }
    StartNextFetch();
    return true;
}

bool THostView::UploadSelected(TCustomView *local)
{
    if (!Connected() || !local || local->SelectedCount() == 0)
        return false;
    const QModelIndex item = local->SelectedItems().front();
    if (local->IsFolder(item))
        return false;
    QString folder = local->GetFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString name = local->GetItemName(item);
    const std::string remoteName = QFile::encodeName(name).toStdString();
    FFetchMode = 1;
    FFTP->Upload(folder + name, FolderBytes() + remoteName, int(ChooseTransferType(Settings(), remoteName)));
    return true;
}

// ---- Delete ----

bool THostView::DeleteSelected(bool confirm)
{
    const QModelIndexList items = SelectedItems();
    if (items.isEmpty() || FDeleting || !Connected())
        return false;
    const QPointer<THostView> alive(this);
    if (confirm) {
        const QPointer<TfrmConfirm> window = new TfrmConfirm(this);
        window->ItemCount = int(items.size());
        window->ItemName = GetItemName(items.front());
        window->ItemIsFolder = IsFolder(items.front());
        if (ExecAndFree(window) != mrYes || !alive)
            return false;
    }
    FDeleting = true;
    FDeleteStopped = false;
    DeleteLevel(0);
    if (!alive)
        return true;
    FDeleting = false;
    UpdateTreeCombo();
    Refresh();
    return true;
}

// Deletes the selection of the folder shown; false when something at this level or
// below could not be reached, so the folders above it must stay.
bool THostView::DeleteLevel(int depth)
{
    std::vector<TDeleteEntry> entries;
    for (const QModelIndex &item : SelectedItems())
        entries.push_back({GetItemNameBytes(item), GetItemURL(item), IsFolder(item), IsLink(item)});
    const QPointer<THostView> alive(this);
    bool whole = true;
    const std::string folder = FolderBytes();
    for (const TDeleteEntry &entry : entries) {
        // A link to a folder goes as a link: its target was never selected.
        if (entry.IsFolder && !entry.IsLink)
            continue;
        if (!IsSafeServerName(entry.Name)) {
            whole = false;
            continue;
        }
        emit FileChanging(this, entry.URL);
        if (!alive)
            return false;
        FFTP->Delete(folder + entry.Name);
    }
    const char seperator = SeperatorChar();
    for (const TDeleteEntry &entry : entries) {
        // Stop or a lost connection ends the whole walk.
        if (!alive || FDeleteStopped || !Connected())
            return false;
        if (!entry.IsFolder || entry.IsLink)
            continue;
        if (!IsSafeServerName(entry.Name) || depth >= MaxDeleteDepth) {
            whole = false;
            continue;
        }
        const std::string inner = folder + entry.Name + seperator;
        if (!EnterToDelete(inner)) {
            // Whatever the view shows now is not the folder meant: it is left alone.
            TraceFmt("Not deleting \"%s\": the folder could not be entered", inner.c_str());
            whole = false;
            ReturnTo(folder);
            continue;
        }
        SelectAll();
        const bool emptied = DeleteLevel(depth + 1);
        if (!alive)
            return false;
        // The server's current folder must be outside the folder it removes.
        FFTP->SetCurrentFolder(folder);
        if (emptied && inner.size() > 1) {
            FFTP->RemoveFolder(inner.substr(0, inner.size() - 1));
            DropFolder(inner);
        } else {
            whole = false;
        }
        ReturnTo(folder);
    }
    return whole;
}

bool THostView::EnterToDelete(const std::string &folder)
{
    // Listed afresh, so that what is deleted is what the server holds now.
    FCache.Drop(folder);
    ChangeFolderAndWaitBytes(folder);
    return Connected() && SameFolder(FolderBytes(), folder) && FCache.HasListing(folder) && !FBuildingList;
}

void THostView::ReturnTo(const std::string &folder)
{
    if (Connected() && !(SameFolder(FolderBytes(), folder) && FCache.HasListing(folder)))
        ChangeFolderAndWaitBytes(folder);
}

// ---- Rename and new folder ----

bool THostView::RefusedName(const QString &name)
{
    const QString reason = UnsafeRemoteNameReason(name);
    if (reason.isEmpty())
        return false;
    FLastError = reason;
    AddLog(QStringLiteral("Error: ") + reason, LogColor(clLogError));
    QApplication::beep();
    return true;
}

void THostView::ListEdited(int row, const QString &text)
{
    if (!Connected() || !FModel->ValidRow(row))
        return;
    const QModelIndex item = FModel->index(row, THostListModel::colName);
    if (text.isEmpty() || text == GetItemName(item)) {
        QApplication::beep();
        return;
    }
    if (RefusedName(text))
        return;
    emit FileChanging(this, GetItemURL(item));
    // The list shows the new name when the server confirms it.
    FFTP->Rename(GetItemPathBytes(item), FolderBytes() + EncodeUserText(text));
}

bool THostView::RenameItem(const QString &oldName, const QString &newName)
{
    if (!Connected() || RefusedName(oldName) || RefusedName(newName))
        return false;
    FFTP->Rename(FolderBytes() + EncodeUserText(oldName), FolderBytes() + EncodeUserText(newName));
    Refresh();
    return true;
}

int THostView::MoveSelectedTo(const QString &folder)
{
    if (!Connected() || folder.contains(QLatin1Char('\r')) || folder.contains(QLatin1Char('\n'))
        || folder.contains(QChar(0)))
        return 0;
    // Below the current folder the server's own bytes are kept, not re-encoded from the text shown.
    const QString current = GetFolder();
    const std::string destination = folder.startsWith(current)
                                        ? FolderBytes() + EncodeUserText(folder.mid(current.size()))
                                        : EncodeUserText(folder);
    struct TMove
    {
        std::string From, To;
        QString URL;
    };
    std::vector<TMove> moves;
    for (const QModelIndex &item : SelectedItems())
        moves.push_back({GetItemPathBytes(item), destination + GetItemNameBytes(item), GetItemURL(item)});
    for (const TMove &move : moves) {
        emit FileChanging(this, move.URL);
        FFTP->Rename(move.From, move.To);
    }
    if (!moves.empty())
        Refresh();
    return int(moves.size());
}

bool THostView::CreateFolder(const QString &name, bool /*edit*/)
{
    if (!Connected())
        return false;
    QString path = name;
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const bool lineBreak = path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n'));
    if (RefusedName(lineBreak ? QStringLiteral("\n") : path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)))
        return false;
    FFTP->CreateFolder(EncodeUserText(path));
    Refresh();
    return true;
}

// ---- Properties ----

void THostView::DescribeSelection(TfrmProperties &window) const
{
    const QModelIndexList items = SelectedItems();
    window.Location = GetFolder();
    window.Entries.clear();
    for (const QModelIndex &item : items) {
        if (const TListItem *listed = ItemEntry(item))
            window.Entries.push_back({GetItemName(item), FModel->TypeText(item.row()), IsFolder(item),
                                      GetItemSize(item), GetItemDate(item), listed->Entry.Attributes});
    }
    if (!items.isEmpty())
        window.Icon = FModel->data(items.front().siblingAtColumn(THostListModel::colName), Qt::DecorationRole)
                          .value<QIcon>();
}

bool THostView::ShowProperties()
{
    const QModelIndexList items = SelectedItems();
    if (items.isEmpty())
        return false;
    std::vector<std::string> paths;
    for (const QModelIndex &item : items) {
        if (ItemEntry(item))
            paths.push_back(GetItemPathBytes(item));
    }
    const QPointer<THostView> alive(this);
    const QPointer<TfrmProperties> window = new TfrmProperties(this);
    DescribeSelection(*window);
    const std::vector<TPropertyEntry> entries = window->Entries;
    const int result = window->exec();
    if (!alive || !window)
        return true;
    const bool changed = result == QDialog::Accepted && window->Changed;
    std::vector<std::uint32_t> permissions;
    for (const TPropertyEntry &entry : entries)
        permissions.push_back(window->PermissionsFor(entry));
    delete window.data();
    if (!changed || !Connected())
        return true;
    // The list keeps showing the old permissions until the folder is listed again.
    for (std::size_t i = 0; i < paths.size(); ++i)
        FFTP->ChangeAttributes(paths[i], permissions[i]);
    return true;
}
