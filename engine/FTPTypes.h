#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string>
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

// A name as the server sent it (raw bytes) with its record. A link's name carries
// its target behind " -> ".
struct TListItem
{
    std::string Name;
    TDirEntry Entry;
};

using TDirListing = std::vector<TListItem>;

// Transfer types, in the order of the "TransferMode" option.
enum TTransferType : int { ttAuto = 0, ttASCII = 1, ttBinary = 2, ttEBCDIC = 3, ttLocal = 4 };
