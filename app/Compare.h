#pragma once

// Comparing a local and a remote folder: which entries of each side to select so that an
// Upload of the local selection and a Download of the remote selection bring the two
// folders level.

#include "platform/DateTime.h"

#include <QString>

#include <cstdint>
#include <vector>

// One list entry as the comparison sees it. Folders compare like files, except that a
// folder's size is never compared: the local view gives folders no size and a server
// lists a folder's own block size, so the sizes of two level folders always differ.
struct TCompareEntry
{
    QString Caption;
    std::int64_t Size = 0;
    TDateTime Date;
    bool Folder = false;
};

struct TCompareSettings
{
    bool IgnoreSize = false;
    bool IgnoreDate = true;
};

// Rows (indexes into the lists, ascending) to select on each side.
struct TCompareResult
{
    std::vector<int> LocalRows;
    std::vector<int> RemoteRows;
};

// The rows of `side` that `other` lacks (no entry of the same caption, letter case
// ignored) or holds smaller (files only) or older, each unless ignored. When `other` holds the
// caption twice, its first entry counts. Costs the same per entry whatever the lists'
// length.
std::vector<int> RowsToMark(const std::vector<TCompareEntry> &side, const std::vector<TCompareEntry> &other,
                            const TCompareSettings &settings);

// The local side marked against the remote side, and the remote side against the local.
TCompareResult CompareFolders(const std::vector<TCompareEntry> &local,
                              const std::vector<TCompareEntry> &remote, const TCompareSettings &settings);
