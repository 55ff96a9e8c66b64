#include "views/ListHelpers.h"

#include "engine/FTPUtils.h"
#include "views/FileList.h"
#include "views/RemotePaths.h"

bool LinkTargetIsFolder(std::string_view target)
{
    const std::size_t last = target.find_last_of("./");
    return last == std::string_view::npos || target[last] == '/';
}

void AddListItem(THostListModel::TRows &rows, TDirListing &listing, std::uint32_t index,
                 TFileTypes &types)
{
    TListItem &item = listing[index];
    TListRow &row = rows.emplace_back();
    row.Entry = index;
    if (item.Entry.IsLink()) {
        const std::string name = LinkName(item.Name);
        if (LinkTargetIsFolder(LinkTarget(item.Name)))
            item.Entry.Attributes |= faFolder;
        row.Caption = DecodeServerText(name);
        row.Type = TFileTypes::Link;
        return;
    }
    row.Caption = DecodeServerText(item.Name);
    row.Type = item.Entry.IsFolder() ? TFileTypes::Folder : types.TypeOf(row.Caption);
}

void ClearListView(THostListModel &model)
{
    model.Clear();
}

void SelectAll(TFileList &list)
{
    list.SelectAllRows();
}

void InvertSelection(TFileList &list)
{
    list.InvertSelectionRows();
}

