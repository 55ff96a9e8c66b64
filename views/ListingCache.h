#pragma once

#include "engine/FTPTypes.h"
#include "views/RemotePaths.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The folder listings of one connection, keyed by folder path (with its trailing
// separator), letter case ignored. A folder may be known before its listing arrives.
// Listings are shared with the list model showing them, so dropping the shown folder
// never leaves the list with freed entries.
class TListingCache
{
public:
    using TListingPtr = std::shared_ptr<TDirListing>;

    bool Contains(std::string_view folder) const;
    // Null when the folder is unknown or its listing has not arrived.
    TListingPtr Listing(std::string_view folder) const;
    bool HasListing(std::string_view folder) const { return Listing(folder) != nullptr; }
    // Known without a listing, unless already present.
    void AddFolder(const std::string &folder);
    void SetListing(const std::string &folder, TDirListing listing);
    // Returns whether the folder was there.
    bool Drop(std::string_view folder);
    void Clear() { FFolders.clear(); }
    int Count() const { return int(FFolders.size()); }
    std::vector<std::string> Folders() const;
    // Every folder below `oldPrefix` (the prefix itself included) moves below `newPrefix`.
    void RenamePrefix(std::string_view oldPrefix, std::string_view newPrefix);

private:
    std::map<std::string, TListingPtr, TFolderLess> FFolders;
};

// Every folder seen on one connection, letter case ignored.
class TFolderSet
{
public:
    bool Contains(std::string_view folder) const { return FFolders.find(folder) != FFolders.end(); }
    void Add(const std::string &folder) { FFolders.insert(folder); }
    void Remove(std::string_view folder);
    void Clear() { FFolders.clear(); }
    int Count() const { return int(FFolders.size()); }
    const std::set<std::string, TFolderLess> &Folders() const { return FFolders; }
    void RenamePrefix(std::string_view oldPrefix, std::string_view newPrefix);

private:
    std::set<std::string, TFolderLess> FFolders;
};

// The entry a rename or a finished upload is about, by its exact name (a link by its
// own name); -1 when the listing has none.
int FindEntry(const TDirListing &listing, std::string_view name);

// Bookkeeping for a rename the server confirmed, on the cached listings.
struct TRenameOutcome
{
    bool Found = false;            // the old folder's cached listing held the entry
    bool FolderMoved = false;      // it was a folder: cached paths below it were renamed
    bool NewFolderDropped = false; // the new name already existed: that listing is stale
    std::string OldFolder;         // with trailing separator
    std::string NewFolder;
};
TRenameOutcome ApplyRename(TListingCache &cache, TFolderSet &known, std::string_view oldPath,
                           std::string_view newPath, char seperator);

// A transfer into `folder` ended: its cached listing gets the entry (replaced or new).
// Returns whether a cached listing was changed.
bool UpdateCachedEntry(TListingCache &cache, const std::string &folder, const std::string &name,
                       std::uint32_t attributes, std::int64_t size, TDateTime date);
