#pragma once

#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Attribute bits of a directory entry.
enum : std::uint32_t {
    faFolder = 1u << 0,
    faLink = 1u << 1,
    faOwnerRead = 1u << 2,
    faOwnerWrite = 1u << 3,
    faOwnerExecute = 1u << 4,
    faGroupRead = 1u << 5,
    faGroupWrite = 1u << 6,
    faGroupExecute = 1u << 7,
    faOtherRead = 1u << 8,
    faOtherWrite = 1u << 9,
    faOtherExecute = 1u << 10,
    faPermissionMask = 0x7FCu,
};

// One listed file or folder, as a server's LIST output describes it.
struct TDirEntry
{
    std::uint32_t Attributes = 0;
    std::int64_t Size = 0; // bytes as listed; never negative
    TDateTime Date;        // local, seconds always 0

    bool IsFolder() const { return Attributes & faFolder; }
    bool IsLink() const { return Attributes & faLink; }
};

class TDirListing;

// The bytes of a listed name, owned by the listing that holds the item. Only a listing
// or a string literal (which lives for ever) can make one, so that no name is left
// pointing into a string that has gone away.
class TListName : public std::string_view
{
public:
    constexpr TListName() = default;
    template <std::size_t N>
    constexpr TListName(const char (&literal)[N]) : std::string_view(literal, N - 1)
    {
    }

private:
    friend class TDirListing;
    constexpr explicit TListName(std::string_view bytes) : std::string_view(bytes) {}
};

// A name as the server sent it (raw bytes) with its record. A link's name carries
// its target behind " -> ".
struct TListItem
{
    TListName Name;
    TDirEntry Entry;
};

// The entries of one folder. Names live in blocks that never move and are shared by
// copies, so a listing costs no allocation per name, copying it is cheap, and an
// item's name stays valid for as long as any copy of its listing lives. A block's
// unused tail belongs to the one listing that appends there.
class TDirListing
{
public:
    using value_type = TListItem;
    using iterator = std::vector<TListItem>::iterator;
    using const_iterator = std::vector<TListItem>::const_iterator;

    TDirListing() = default;
    // The items' names are copied in.
    TDirListing(std::initializer_list<TListItem> items);
    TDirListing(const TDirListing &other);
    TDirListing(TDirListing &&other) noexcept;
    TDirListing &operator=(const TDirListing &other);
    TDirListing &operator=(TDirListing &&other) noexcept;

    std::size_t size() const { return FItems.size(); }
    bool empty() const { return FItems.empty(); }
    std::size_t capacity() const { return FItems.capacity(); }
    TListItem &operator[](std::size_t index) { return FItems[index]; }
    const TListItem &operator[](std::size_t index) const { return FItems[index]; }
    TListItem &at(std::size_t index) { return FItems.at(index); }
    const TListItem &at(std::size_t index) const { return FItems.at(index); }
    TListItem &front() { return FItems.front(); }
    const TListItem &front() const { return FItems.front(); }
    TListItem &back() { return FItems.back(); }
    const TListItem &back() const { return FItems.back(); }
    iterator begin() { return FItems.begin(); }
    iterator end() { return FItems.end(); }
    const_iterator begin() const { return FItems.begin(); }
    const_iterator end() const { return FItems.end(); }

    // Room for `count` items; a large listing also gets name blocks to match.
    void reserve(std::size_t count);
    void shrink_to_fit() { FItems.shrink_to_fit(); }
    void clear();
    // The name is copied into the listing. `readable` may tell how many bytes from the
    // name's start can be read (of a text that is not this listing's), which lets a short
    // name be copied as one block of fixed size.
    TListItem &push_back(std::string_view name, const TDirEntry &entry, std::size_t readable = 0)
    {
        return FItems.emplace_back(TListItem{StoreName(name, readable), entry});
    }
    TListItem &push_back(const TListItem &item) { return push_back(item.Name, item.Entry); }
    // The bytes of the name blocks this listing holds (shared ones included).
    std::size_t NameBlockBytes() const { return FBlockBytes; }
    iterator erase(const_iterator position) { return FItems.erase(position); }

private:
    static constexpr std::size_t ShortNameSize = 64;

    // In line: a large listing stores a million names in one go.
    TListName StoreName(std::string_view name, std::size_t readable)
    {
        const std::size_t size = name.size();
        if (size > FFreeSize)
            FFree = NewBlock(size);
        // The source may be a name of this listing: blocks never move, so it stays put.
        char *const stored = FFree;
        // What a short name's block copies past its end lands in the free tail, which only
        // this listing writes to. Marked likely, or a compiler may copy it with a slow
        // string instruction.
        const bool shortName =
            size <= ShortNameSize && readable >= ShortNameSize && FFreeSize >= ShortNameSize;
        if (shortName) [[likely]]
            std::memcpy(stored, name.data(), ShortNameSize);
        else if (size != 0)
            std::memcpy(stored, name.data(), size);
        FFree += size;
        FFreeSize -= size;
        return TListName(std::string_view(stored, size));
    }
    char *NewBlock(std::size_t needed);

    std::vector<TListItem> FItems;
    std::vector<std::shared_ptr<char[]>> FBlocks;
    char *FFree = nullptr; // in the last block; null when this listing may not append there
    std::size_t FFreeSize = 0;
    std::size_t FNextBlockSize = 0;
    std::size_t FBlockBytes = 0;
    std::size_t FLargestBlockSize = 0; // 0 until a large reserve raises the usual limit
};

// Transfer types, in the order of the "TransferMode" option.
enum TTransferType : int { ttAuto = 0, ttASCII = 1, ttBinary = 2, ttEBCDIC = 3, ttLocal = 4 };
