#include "engine/FTPTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const TDirListing &listing)
{
    std::vector<std::string> names;
    for (const TListItem &item : listing)
        names.emplace_back(item.Name);
    return names;
}

TDirEntry Sized(std::int64_t size)
{
    TDirEntry entry;
    entry.Size = size;
    return entry;
}

} // namespace

TEST(DirListing, NamesAreCopiedIn)
{
    TDirListing listing;
    {
        std::string name = "report.txt";
        listing.push_back(name, Sized(5));
        name.assign(40, 'x');
        listing.push_back(name, Sized(6));
    }
    // Many names spread over several blocks stay where they were put.
    for (int i = 0; i < 2000; ++i)
        listing.push_back("file" + std::to_string(i), Sized(i));
    ASSERT_EQ(listing.size(), 2002u);
    EXPECT_EQ(listing[0].Name, "report.txt");
    EXPECT_EQ(listing[0].Entry.Size, 5);
    EXPECT_EQ(listing[1].Name, std::string(40, 'x'));
    EXPECT_EQ(listing[1999].Name, "file1997");
    EXPECT_EQ(listing.back().Name, "file1999");

    // A name longer than any block, and an empty one.
    const std::string huge(200000, 'h');
    listing.push_back(huge, {});
    listing.push_back("", {});
    EXPECT_EQ(listing[2002].Name, huge);
    EXPECT_TRUE(listing.back().Name.empty());
}

TEST(DirListing, CopiesShareNamesButAppendApart)
{
    TDirListing original{{"a", Sized(1)}, {"b", Sized(2)}};
    TDirListing copy = original;
    // Both append into what would be the same free space if they shared it.
    original.push_back("from-original", {});
    copy.push_back("from-copy", {});
    EXPECT_EQ(Names(original), (std::vector<std::string>{"a", "b", "from-original"}));
    EXPECT_EQ(Names(copy), (std::vector<std::string>{"a", "b", "from-copy"}));

    // Names outlive the listing they were read from while a copy lives.
    TDirListing survivor;
    {
        TDirListing source{{"kept", {}}};
        survivor = source;
    }
    EXPECT_EQ(survivor[0].Name, "kept");
}

TEST(DirListing, MovingHandsOverEverything)
{
    TDirListing source{{"one", {}}, {"two", {}}};
    TDirListing moved = std::move(source);
    EXPECT_EQ(Names(moved), (std::vector<std::string>{"one", "two"}));
    // The moved-from listing is empty and usable.
    EXPECT_TRUE(source.empty());
    source.push_back("fresh", {});
    moved.push_back("three", {});
    EXPECT_EQ(Names(source), (std::vector<std::string>{"fresh"}));
    EXPECT_EQ(Names(moved), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(DirListing, EraseAndReAdd)
{
    TDirListing listing{{"a", {}}, {"b", {}}, {"c", {}}};
    listing.erase(listing.begin() + 1);
    // A name taken from the listing itself, as a rename within one folder does.
    listing.push_back(listing[0].Name, {});
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a", "c", "a"}));
    listing.clear();
    EXPECT_TRUE(listing.empty());
    EXPECT_EQ(listing.NameBlockBytes(), 0u);
}

TEST(DirListing, LargeListingsKeepEveryName)
{
    // Reserved for a folder of hundreds of thousands, the listing takes its storage in
    // huge blocks. Names are copied from a text that goes on behind them, short ones as
    // a block that reaches past the name.
    constexpr std::size_t Count = 300000;
    std::string text;
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < Count; ++i)
        text += std::string(i % 97, char('a' + i % 26)) + std::to_string(i);
    for (std::size_t start = 0, i = 0; i < Count; ++i) {
        const std::size_t length = i % 97 + std::to_string(i).size();
        names.push_back(std::string_view(text).substr(start, length));
        start += length;
    }
    TDirListing listing;
    listing.reserve(Count);
    std::size_t nameBytes = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        const std::size_t readable = std::size_t(text.data() + text.size() - names[i].data());
        listing.push_back(names[i], Sized(std::int64_t(i)), readable);
        nameBytes += names[i].size();
    }
    ASSERT_EQ(listing.size(), Count);
    for (std::size_t i = 0; i < Count; ++i) {
        ASSERT_EQ(listing[i].Name, names[i]) << i;
        ASSERT_EQ(listing[i].Entry.Size, std::int64_t(i));
    }
    EXPECT_LE(listing.NameBlockBytes(), nameBytes + 8 * 1024 * 1024);

    // A copy appends to a block of the usual size, and the original's names stay.
    TDirListing copy = listing;
    copy.push_back("extra", {});
    listing.push_back("other", {});
    EXPECT_LE(copy.NameBlockBytes(), listing.NameBlockBytes() + 64 * 1024);
    EXPECT_EQ(copy.back().Name, "extra");
    EXPECT_EQ(listing.back().Name, "other");
    EXPECT_EQ(copy[Count - 1].Name, names[Count - 1]);
}

TEST(DirListing, SmallListingsStaySmall)
{
    TDirListing listing{{"a.txt", {}}, {"b.txt", {}}, {"c", {}}};
    EXPECT_LE(listing.NameBlockBytes(), 256u);
}
