#pragma once

#include "engine/FTPTypes.h"
#include "views/ListingCache.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

// Type names and icons of remote files, found by extension (the file need not exist)
// and remembered, so a long listing asks the type database once per extension.
class TFileTypes
{
public:
    // Type ids below 0 are not file types.
    static constexpr std::int32_t Folder = -1;
    static constexpr std::int32_t Link = -2;

    std::int32_t TypeOf(const QString &fileName);
    const QString &Text(std::int32_t type) const;
    QIcon Icon(std::int32_t type);
    QIcon FolderIcon();
    // The icon with the shortcut overlay.
    QIcon LinkIcon(std::int32_t baseType);

private:
    struct TType
    {
        QString Text;
        QString IconName;
        QString GenericIconName;
        QIcon Icon;
        QIcon LinkIcon;
        bool IconLoaded = false;
    };

    QHash<QString, std::int32_t> FByKey;
    std::vector<TType> FTypes;
    QIcon FFolderIcon;
    QIcon FFolderLinkIcon;
};

// The type column of a file the type database does not know: "ZZZ File".
QString UnknownTypeText(const QString &fileName);

// One row of the remote list: which entry of the shown listing, its type, its caption
// (the name as shown, a link's target cut off).
struct TListRow
{
    std::uint32_t Entry = 0;
    std::int32_t Type = TFileTypes::Folder;
    QString Caption;
};

// The sort keys of one row.
struct TSortKey
{
    bool Folder = false;
    const QString *Caption = nullptr;
    // The caption is already case-folded, so a plain comparison ignores case.
    bool CaptionFolded = false;
    std::int64_t Size = 0;
    const QString *Type = nullptr;
    TDateTime Date;
};

// The list's order for a sort column (1 Name, 2 Size, 3 Type, 4 Modified; negative is
// descending): folders before files, folders by name (by date for column 4), files by
// the column. Descending reverses everything, which puts folders last.
int CompareListEntries(const TSortKey &a, const TSortKey &b, int sortColumn);
// The sort column after a click on a header (1-based): the same column flips direction.
int NextSortColumn(int sortColumn, int clickedColumn);

// Headings and alignment of the four columns every file list shows: Name, Size, Type,
// Modified (the local list's too).
QVariant FileListHeaderData(int section, Qt::Orientation orientation, int role);
QVariant FileListAlignment(int column);

// The rows of the remote list over one cached listing: Name, Size, Type, Modified.
class THostListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum TColumn { colName = 0, colSize = 1, colType = 2, colModified = 3 };
    using TRows = std::vector<TListRow>;
    static constexpr const char *MimeType = "application/x-ferrow-remote-items";

    explicit THostListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    // Answers a file manager the dragged entries are dropped on with the file:// URI it
    // wants them at: "S" once they are on their way, "E" when refused.
    void SetDirectSave(std::function<QByteArray(const QByteArray &uri)> save) { FDirectSave = std::move(save); }

    void Clear();
    // Shows `rows` over `listing`, in the order given.
    void SetRows(TListingCache::TListingPtr listing, TRows rows);
    // Sorts the rows; selected rows stay selected.
    void Sort(int sortColumn);
    static void SortRows(TRows &rows, const TDirListing &listing, const TFileTypes &types,
                         int sortColumn);

    int Count() const { return int(FRows.size()); }
    const TListRow &Row(int row) const { return FRows[std::size_t(row)]; }
    const TListItem &Entry(int row) const { return (*FListing)[FRows[std::size_t(row)].Entry]; }
    bool ValidRow(int row) const { return row >= 0 && row < Count(); }
    QString TypeText(int row) const;
    const TListingCache::TListingPtr &Listing() const { return FListing; }
    TFileTypes &Types() { return FTypes; }

    // Caption editing is allowed only while connected.
    void SetEditable(bool editable) { FEditable = editable; }

signals:
    // A finished caption edit; the caption itself stays until the server confirms.
    void Edited(int row, const QString &text);

private:
    TListingCache::TListingPtr FListing;
    TRows FRows;
    mutable TFileTypes FTypes;
    bool FEditable = false;
    std::function<QByteArray(const QByteArray &uri)> FDirectSave;
};
