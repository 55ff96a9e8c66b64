#include "engine/FTPTypes.h"

#include <algorithm>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Small listings stay small; large ones grow to blocks that the allocator still
// serves from its heap.
constexpr std::size_t FirstBlockSize = 256;
constexpr std::size_t LargestBlockSize = 64 * 1024;

// A folder of hundreds of thousands of entries fills tens of megabytes at once; backed
// by huge pages, that costs a few page faults instead of thousands.
constexpr std::size_t HugePageSize = 2 * 1024 * 1024;
constexpr std::size_t LargeListingBytes = 4 * HugePageSize;
// Name blocks of such a listing: large enough to hold whole aligned huge pages wherever
// the allocator places them, yet no more per reserved item than short names fill.
constexpr std::size_t LargestHugeBlockSize = 4 * HugePageSize;
constexpr std::size_t NameBytesPerItem = 8;

// Only a hint, for memory not yet touched: the kernel may ignore it.
void AdviseHugePages(const void *start, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const std::uintptr_t from = (std::uintptr_t(start) + HugePageSize - 1) & ~(HugePageSize - 1);
    const std::uintptr_t to = (std::uintptr_t(start) + bytes) & ~(HugePageSize - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
#endif
}

} // namespace

TDirListing::TDirListing(std::initializer_list<TListItem> items)
{
    FItems.reserve(items.size());
    for (const TListItem &item : items)
        push_back(item);
}

// A copy shares the blocks but appends to blocks of its own, of the usual sizes: it is
// not filled from a large listing's text.
TDirListing::TDirListing(const TDirListing &other)
    : FItems(other.FItems),
      FBlocks(other.FBlocks),
      FNextBlockSize(std::min(other.FNextBlockSize, LargestBlockSize)),
      FBlockBytes(other.FBlockBytes)
{
}

TDirListing::TDirListing(TDirListing &&other) noexcept
    : FItems(std::move(other.FItems)),
      FBlocks(std::move(other.FBlocks)),
      FFree(std::exchange(other.FFree, nullptr)),
      FFreeSize(std::exchange(other.FFreeSize, 0)),
      FNextBlockSize(std::exchange(other.FNextBlockSize, 0)),
      FBlockBytes(std::exchange(other.FBlockBytes, 0)),
      FLargestBlockSize(std::exchange(other.FLargestBlockSize, 0))
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
        FLargestBlockSize = std::exchange(other.FLargestBlockSize, 0);
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
    FLargestBlockSize = 0;
}

void TDirListing::reserve(std::size_t count)
{
    if (count <= FItems.capacity())
        return;
    FItems.reserve(count);
    const std::size_t freshBytes = (FItems.capacity() - FItems.size()) * sizeof(TListItem);
    if (freshBytes < LargeListingBytes)
        return;
    AdviseHugePages(FItems.data() + FItems.size(), freshBytes);
    const std::size_t blockSize = std::min(LargestHugeBlockSize, count * NameBytesPerItem);
    FLargestBlockSize = std::max(FLargestBlockSize, blockSize);
    FNextBlockSize = std::max(FNextBlockSize, blockSize);
}

char *TDirListing::NewBlock(std::size_t needed)
{
    const std::size_t size = std::max({FirstBlockSize, FNextBlockSize, needed});
    FNextBlockSize = std::min(size * 2, std::max(LargestBlockSize, FLargestBlockSize));
    std::shared_ptr<char[]> &block =
        FBlocks.emplace_back(std::make_shared_for_overwrite<char[]>(size));
    if (FLargestBlockSize != 0)
        AdviseHugePages(block.get(), size);
    FFreeSize = size;
    FBlockBytes += size;
    return block.get();
}
