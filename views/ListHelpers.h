#pragma once

#include "engine/FTPTypes.h"
#include "views/HostListModel.h"

#include <cstdint>
#include <string_view>

class TFileList;

// The list helpers shared by the views.

// Whether a link counts as a folder: its target's last '.' or '/' is a '/', or it has
// neither ("../lib" is a folder, "readme.txt" a file).
bool LinkTargetIsFolder(std::string_view target);

// Appends the row for entry `index` of `listing`. A link whose target looks like a
// folder gets the folder bit in the listing itself, so it is a folder everywhere.
void AddListItem(THostListModel::TRows &rows, TDirListing &listing, std::uint32_t index,
                 TFileTypes &types);

// Empties a remote list.
void ClearListView(THostListModel &model);
void SelectAll(TFileList &list);
void InvertSelection(TFileList &list);
