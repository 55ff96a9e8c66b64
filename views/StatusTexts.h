#pragma once

#include <QString>

#include <cstdint>

// The texts of the file views' status panels and size columns. Numbers use the
// locale's thousands separator and decimal point.

// A byte count in the largest fitting unit: "1 Byte", "1,023 Bytes", "1.5KB", "1MB".
QString SizeText(std::int64_t bytes);

// A whole number with thousands separators: "1,234,567".
QString GroupedNumber(std::int64_t number);

// Panel 1: "3 Entries, 1.5KB".
QString EntriesText(int count, std::int64_t totalSize);
// Panel 2: "1 Item Selected, 1 Byte".
QString SelectedText(int count, std::int64_t selectedSize);

// Panel 3 of the remote view while data flows: "12,345 Bytes".
QString TransferredText(std::int64_t bytes);
// Panel 3 of the local view: "1,234,567,890 Bytes Free".
QString FreeSpaceText(std::int64_t bytes);

// The size column of a remote file: kilobytes rounded up, "1KB" for 1 byte.
QString ListSizeText(std::int64_t bytes);
