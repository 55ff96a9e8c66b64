// The remote view's transfers between views: the selection becomes transfer items, file
// by file and folder by folder, for the program's queue.

#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "engine/Trace.h"
#include "transfers/QuestionWindows.h"
#include "transfers/TransferDecision.h"
#include "views/FileList.h"
#include "views/TransferSubmission.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

std::string LocalBytes(const QString &text)
{
    return QFile::encodeName(text).toStdString();
}

// A selected entry as it was when the walk reached its folder: the list may be refilled
// while a question is open or another folder is being listed.
struct TSelectedEntry
{
    TTransferSource File;
    bool IsFolder = false;
};

// One view of a transfer, with names and folders in the bytes the queue carries: the
// server's own for the remote view, the file system's for a local one.
class TTransferSide
{
public:
    explicit TTransferSide(TCustomView &view) : FView(&view), FRemote(qobject_cast<THostView *>(&view)) {}

    bool Alive() const { return !FView.isNull(); }
    TCustomView &View() const { return *FView; }
    bool IsRemote() const { return FRemote != nullptr; }
    char Seperator() const { return char(FView->Seperator().toLatin1()); }

    std::string Folder() const { return FRemote ? FRemote->FolderBytes() : LocalBytes(FView->GetFolder()); }

    // A folder as the file system resolves its links; a server's links cannot be
    // resolved from here, so a remote folder is what it is called.
    std::string RealFolder(const std::string &folder) const
    {
        if (FRemote)
            return folder;
        const QString real = QFileInfo(QFile::decodeName(QByteArray::fromStdString(folder))).canonicalFilePath();
        return real.isEmpty() ? folder : LocalBytes(real);
    }

    std::vector<TSelectedEntry> Selection() const
    {
        std::vector<TSelectedEntry> entries;
        for (const QModelIndex &item : FView->SelectedItems())
            entries.push_back(Entry(item));
        return entries;
    }

    // The entries the list shows, as a listing the decision can search.
    TListingCache::TListingPtr Shown() const
    {
        auto listing = std::make_shared<TDirListing>();
        for (int row = 0; row < FView->ItemCount(); ++row) {
            const TSelectedEntry entry = Entry(FView->ListView()->Item(row));
            TDirEntry shown;
            shown.Attributes = entry.IsFolder ? std::uint32_t(faFolder) : 0u;
            shown.Size = entry.File.Size;
            shown.Date = entry.File.Date;
            listing->push_back(entry.File.Name, shown);
        }
        return listing;
    }

    // Goes into `folder` and waits for its entries; false when the view did not get there.
    bool Enter(const std::string &folder)
    {
        if (FRemote)
            FRemote->ChangeFolderAndWaitBytes(folder);
        else
            FView->ChangeFolderAndWait(QFile::decodeName(QByteArray::fromStdString(folder)));
        return IsAt(folder);
    }

    // Back in `folder` after a visit one level below it, or after a failed Enter.
    void Return(const std::string &folder)
    {
        if (!Alive() || IsAt(folder))
            return;
        FView->FolderUp();
        // A remote parent whose listing was dropped meanwhile must be listed again; a
        // local view that fell back to the root after a failed Enter goes back.
        if (Alive() && !IsAt(folder))
            Enter(folder);
    }

private:
    bool IsAt(const std::string &folder) const
    {
        if (!Alive())
            return false;
        // Server paths ignore case like the listing cache; local paths do not.
        return FRemote ? SameFolder(Folder(), folder) && FRemote->ListingCache().HasListing(folder)
                       : Folder() == folder;
    }

    TSelectedEntry Entry(const QModelIndex &item) const
    {
        TSelectedEntry entry;
        entry.File.Name = FRemote ? FRemote->GetItemNameBytes(item) : LocalBytes(FView->GetItemName(item));
        entry.File.Size = FView->GetItemSize(item);
        entry.File.Date = FView->GetItemDate(item);
        entry.IsFolder = FView->IsFolder(item);
        return entry;
    }

    QPointer<TCustomView> FView;
    THostView *FRemote = nullptr;
};

// One transfer operation: a drop or one command over a selection, with every folder it
// descends into. The to-all answers live as long as it does.
class TSubmission
{
public:
    TSubmission(THostView &remote, TCustomView &source, TCustomView &destination,
                TTransferDirection direction, TTransferItems &queue)
        : FRemote(&remote), FSource(source), FDestination(destination), FQueue(queue)
    {
        const TFTPComponent &ftp = remote.FTP();
        FRoute.Host = ftp.Host();
        FRoute.Port = ftp.Port();
        FRoute.UserName = ftp.UserName();
        FRoute.Password = ftp.Password();
        FRoute.Account = ftp.Account();
        FRoute.Direction = direction;
        FRoute.SourceView = &source;
        FRoute.TargetView = &destination;
        FShown.Remote = FDestination.IsRemote();
        FShown.Folder = FDestination.Folder();
        FShown.Entries = FDestination.Shown();
        FShown.Cache = &remote.ListingCache();
    }

    void Run()
    {
        // An item refused at once must not end the run while the walk still adds others.
        const TTransferItems::TRunHold hold(FQueue);
        Into(FShown.Folder);
    }

private:
    bool Alive() const { return FRemote && FSource.Alive() && FDestination.Alive(); }

    // The selection of the source view's current folder goes into dest.
    void Into(const std::string &dest)
    {
        const std::vector<TSelectedEntry> selection = FSource.Selection();
        if (selection.empty())
            return;
        const std::string sourceFolder = FSource.Folder();
        QueueFiles(selection, sourceFolder, dest);
        FWalk.push_back(FSource.RealFolder(sourceFolder));
        for (const TSelectedEntry &entry : selection) {
            if (!entry.IsFolder || !Alive())
                continue;
            const std::string &name = entry.File.Name;
            const std::string folder = sourceFolder + name + FSource.Seperator();
            // "." and ".." would walk up instead of down; a link back up would never end.
            if (!IsSafeServerName(name) || !Enterable(folder)) {
                TraceFmt("Not descending into \"%s\"", folder.c_str());
                continue;
            }
            if (!Add(MakeFolderItem(FRoute, dest, name)))
                continue;
            if (FSource.Enter(folder) && Alive()) {
                FSource.View().SelectAll();
                Into(dest + name + FDestination.Seperator());
            }
            FSource.Return(sourceFolder);
        }
        FWalk.pop_back();
    }

    // Neither a folder the walk is already inside (through a link) nor one too deep.
    bool Enterable(const std::string &folder) const
    {
        if (FWalk.size() >= MaxWalkDepth)
            return false;
        return std::find(FWalk.begin(), FWalk.end(), FSource.RealFolder(folder)) == FWalk.end();
    }

    void QueueFiles(const std::vector<TSelectedEntry> &selection, const std::string &sourceFolder,
                    const std::string &dest)
    {
        const TListingCache::TListingPtr existing = DestinationEntries(FShown, dest);
        for (const TSelectedEntry &entry : selection) {
            if (entry.IsFolder || !Alive())
                continue;
            const std::optional<std::int64_t> offset =
                DecideTransfer(FRemote->Settings(), entry.File, existing.get(), FRemote->FTP().CanResume(), FFlags,
                               FRemote->Questions());
            // A question may have been open long enough for a view to close.
            if (offset && Alive())
                Add(MakeFileItem(FRoute, sourceFolder, dest, entry.File, *offset));
        }
    }

    // False when the queue refused the item (a duplicate); it is freed here.
    bool Add(std::unique_ptr<TTransferItem> item) { return FQueue.Add(item) >= 0; }

    QPointer<THostView> FRemote;
    TTransferSide FSource;
    TTransferSide FDestination;
    TTransferItems &FQueue;
    TTransferRoute FRoute;
    TShownDestination FShown;
    TTransferFlags FFlags;
    // The source folders the walk is inside, outermost first, as RealFolder gives them.
    std::vector<std::string> FWalk;
    // A server's link loop cannot be seen from its names; this ends it.
    static constexpr std::size_t MaxWalkDepth = 64;
};

} // namespace

TTransferItems *THostView::TransferQueue() const
{
    if (FQueue)
        return FQueue;
    return HasTransferItems() ? &TransferItems() : nullptr;
}

TTransferQuestions &THostView::Questions()
{
    if (FQuestions)
        return *FQuestions;
    if (!FOwnQuestions)
        FOwnQuestions = std::make_unique<TQuestionWindows>(this);
    return *FOwnQuestions;
}

bool THostView::TransferFrom(TCustomView *source)
{
    if (!Connected())
        return false;
    // Uploads come from a local view; another remote view has no local files to send.
    if (source && source != this && !qobject_cast<THostView *>(source))
        SubmitTransfer(*source, *this, tdUpload);
    return true;
}

bool THostView::TransferTo(TCustomView *target)
{
    if (!Connected() || !target)
        return false;
    // A remote target's folder is no local folder to download into.
    if (target != this && !qobject_cast<THostView *>(target))
        SubmitTransfer(*this, *target, tdDownload);
    return true;
}

void THostView::SubmitTransfer(TCustomView &source, TCustomView &destination, TTransferDirection direction)
{
    TTransferItems *queue = TransferQueue();
    if (!queue) {
        Trace("No transfer queue: nothing submitted");
        return;
    }
    TSubmission(*this, source, destination, direction, *queue).Run();
}
