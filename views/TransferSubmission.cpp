#include "views/TransferSubmission.h"

#include "views/RemotePaths.h"

namespace {

std::unique_ptr<TTransferItem> MakeRoutedItem(const TTransferRoute &route, const std::string &destFolder,
                                              const std::string &name)
{
    auto item = std::make_unique<TTransferItem>();
    item->Host = route.Host;
    item->Port = route.Port;
    item->UserName = route.UserName;
    item->Password = route.Password;
    item->Account = route.Account;
    item->DestFolder = destFolder;
    item->Name = name;
    item->Direction = route.Direction;
    item->SourceView = route.SourceView;
    item->TargetView = route.TargetView;
    return item;
}

} // namespace

std::unique_ptr<TTransferItem> MakeFileItem(const TTransferRoute &route, const std::string &sourceFolder,
                                            const std::string &destFolder, const TTransferSource &source,
                                            std::int64_t restartOffset)
{
    auto item = MakeRoutedItem(route, destFolder, source.Name);
    item->SourceFolder = sourceFolder;
    item->Size = source.Size;
    item->Date = source.Date;
    item->RestartOffset = restartOffset;
    return item;
}

std::unique_ptr<TTransferItem> MakeFolderItem(const TTransferRoute &route, const std::string &destFolder,
                                              const std::string &name)
{
    auto item = MakeRoutedItem(route, destFolder, name);
    item->IsFolder = true;
    return item;
}

TListingCache::TListingPtr DestinationEntries(const TShownDestination &shown, const std::string &destFolder)
{
    if (shown.Remote) {
        if (SameFolder(destFolder, shown.Folder))
            return shown.Entries;
        return shown.Cache ? shown.Cache->Listing(destFolder) : nullptr;
    }
    // The disk, not the view, says what is there: a view may not have caught up with
    // its folder yet. Local paths are case-sensitive here.
    if (auto entries = ReadLocalFolder(destFolder))
        return std::make_shared<TDirListing>(std::move(*entries));
    return destFolder == shown.Folder ? shown.Entries : nullptr;
}
