#pragma once

#include "platform/DateTime.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The rules of the remote properties window: what it says about one entry or a
// selection, and which permissions an OK gives each entry.

// "2KB (2048 Bytes)": megabytes from 1048577 bytes, kilobytes from 1025, plain digits below.
QString PropertySizeText(std::int64_t size);
// The folder shown as the location: without its trailing separator, "(Server Root)" for "/".
QString PropertyLocationText(const QString &folder);
// "3 Files, 1 Folders" (the plural is fixed).
QString FilesFoldersText(int files, int folders);

// One selected entry as the window describes it.
struct TPropertyEntry
{
    QString Caption;
    QString Type; // the list's Type column
    bool IsFolder = false;
    std::int64_t Size = 0;
    TDateTime Date;
    std::uint32_t Attributes = 0;
    bool SizeKnown = true; // false while a folder's contents are still being counted
};

// A permission box: set for every entry, for none, or for some only.
enum class TBoxState { Clear, Checked, Mixed };
// The nine boxes, owner read (bit 2) first, everyone execute (bit 10) last.
using TPermissionBoxes = std::array<TBoxState, 9>;
std::uint32_t PermissionBit(int box);

struct TPropertySummary
{
    QString Caption; // the window's title
    QString FileName;
    QString Type;
    QString Location;
    QString Size;
    QString Date;
    // The first entry's icon stands for the selection (one type only).
    bool FirstIcon = false;
    TPermissionBoxes Boxes{};
};
// Empty when nothing is selected. `location` is the view's folder with its separator.
TPropertySummary SummarizeProperties(const std::vector<TPropertyEntry> &entries, const QString &location);

// An entry's permissions after OK: checked boxes set their bit, clear ones remove it and
// mixed ones leave the entry's own.
std::uint32_t AppliedPermissions(std::uint32_t attributes, const TPermissionBoxes &boxes);

// Why a name typed for rename or new folder cannot be sent as a server path; empty when
// it can. Empty, ".", "..", a '/' or a line break would name another entry than the one
// meant, or split the command.
QString UnsafeRemoteNameReason(const QString &name);
