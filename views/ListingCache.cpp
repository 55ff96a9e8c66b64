#include "views/ListingCache.h"

#include "engine/FTPUtils.h"

bool TListingCache::Contains(std::string_view folder) const
{
    return FFolders.find(folder) != FFolders.end();
}

TListingCache::TListingPtr TListingCache::Listing(std::string_view folder) const
{
    const auto found = FFolders.find(folder);
    return found == FFolders.end() ? nullptr : found->second;
}

void TListingCache::AddFolder(const std::string &folder)
{
    FFolders.try_emplace(folder, nullptr);
}

void TListingCache::SetListing(const std::string &folder, TDirListing listing)
{
    FFolders[folder] = std::make_shared<TDirListing>(std::move(listing));
}

bool TListingCache::Drop(std::string_view folder)
{
    const auto found = FFolders.find(folder);
    if (found == FFolders.end())
        return false;
    FFolders.erase(found);
    return true;
}

std::vector<std::string> TListingCache::Folders() const
{
    std::vector<std::string> folders;
    folders.reserve(FFolders.size());
    for (const auto &entry : FFolders)
        folders.push_back(entry.first);
    return folders;
}

namespace {

const std::string &Key(const std::string &key)
{
    return key;
}

template <typename T>
const std::string &Key(const std::pair<const std::string, T> &entry)
{
    return entry.first;
}

// Moves every key below oldPrefix of a map or set ordered by TFolderLess.
template <typename TContainer, typename TMake>
void MovePrefix(TContainer &container, std::string_view oldPrefix, std::string_view newPrefix,
                TMake make)
{
    if (oldPrefix.empty())
        return;
    std::vector<typename TContainer::node_type> moved;
    for (auto it = container.lower_bound(oldPrefix);
         it != container.end() && StartsWithFolder(Key(*it), oldPrefix);) {
        moved.push_back(container.extract(it++));
    }
    for (auto &node : moved) {
        std::string path = std::string(newPrefix) + make(node).substr(oldPrefix.size());
        make(node) = std::move(path);
        container.insert(std::move(node));
    }
}

} // namespace

void TListingCache::RenamePrefix(std::string_view oldPrefix, std::string_view newPrefix)
{
    MovePrefix(FFolders, oldPrefix, newPrefix, [](auto &node) -> std::string & { return node.key(); });
}

void TFolderSet::Remove(std::string_view folder)
{
    const auto found = FFolders.find(folder);
    if (found != FFolders.end())
        FFolders.erase(found);
}

void TFolderSet::RenamePrefix(std::string_view oldPrefix, std::string_view newPrefix)
{
    MovePrefix(FFolders, oldPrefix, newPrefix, [](auto &node) -> std::string & { return node.value(); });
}

int FindEntry(const TDirListing &listing, std::string_view name)
{
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const TListItem &item = listing[i];
        if (item.Name == name || (item.Entry.IsLink() && LinkName(item.Name) == name))
            return int(i);
    }
    return -1;
}

TRenameOutcome ApplyRename(TListingCache &cache, TFolderSet &known, std::string_view oldPath,
                           std::string_view newPath, char seperator)
{
    TRenameOutcome outcome;
    const TRemoteName oldName = SplitRemotePath(oldPath, seperator);
    const TRemoteName newName = SplitRemotePath(newPath, seperator);
    outcome.OldFolder = oldName.Folder;
    outcome.NewFolder = newName.Folder;

    const TListingCache::TListingPtr oldListing = cache.Listing(oldName.Folder);
    if (!oldListing)
        return outcome;
    const int index = FindEntry(*oldListing, oldName.Name);
    if (index < 0)
        return outcome;
    // The old listing's blocks keep the name alive while this copy is in use.
    const TListItem item = (*oldListing)[std::size_t(index)];
    oldListing->erase(oldListing->begin() + index);
    outcome.Found = true;

    if (item.Entry.IsFolder()) {
        const std::string from = oldName.Folder + oldName.Name + seperator;
        const std::string to = newName.Folder + newName.Name + seperator;
        cache.RenamePrefix(from, to);
        known.RenamePrefix(from, to);
        outcome.FolderMoved = true;
    }

    const TListingCache::TListingPtr newListing = cache.Listing(newName.Folder);
    if (!newListing)
        return outcome;
    if (FindEntry(*newListing, newName.Name) >= 0) {
        cache.Drop(newName.Folder);
        known.Remove(newName.Folder);
        outcome.NewFolderDropped = true;
        return outcome;
    }
    // A link keeps its target behind the new name.
    if (item.Entry.IsLink() && item.Name.find(" -> ") != std::string::npos)
        newListing->push_back(newName.Name + " -> " + LinkTarget(item.Name), item.Entry);
    else
        newListing->push_back(newName.Name, item.Entry);
    return outcome;
}

bool UpdateCachedEntry(TListingCache &cache, const std::string &folder, const std::string &name,
                       std::uint32_t attributes, std::int64_t size, TDateTime date)
{
    if (name.empty())
        return false;
    const TListingCache::TListingPtr listing = cache.Listing(folder);
    if (!listing)
        return false;
    const int index = FindEntry(*listing, name);
    TListItem &item = index >= 0 ? (*listing)[std::size_t(index)] : listing->push_back(name, {});
    item.Entry.Attributes = attributes;
    item.Entry.Size = size;
    item.Entry.Date = date;
    return true;
}
