#include "engine/FTPTypes.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Small listings stay small; large ones grow to blocks that the allocator still
// serves from its heap.
constexpr std::size_t FirstBlockSize = 256;
constexpr std::size_t LargestBlockSize = 64 * 1024;

} // namespace

TDirListing::TDirListing(std::initializer_list<TListItem> items)
{
    FItems.reserve(items.size());
    for (const TListItem &item : items)
        push_back(item);
}

// A copy shares the blocks but appends to blocks of its own.
TDirListing::TDirListing(const TDirListing &other)
    : FItems(other.FItems),
      FBlocks(other.FBlocks),
      FNextBlockSize(other.FNextBlockSize),
      FBlockBytes(other.FBlockBytes)
{
}

TDirListing::TDirListing(TDirListing &&other) noexcept
    : FItems(std::move(other.FItems)),
      FBlocks(std::move(other.FBlocks)),
      FFree(std::exchange(other.FFree, nullptr)),
      FFreeSize(std::exchange(other.FFreeSize, 0)),
      FNextBlockSize(std::exchange(other.FNextBlockSize, 0)),
      FBlockBytes(std::exchange(other.FBlockBytes, 0))
{
    other.clear();
}

TDirListing &TDirListing::operator=(const TDirListing &other)
{
    if (this != &other)
        *this = TDirListing(other);
    return *this;
}

TDirListing &TDirListing::operator=(TDirListing &&other) noexcept
{
    if (this != &other) {
        FItems = std::move(other.FItems);
        FBlocks = std::move(other.FBlocks);
        FFree = std::exchange(other.FFree, nullptr);
        FFreeSize = std::exchange(other.FFreeSize, 0);
        FNextBlockSize = std::exchange(other.FNextBlockSize, 0);
        FBlockBytes = std::exchange(other.FBlockBytes, 0);
        other.clear();
    }
    return *this;
}

void TDirListing::clear()
{
    FItems.clear();
    FBlocks.clear();
    FFree = nullptr;
    FFreeSize = 0;
    FNextBlockSize = 0;
    FBlockBytes = 0;
}

TListItem &TDirListing::push_back(std::string_view name, const TDirEntry &entry)
{
    return FItems.emplace_back(TListItem{StoreName(name), entry});
}

TListName TDirListing::StoreName(std::string_view name)
{
    const std::size_t size = name.size();
    if (size > FFreeSize)
        FFree = NewBlock(size);
    // The source may be a name of this listing: blocks never move, so it stays put.
    char *const stored = FFree;
    if (size != 0)
        std::memcpy(stored, name.data(), size);
    FFree += size;
    FFreeSize -= size;
    return TListName(std::string_view(stored, size));
}

char *TDirListing::NewBlock(std::size_t needed)
{
    const std::size_t size = std::max({FirstBlockSize, FNextBlockSize, needed});
    FNextBlockSize = std::min(size * 2, LargestBlockSize);
    std::shared_ptr<char[]> &block =
        FBlocks.emplace_back(std::make_shared_for_overwrite<char[]>(size));
    FFreeSize = size;
    FBlockBytes += size;
    return block.get();
}
