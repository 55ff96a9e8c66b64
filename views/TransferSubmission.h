#pragma once

#include "transfers/Transfer.h"
#include "transfers/TransferDecision.h"
#include "views/ListingCache.h"

#include <cstdint>
#include <memory>
#include <string>

// The rules by which a view turns a selection into transfer items; the views walk the
// folders, these decide what goes into each item.

// What every item of one transfer operation shares: the remote view's login, the
// direction and the two views.
struct TTransferRoute
{
    std::string Host;
    int Port = 21;
    std::string UserName;
    std::string Password;
    std::string Account;
    TTransferDirection Direction = tdDownload;
    TTransferView *SourceView = nullptr;
    TTransferView *TargetView = nullptr;
};

// An item for one file taken from sourceFolder into destFolder, starting at restartOffset.
std::unique_ptr<TTransferItem> MakeFileItem(const TTransferRoute &route, const std::string &sourceFolder,
                                            const std::string &destFolder, const TTransferSource &source,
                                            std::int64_t restartOffset);
// An item that creates the folder `name` in destFolder.
std::unique_ptr<TTransferItem> MakeFolderItem(const TTransferRoute &route, const std::string &destFolder,
                                              const std::string &name);

// The destination view as the operation found it: the folder it shows and the entries
// shown there.
struct TShownDestination
{
    bool Remote = false;
    std::string Folder;
    TListingCache::TListingPtr Entries;
    // The remote view's listings; unused for a local destination.
    const TListingCache *Cache = nullptr;
};

// The entries a file going into destFolder is decided against. The shown entries belong
// to the shown folder only; a folder the operation descended into is looked up in the
// remote view's cache, or read from the local disk. Null when its entries are not known
// (the file then counts as new).
TListingCache::TListingPtr DestinationEntries(const TShownDestination &shown, const std::string &destFolder);
