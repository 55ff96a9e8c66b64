#include "views/HostListModel.h"

#include "engine/FTPUtils.h"
#include "views/DesktopDrag.h"
#include "views/DesktopDrop.h"
#include "views/RemotePaths.h"
#include "views/StatusTexts.h"

#include <QFileIconProvider>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>

#include <algorithm>
#include <numeric>

// The resource's loader lives in the global namespace.
static void LoadOwnIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

const QString FolderTypeText = QStringLiteral("File Folder");

QString Extension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

QIcon WithLinkOverlay(const QIcon &base)
{
    const QIcon emblem = QIcon::fromTheme(QStringLiteral("emblem-symbolic-link"));
    QIcon result;
    for (const int size : {16, 32}) {
        QPixmap pixmap = base.pixmap(size, size);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        const int overlay = size / 2;
        if (!emblem.isNull()) {
            painter.drawPixmap(0, size - overlay, emblem.pixmap(overlay, overlay));
        } else {
            // A plain arrow where the theme has no emblem.
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(Qt::black, 1.5));
            painter.setBrush(Qt::white);
            painter.drawRect(0, size - overlay, overlay - 1, overlay - 1);
            painter.drawLine(2, size - 2, overlay - 3, size - overlay + 2);
        }
        painter.end();
        result.addPixmap(pixmap);
    }
    return result.isNull() ? base : result;
}

// Offscreen and in bare sessions Qt knows no icon theme; an installed one is better than
// none, and our own icons are the last resort.
void FindIconTheme()
{
    static const bool found = [] {
        if (!QIcon::fromTheme(QStringLiteral("folder")).isNull())
            return true;
        for (const QString &theme : {QStringLiteral("Adwaita"), QStringLiteral("breeze"), QStringLiteral("gnome")}) {
            QIcon::setThemeName(theme);
            if (!QIcon::fromTheme(QStringLiteral("folder")).isNull())
                return true;
        }
        QIcon::setThemeName(QString());
        return false;
    }();
    (void)found;
}

QIcon OwnIcon(const QString &name)
{
    LoadOwnIcons();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1-16.png").arg(name), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1-32.png").arg(name), QSize(32, 32));
    return icon;
}

QIcon IconOrOwn(const QIcon &icon, const QString &ownName)
{
    return icon.pixmap(16, 16).isNull() ? OwnIcon(ownName) : icon;
}

} // namespace

QString UnknownTypeText(const QString &fileName)
{
    const QString extension = Extension(fileName);
    return extension.isEmpty() ? QStringLiteral("File") : extension + QStringLiteral(" File");
}

std::int32_t TFileTypes::TypeOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // Names without an extension may still be known by name ("Makefile").
    const QString key = dot < 0 ? fileName : fileName.mid(dot);
    const auto found = FByKey.constFind(key);
    if (found != FByKey.constEnd())
        return found.value();

    static const QMimeDatabase database;
    const QList<QMimeType> types = database.mimeTypesForFileName(dot < 0 ? fileName : QLatin1Char('x') + key);
    TType type;
    if (!types.isEmpty()) {
        type.Text = types.first().comment();
        type.IconName = types.first().iconName();
        type.GenericIconName = types.first().genericIconName();
    }
    if (type.Text.isEmpty())
        type.Text = UnknownTypeText(fileName);
    const auto id = std::int32_t(FTypes.size());
    FTypes.push_back(std::move(type));
    FByKey.insert(key, id);
    return id;
}

const QString &TFileTypes::Text(std::int32_t type) const
{
    static const QString none;
    if (type == Folder)
        return FolderTypeText;
    if (type < 0 || type >= std::int32_t(FTypes.size()))
        return none;
    return FTypes[std::size_t(type)].Text;
}

QIcon TFileTypes::FolderIcon()
{
    if (FFolderIcon.isNull()) {
        FindIconTheme();
        FFolderIcon = IconOrOwn(QFileIconProvider().icon(QAbstractFileIconProvider::Folder), QStringLiteral("folder"));
    }
    return FFolderIcon;
}

QIcon TFileTypes::Icon(std::int32_t type)
{
    if (type == Folder)
        return FolderIcon();
    if (type < 0 || type >= std::int32_t(FTypes.size()))
        return QIcon();
    TType &entry = FTypes[std::size_t(type)];
    if (!entry.IconLoaded) {
        entry.IconLoaded = true;
        FindIconTheme();
        entry.Icon = QIcon::fromTheme(entry.IconName, QIcon::fromTheme(entry.GenericIconName));
        if (entry.Icon.isNull())
            entry.Icon = IconOrOwn(QFileIconProvider().icon(QAbstractFileIconProvider::File), QStringLiteral("file"));
    }
    return entry.Icon;
}

QIcon TFileTypes::LinkIcon(std::int32_t baseType)
{
    if (baseType == Folder) {
        if (FFolderLinkIcon.isNull())
            FFolderLinkIcon = WithLinkOverlay(FolderIcon());
        return FFolderLinkIcon;
    }
    if (baseType < 0 || baseType >= std::int32_t(FTypes.size()))
        return QIcon();
    Icon(baseType);
    TType &entry = FTypes[std::size_t(baseType)];
    if (entry.LinkIcon.isNull())
        entry.LinkIcon = WithLinkOverlay(entry.Icon);
    return entry.LinkIcon;
}

int CompareListEntries(const TSortKey &a, const TSortKey &b, int sortColumn)
{
    const int column = sortColumn < 0 ? -sortColumn : sortColumn;
    const auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    const auto byCaption = [&] {
        const bool folded = a.CaptionFolded && b.CaptionFolded;
        return a.Caption->compare(*b.Caption, folded ? Qt::CaseSensitive : Qt::CaseInsensitive);
    };
    int result = 0;
    if (a.Folder != b.Folder) {
        result = a.Folder ? -1 : 1;
    } else if (a.Folder) {
        result = column == 4 ? order(a.Date, b.Date) : byCaption();
    } else {
        switch (column) {
        case 1:
            result = byCaption();
            break;
        case 2:
            result = order(a.Size, b.Size);
            break;
        case 3:
            result = a.Type->compare(*b.Type, Qt::CaseInsensitive);
            break;
        case 4:
            result = order(a.Date, b.Date);
            break;
        default:
            break;
        }
    }
    if (result != 0)
        result = result < 0 ? -1 : 1;
    return sortColumn < 0 ? -result : result;
}

int NextSortColumn(int sortColumn, int clickedColumn)
{
    return clickedColumn == sortColumn ? -sortColumn : clickedColumn;
}

THostListModel::THostListModel(QObject *parent) : QAbstractTableModel(parent) {}

int THostListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

int THostListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QString THostListModel::TypeText(int row) const
{
    const TListRow &r = Row(row);
    if (r.Type == TFileTypes::Link)
        return QStringLiteral("Shortcut to ") + DecodeServerText(LinkTarget(Entry(row).Name));
    return FTypes.Text(r.Type);
}

QVariant THostListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !ValidRow(index.row()))
        return QVariant();
    const int row = index.row();
    const TListRow &r = Row(row);
    const TDirEntry &entry = Entry(row).Entry;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case colName:
            return r.Caption;
        case colSize:
            return entry.IsFolder() ? QString() : ListSizeText(entry.Size);
        case colType:
            return TypeText(row);
        case colModified:
            return QLocale().toString(entry.Date.ToDateTime(), QLocale::ShortFormat);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() != colName)
            return QVariant();
        if (r.Type == TFileTypes::Link)
            return FTypes.LinkIcon(entry.IsFolder() ? TFileTypes::Folder : FTypes.TypeOf(r.Caption));
        return FTypes.Icon(r.Type);
    case Qt::TextAlignmentRole:
        return FileListAlignment(index.column());
    default:
        return QVariant();
    }
}

QVariant FileListHeaderData(int section, Qt::Orientation orientation, int role)
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        static const char *const Titles[] = {"Name", "Size", "Type", "Modified"};
        return section >= 0 && section < 4 ? QString::fromLatin1(Titles[section]) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return FileListAlignment(section);
    return QVariant();
}

QVariant FileListAlignment(int column)
{
    return QVariant((column == THostListModel::colSize ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

QVariant THostListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return FileListHeaderData(section, orientation, role);
}

Qt::ItemFlags THostListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (FEditable && index.column() == colName)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool THostListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != colName || !ValidRow(index.row()))
        return false;
    emit Edited(index.row(), value.toString());
    return false;
}

QStringList THostListModel::mimeTypes() const
{
    return {QString::fromLatin1(MimeType)};
}

QMimeData *THostListModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    // The drop asks the source view for its selection; the data only names the kind.
    QStringList names;
    for (const QModelIndex &index : indexes) {
        if (index.column() == colName)
            names.append(data(index, Qt::DisplayRole).toString());
    }
    auto *dragData = new TRemoteDragData(QObject::parent(), DirectSaveName(names), FDirectSave);
    dragData->setData(QString::fromLatin1(MimeType), QByteArray());
    return dragData;
}

Qt::DropActions THostListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

Qt::DropActions THostListModel::supportedDropActions() const
{
    return Qt::CopyAction;
}

void THostListModel::Clear()
{
    beginResetModel();
    FRows.clear();
    FRows.shrink_to_fit();
    FListing.reset();
    endResetModel();
}

void THostListModel::SetRows(TListingCache::TListingPtr listing, TRows rows)
{
    beginResetModel();
    FListing = std::move(listing);
    FRows = std::move(rows);
    if (!FListing)
        FRows.clear();
    endResetModel();
}

void THostListModel::SortRows(TRows &rows, const TDirListing &listing, const TFileTypes &types,
                              int sortColumn)
{
    // Links' type texts are made once, not in every comparison.
    std::vector<QString> linkTypes;
    std::vector<std::uint32_t> linkTypeOf(rows.size(), 0);
    if (std::abs(sortColumn) == 3) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].Type == TFileTypes::Link) {
                linkTypeOf[i] = std::uint32_t(linkTypes.size());
                linkTypes.push_back(QStringLiteral("Shortcut to ")
                                    + DecodeServerText(LinkTarget(listing[rows[i].Entry].Name)));
            }
        }
    }
    // Captions are folded once, not in every comparison.
    const int column = std::abs(sortColumn);
    std::vector<QString> folded(rows.size());
    std::vector<TSortKey> keys(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TDirEntry &entry = listing[rows[i].Entry].Entry;
        TSortKey &key = keys[i];
        key.Folder = entry.IsFolder();
        key.Caption = &rows[i].Caption;
        if (column == 1 || (key.Folder && column != 4)) {
            folded[i] = rows[i].Caption.toCaseFolded();
            key.Caption = &folded[i];
            key.CaptionFolded = true;
        }
        key.Size = entry.Size;
        key.Type = rows[i].Type == TFileTypes::Link
            ? (linkTypes.empty() ? &rows[i].Caption : &linkTypes[linkTypeOf[i]])
            : &types.Text(rows[i].Type);
        key.Date = entry.Date;
    }
    std::vector<std::uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return CompareListEntries(keys[a], keys[b], sortColumn) < 0;
    });
    TRows sorted;
    sorted.reserve(rows.size());
    for (const std::uint32_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

void THostListModel::Sort(int sortColumn)
{
    if (!FListing || FRows.empty())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    // Rows are told apart by their entry index, which sorting keeps.
    std::vector<std::uint32_t> entryOf(persistent.size());
    for (qsizetype i = 0; i < persistent.size(); ++i)
        entryOf[std::size_t(i)] = FRows[std::size_t(persistent[i].row())].Entry;
    SortRows(FRows, *FListing, FTypes, sortColumn);
    if (!persistent.isEmpty()) {
        std::vector<int> rowOfEntry(FListing->size(), -1);
        for (std::size_t row = 0; row < FRows.size(); ++row)
            rowOfEntry[FRows[row].Entry] = int(row);
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i)
            moved.append(index(rowOfEntry[entryOf[std::size_t(i)]], persistent[i].column()));
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
