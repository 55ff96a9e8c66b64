#include "views/ListingCache.h"

#include <gtest/gtest.h>

namespace {

// Names are literals: the item is copied into a listing, which keeps its own copy.
TListItem Item(TListName name, std::uint32_t attributes = 0, std::int64_t size = 0)
{
    TListItem item;
    item.Name = name;
    item.Entry.Attributes = attributes;
    item.Entry.Size = size;
    return item;
}

std::vector<std::string> Names(const TDirListing &listing)
{
    std::vector<std::string> names;
    for (const TListItem &item : listing)
        names.emplace_back(item.Name);
    return names;
}

TEST(ListingCache, KnownFoldersWaitForTheirListing)
{
    TListingCache cache;
    cache.AddFolder("/pub/");
    EXPECT_TRUE(cache.Contains("/pub/"));
    EXPECT_FALSE(cache.HasListing("/pub/"));
    cache.SetListing("/PUB/", {Item("a.txt")});
    EXPECT_EQ(cache.Count(), 1);
    ASSERT_TRUE(cache.HasListing("/pub/"));
    EXPECT_EQ(cache.Listing("/Pub/")->at(0).Name, "a.txt");
    // A second AddFolder keeps the listing.
    cache.AddFolder("/pub/");
    EXPECT_TRUE(cache.HasListing("/pub/"));
}

TEST(ListingCache, DropRemovesOneFolderOnly)
{
    TListingCache cache;
    cache.SetListing("/pub/", {Item("dir", faFolder)});
    cache.SetListing("/pub/dir/", {Item("x")});
    EXPECT_TRUE(cache.Drop("/pub/"));
    EXPECT_FALSE(cache.Contains("/pub/"));
    EXPECT_TRUE(cache.HasListing("/pub/dir/"));
    EXPECT_FALSE(cache.Drop("/nothing/"));
}

TEST(ListingCache, ShownListingOutlivesItsDrop)
{
    TListingCache cache;
    cache.SetListing("/pub/", {Item("a")});
    const TListingCache::TListingPtr shown = cache.Listing("/pub/");
    cache.Clear();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->at(0).Name, "a");
}

TEST(ListingCache, PrefixRenameMovesSubfolders)
{
    TListingCache cache;
    cache.SetListing("/a/", {});
    cache.SetListing("/a/b/", {});
    cache.SetListing("/a/b/c/", {});
    cache.SetListing("/a/bc/", {});
    cache.RenamePrefix("/a/B/", "/a/x/");
    EXPECT_EQ(cache.Folders(), (std::vector<std::string>{"/a/", "/a/bc/", "/a/x/", "/a/x/c/"}));

    TFolderSet known;
    known.Add("/a/b/");
    known.Add("/a/b/c/");
    known.Add("/z/");
    known.RenamePrefix("/a/b/", "/q/");
    EXPECT_TRUE(known.Contains("/q/"));
    EXPECT_TRUE(known.Contains("/Q/C/"));
    EXPECT_FALSE(known.Contains("/a/b/"));
    EXPECT_EQ(known.Count(), 3);
}

TEST(RenameBookkeeping, FileMovesBetweenCachedFolders)
{
    TListingCache cache;
    TFolderSet known;
    cache.SetListing("/src/", {Item("a.txt", 0, 5), Item("b.txt")});
    cache.SetListing("/dst/", {Item("c.txt")});
    const TRenameOutcome outcome = ApplyRename(cache, known, "/src/a.txt", "/dst/z.txt", '/');
    EXPECT_TRUE(outcome.Found);
    EXPECT_FALSE(outcome.FolderMoved);
    EXPECT_EQ(outcome.OldFolder, "/src/");
    EXPECT_EQ(outcome.NewFolder, "/dst/");
    EXPECT_EQ(Names(*cache.Listing("/src/")), (std::vector<std::string>{"b.txt"}));
    EXPECT_EQ(Names(*cache.Listing("/dst/")), (std::vector<std::string>{"c.txt", "z.txt"}));
    EXPECT_EQ(cache.Listing("/dst/")->back().Entry.Size, 5);
}

TEST(RenameBookkeeping, FolderRenameCarriesItsCachedSubtree)
{
    TListingCache cache;
    TFolderSet known;
    cache.SetListing("/", {Item("old", faFolder)});
    cache.SetListing("/old/", {Item("f")});
    cache.SetListing("/old/deep/", {});
    known.Add("/old/");
    known.Add("/old/deep/");
    const TRenameOutcome outcome = ApplyRename(cache, known, "/old", "/new", '/');
    EXPECT_TRUE(outcome.FolderMoved);
    EXPECT_TRUE(cache.HasListing("/new/"));
    EXPECT_TRUE(cache.HasListing("/new/deep/"));
    EXPECT_FALSE(cache.Contains("/old/"));
    EXPECT_TRUE(known.Contains("/new/deep/"));
    EXPECT_FALSE(known.Contains("/old/"));
    EXPECT_EQ(Names(*cache.Listing("/")), (std::vector<std::string>{"new"}));
}

TEST(RenameBookkeeping, ExistingTargetDropsTheStaleFolder)
{
    TListingCache cache;
    TFolderSet known;
    cache.SetListing("/d/", {Item("a"), Item("b")});
    known.Add("/d/");
    const TRenameOutcome outcome = ApplyRename(cache, known, "/d/a", "/d/b", '/');
    EXPECT_TRUE(outcome.Found);
    EXPECT_TRUE(outcome.NewFolderDropped);
    EXPECT_FALSE(cache.Contains("/d/"));
    EXPECT_FALSE(known.Contains("/d/"));
}

TEST(RenameBookkeeping, UnknownEntriesChangeNothing)
{
    TListingCache cache;
    TFolderSet known;
    cache.SetListing("/d/", {Item("a")});
    EXPECT_FALSE(ApplyRename(cache, known, "/d/zzz", "/d/y", '/').Found);
    EXPECT_FALSE(ApplyRename(cache, known, "/uncached/a", "/d/y", '/').Found);
    EXPECT_EQ(Names(*cache.Listing("/d/")), (std::vector<std::string>{"a"}));
}

TEST(RenameBookkeeping, LinksKeepTheirTargetAndBackslashServersWork)
{
    TListingCache cache;
    TFolderSet known;
    cache.SetListing("/d/", {Item("l -> t.txt", faLink)});
    ApplyRename(cache, known, "/d/l", "/d/m", '/');
    EXPECT_EQ(Names(*cache.Listing("/d/")), (std::vector<std::string>{"m -> t.txt"}));

    cache.SetListing("C:\\DATA\\", {Item("x.txt")});
    const TRenameOutcome outcome = ApplyRename(cache, known, "C:\\DATA\\x.txt", "C:/DATA/y.txt", '\\');
    EXPECT_TRUE(outcome.Found);
    EXPECT_EQ(outcome.NewFolder, "C:\\DATA\\");
    EXPECT_EQ(Names(*cache.Listing("C:\\DATA\\")), (std::vector<std::string>{"y.txt"}));
}

TEST(UpdateEntry, ReplacesOrAddsInACachedListing)
{
    TListingCache cache;
    cache.SetListing("/up/", {Item("a.bin", 0, 1)});
    EXPECT_TRUE(UpdateCachedEntry(cache, "/up/", "a.bin", 0, 99, TDateTime(1.0)));
    EXPECT_TRUE(UpdateCachedEntry(cache, "/up/", "new", faFolder, 0, TDateTime()));
    const TDirListing &listing = *cache.Listing("/up/");
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[0].Entry.Size, 99);
    EXPECT_TRUE(listing[1].Entry.IsFolder());
    EXPECT_FALSE(UpdateCachedEntry(cache, "/up/", "", 0, 0, TDateTime()));
    EXPECT_FALSE(UpdateCachedEntry(cache, "/other/", "x", 0, 0, TDateTime()));
}

} // namespace
