#include "app/Compare.h"

#include <QStringView>

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

// A caption's fingerprint with letter case folded the way a case-insensitive comparison
// folds it, made without building the folded string (FNV-1a over the folded code points).
std::uint64_t FoldedHash(QStringView caption)
{
    std::uint64_t hash = 1469598103934665603ull;
    const qsizetype length = caption.size();
    for (qsizetype i = 0; i < length; ++i) {
        char32_t point = caption[i].unicode();
        if (QChar::isHighSurrogate(point) && i + 1 < length && caption[i + 1].isLowSurrogate()) {
            point = QChar::surrogateToUcs4(caption[i].unicode(), caption[i + 1].unicode());
            ++i;
        }
        hash ^= QChar::toCaseFolded(point);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::vector<std::uint64_t> FoldedHashes(const std::vector<TCompareEntry> &entries)
{
    std::vector<std::uint64_t> hashes;
    hashes.reserve(entries.size());
    for (const TCompareEntry &entry : entries)
        hashes.push_back(FoldedHash(entry.Caption));
    return hashes;
}

bool SameCaption(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The first row of each caption in an open-addressing table: one short probe sequence
// per lookup, whatever the number of entries. A fingerprint match is confirmed by
// comparing the captions.
class TCaptionIndex
{
public:
    TCaptionIndex(const std::vector<TCompareEntry> &entries, const std::vector<std::uint64_t> &hashes)
        : FEntries(entries)
    {
        const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, entries.size() * 2));
        FSlots.assign(size, TSlot{});
        FMask = size - 1;
        for (int row = 0; row < int(entries.size()); ++row) {
            const std::uint64_t hash = hashes[std::size_t(row)];
            for (std::size_t slot = hash & FMask;; slot = (slot + 1) & FMask) {
                TSlot &s = FSlots[slot];
                if (s.Row < 0) {
                    s = {Tag(hash), row};
                    break;
                }
                // A later row of the same caption never replaces the first.
                if (s.Tag == Tag(hash)
                    && SameCaption(entries[std::size_t(s.Row)].Caption, entries[row].Caption))
                    break;
            }
        }
    }

    // Asks the processor for the slot of a later lookup, so that large folders, whose
    // table does not fit its cache, cost about what small ones do per entry.
    void Prefetch(std::uint64_t hash) const { __builtin_prefetch(&FSlots[hash & FMask]); }

    const TCompareEntry *Find(const QString &caption, std::uint64_t hash) const
    {
        for (std::size_t slot = hash & FMask;; slot = (slot + 1) & FMask) {
            const TSlot &s = FSlots[slot];
            if (s.Row < 0)
                return nullptr;
            if (s.Tag == Tag(hash) && SameCaption(FEntries[std::size_t(s.Row)].Caption, caption))
                return &FEntries[std::size_t(s.Row)];
        }
    }

private:
    struct TSlot
    {
        std::uint32_t Tag = 0;
        int Row = -1;
    };
    static std::uint32_t Tag(std::uint64_t hash) { return std::uint32_t(hash >> 32); }

    const std::vector<TCompareEntry> &FEntries;
    std::vector<TSlot> FSlots;
    std::size_t FMask = 0;
};

bool Marked(const TCompareEntry &entry, const TCompareEntry *twin, const TCompareSettings &settings)
{
    if (!twin)
        return true;
    const bool sizesCompare = !entry.Folder && !twin->Folder;
    if (!settings.IgnoreSize && sizesCompare && entry.Size > twin->Size)
        return true;
    return !settings.IgnoreDate && entry.Date > twin->Date;
}

std::vector<int> Mark(const std::vector<TCompareEntry> &side, const std::vector<std::uint64_t> &sideHashes,
                      const TCaptionIndex &other, const TCompareSettings &settings)
{
    constexpr std::size_t Ahead = 16;
    std::vector<int> marked;
    for (std::size_t row = 0; row < side.size(); ++row) {
        if (row + Ahead < side.size())
            other.Prefetch(sideHashes[row + Ahead]);
        if (Marked(side[row], other.Find(side[row].Caption, sideHashes[row]), settings))
            marked.push_back(int(row));
    }
    return marked;
}

} // namespace

std::vector<int> RowsToMark(const std::vector<TCompareEntry> &side, const std::vector<TCompareEntry> &other,
                            const TCompareSettings &settings)
{
    return Mark(side, FoldedHashes(side), TCaptionIndex(other, FoldedHashes(other)), settings);
}

TCompareResult CompareFolders(const std::vector<TCompareEntry> &local,
                              const std::vector<TCompareEntry> &remote, const TCompareSettings &settings)
{
    // Each caption is fingerprinted once and serves both passes.
    const std::vector<std::uint64_t> localHashes = FoldedHashes(local);
    const std::vector<std::uint64_t> remoteHashes = FoldedHashes(remote);
    const TCaptionIndex localIndex(local, localHashes);
    const TCaptionIndex remoteIndex(remote, remoteHashes);
    return {Mark(local, localHashes, remoteIndex, settings),
            Mark(remote, remoteHashes, localIndex, settings)};
}
