#include "app/Compare.h"

#include <QHash>

namespace {

// The first row of each caption, letter case folded the way a case-insensitive
// comparison folds it.
QHash<QString, int> FirstRowByCaption(const std::vector<TCompareEntry> &entries)
{
    QHash<QString, int> rows;
    rows.reserve(qsizetype(entries.size()));
    // Backwards, so that the first row of a caption is the one left standing.
    for (int row = int(entries.size()) - 1; row >= 0; --row)
        rows.insert(entries[row].Caption.toCaseFolded(), row);
    return rows;
}

bool Marked(const TCompareEntry &entry, const TCompareEntry *twin, const TCompareSettings &settings)
{
    if (!twin)
        return true;
    const bool sizesCompare = !entry.Folder && !twin->Folder;
    if (!settings.IgnoreSize && sizesCompare && entry.Size > twin->Size)
        return true;
    return !settings.IgnoreDate && entry.Date > twin->Date;
}

} // namespace

std::vector<int> RowsToMark(const std::vector<TCompareEntry> &side, const std::vector<TCompareEntry> &other,
                            const TCompareSettings &settings)
{
    const QHash<QString, int> otherRows = FirstRowByCaption(other);
    std::vector<int> marked;
    for (int row = 0; row < int(side.size()); ++row) {
        const auto found = otherRows.constFind(side[row].Caption.toCaseFolded());
        const TCompareEntry *twin = found == otherRows.constEnd() ? nullptr : &other[found.value()];
        if (Marked(side[row], twin, settings))
            marked.push_back(row);
    }
    return marked;
}

TCompareResult CompareFolders(const std::vector<TCompareEntry> &local,
                              const std::vector<TCompareEntry> &remote, const TCompareSettings &settings)
{
    return {RowsToMark(local, remote, settings), RowsToMark(remote, local, settings)};
}
