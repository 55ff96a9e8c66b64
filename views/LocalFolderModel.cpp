#include "views/LocalFolderModel.h"

#include "views/StatusTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

#include <dirent.h>

namespace {

QDir::Filters ListedKinds()
{
    return QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden;
}

// The names a reload has to consider: a plain read of the folder, without a look at each
// entry, which is what made following a folder that fills up slow. Files the masks leave
// out cannot be listed; other entries are read only when new. Empty when the folder cannot
// be read.
QStringList ReloadCandidates(const QString &folder, const QStringList &masks)
{
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(QFile::encodeName(folder).constData()), ::closedir);
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (entry->d_type == DT_REG && !masks.isEmpty() && !QDir::match(masks, name))
            continue;
        names.append(name);
    }
    return names;
}

} // namespace

TLocalFolderModel::TLocalFolderModel(QObject *parent) : QAbstractTableModel(parent) {}

TLocalFolderModel::~TLocalFolderModel() = default;

bool TLocalFolderModel::Listed(const QFileInfo &info) const
{
    // Dot files are listed, as on the server side: a site's ".htaccess" must go up with it.
    if (!info.exists() && !info.isSymLink())
        return false;
    return info.isDir() || FMasks.isEmpty() || QDir::match(FMasks, info.fileName());
}

std::unique_ptr<TLocalEntry> TLocalFolderModel::Read(const QFileInfo &info)
{
    if (!Listed(info))
        return nullptr;
    auto entry = std::make_unique<TLocalEntry>();
    entry->Name = info.fileName();
    entry->Folder = info.isDir();
    entry->Link = info.isSymLink();
    entry->Size = entry->Folder ? 0 : info.size();
    entry->Date = TDateTime::FromDateTime(info.lastModified());
    entry->Type = entry->Folder ? TFileTypes::Folder : FTypes.TypeOf(entry->Name);
    return entry;
}

bool TLocalFolderModel::Before(const TLocalEntry &a, const TLocalEntry &b) const
{
    const auto key = [this](const TLocalEntry &entry) {
        TSortKey sortKey;
        sortKey.Folder = entry.Folder;
        sortKey.Caption = &entry.Name;
        sortKey.Size = entry.Size;
        sortKey.Type = &FTypes.Text(entry.Type);
        sortKey.Date = entry.Date;
        return sortKey;
    };
    const int order = CompareListEntries(key(a), key(b), FSortColumn);
    if (order != 0)
        return order < 0;
    // Names are unique, so every entry has exactly one place.
    return a.Name < b.Name;
}

int TLocalFolderModel::RowOf(const TLocalEntry &entry) const
{
    const auto found = std::lower_bound(FRows.begin(), FRows.end(), entry,
                                        [this](const TEntryPtr &row, const TLocalEntry &e) { return Before(*row, e); });
    return found != FRows.end() && found->get() == &entry ? int(found - FRows.begin()) : -1;
}

void TLocalFolderModel::Insert(TEntryPtr entry)
{
    const auto place = std::lower_bound(FRows.begin(), FRows.end(), *entry,
                                        [this](const TEntryPtr &row, const TLocalEntry &e) { return Before(*row, e); });
    const int row = int(place - FRows.begin());
    beginInsertRows(QModelIndex(), row, row);
    FByName.insert(entry->Name, entry.get());
    FRows.insert(place, std::move(entry));
    endInsertRows();
}

void TLocalFolderModel::Remove(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    FByName.remove(FRows[std::size_t(row)]->Name);
    FRows.erase(FRows.begin() + row);
    endRemoveRows();
}

void TLocalFolderModel::Replace(int row, TEntryPtr fresh)
{
    TLocalEntry &listed = *FRows[std::size_t(row)];
    if (listed.SameOnDisk(*fresh))
        return;
    const bool staysInPlace = (row == 0 || Before(*FRows[std::size_t(row) - 1], *fresh))
        && (row + 1 == int(FRows.size()) || Before(*fresh, *FRows[std::size_t(row) + 1]));
    if (!staysInPlace) {
        Remove(row);
        Insert(std::move(fresh));
        return;
    }
    listed = *fresh;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TLocalFolderModel::Clear()
{
    FRows.clear();
    FByName.clear();
}

bool TLocalFolderModel::SetFolder(const QString &folder)
{
    beginResetModel();
    Clear();
    FFolder = folder;
    const QDir dir(folder);
    const bool readable = dir.isReadable();
    if (readable) {
        const QFileInfoList infos = dir.entryInfoList(ListedKinds(), QDir::NoSort);
        FRows.reserve(std::size_t(infos.size()));
        for (const QFileInfo &info : infos) {
            if (TEntryPtr entry = Read(info)) {
                FByName.insert(entry->Name, entry.get());
                FRows.push_back(std::move(entry));
            }
        }
        std::sort(FRows.begin(), FRows.end(), [this](const TEntryPtr &a, const TEntryPtr &b) { return Before(*a, *b); });
    }
    endResetModel();
    return readable;
}

void TLocalFolderModel::SetNameFilters(const QStringList &masks)
{
    if (masks == FMasks)
        return;
    FMasks = masks;
    Reload();
}

void TLocalFolderModel::Reload()
{
    if (FFolder.isEmpty())
        return;
    const QFileInfoList infos = QDir(FFolder).entryInfoList(ListedKinds(), QDir::NoSort);
    QSet<QString> present;
    present.reserve(infos.size());
    std::vector<TEntryPtr> fresh;
    for (const QFileInfo &info : infos) {
        if (TEntryPtr entry = Read(info)) {
            present.insert(entry->Name);
            fresh.push_back(std::move(entry));
        }
    }
    for (int row = int(FRows.size()) - 1; row >= 0; --row) {
        if (!present.contains(FRows[std::size_t(row)]->Name))
            Remove(row);
    }
    for (TEntryPtr &entry : fresh) {
        const auto listed = FByName.constFind(entry->Name);
        if (listed == FByName.constEnd())
            Insert(std::move(entry));
        else
            Replace(RowOf(*listed.value()), std::move(entry));
    }
}

QSet<QString> TLocalFolderModel::ReloadNames()
{
    QSet<QString> read;
    if (FFolder.isEmpty())
        return read;
    const QStringList names = ReloadCandidates(FFolder, FMasks);
    const QSet<QString> present(names.begin(), names.end());
    for (int row = int(FRows.size()) - 1; row >= 0; --row) {
        if (!present.contains(FRows[std::size_t(row)]->Name))
            Remove(row);
    }
    for (const QString &name : names) {
        if (!FByName.contains(name)) {
            ReloadName(name);
            read.insert(name);
        }
    }
    return read;
}

void TLocalFolderModel::ReloadName(const QString &name)
{
    if (FFolder.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/')))
        return;
    TEntryPtr fresh = Read(QFileInfo(QDir(FFolder).filePath(name)));
    const auto listed = FByName.constFind(name);
    const int row = listed == FByName.constEnd() ? -1 : RowOf(*listed.value());
    if (row < 0) {
        if (fresh)
            Insert(std::move(fresh));
    } else if (!fresh) {
        Remove(row);
    } else {
        Replace(row, std::move(fresh));
    }
}

const TLocalEntry *TLocalFolderModel::Entry(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= int(FRows.size()))
        return nullptr;
    return FRows[std::size_t(index.row())].get();
}

QString TLocalFolderModel::FilePath(const QModelIndex &index) const
{
    const TLocalEntry *entry = Entry(index);
    return entry ? QDir(FFolder).filePath(entry->Name) : QString();
}

QModelIndex TLocalFolderModel::IndexOf(const QString &name) const
{
    const auto listed = FByName.constFind(name);
    if (listed == FByName.constEnd())
        return QModelIndex();
    const int row = RowOf(*listed.value());
    return row < 0 ? QModelIndex() : index(row, 0);
}

QModelIndex TLocalFolderModel::MakeFolder(const QString &name)
{
    if (FFolder.isEmpty() || !QDir(FFolder).mkdir(name))
        return QModelIndex();
    ReloadName(name);
    return IndexOf(name);
}

int TLocalFolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FRows.size());
}

int TLocalFolderModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLocalFolderModel::data(const QModelIndex &index, int role) const
{
    const TLocalEntry *entry = Entry(index);
    if (!entry)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case colName:
            return entry->Name;
        case colSize:
            return entry->Folder ? QString() : ListSizeText(entry->Size);
        case colType:
            return FTypes.Text(entry->Type);
        case colModified:
            return QLocale().toString(entry->Date.ToDateTime(), QLocale::ShortFormat);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() != colName)
            return QVariant();
        return entry->Link ? FTypes.LinkIcon(entry->Type) : FTypes.Icon(entry->Type);
    case Qt::ToolTipRole:
        return index.column() == colName ? QVariant(entry->Name) : QVariant();
    case Qt::TextAlignmentRole:
        return FileListAlignment(index.column());
    default:
        return QVariant();
    }
}

static_assert(int(TLocalFolderModel::colSize) == int(THostListModel::colSize),
              "both lists share one column layout");

QVariant TLocalFolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return FileListHeaderData(section, orientation, role);
}

Qt::ItemFlags TLocalFolderModel::flags(const QModelIndex &index) const
{
    if (!Entry(index))
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == colName)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TLocalFolderModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const TLocalEntry *entry = Entry(index);
    if (role != Qt::EditRole || !entry || index.column() != colName)
        return false;
    const QString newName = value.toString();
    if (newName == entry->Name)
        return true;
    if (newName.isEmpty() || newName.contains(QLatin1Char('/')) || newName == QLatin1String(".")
        || newName == QLatin1String("..")) {
        emit RenameRefused(QStringLiteral("\"%1\" is not a name a file or folder can have here.").arg(newName));
        return false;
    }
    const QString oldName = entry->Name;
    const QDir dir(FFolder);
    const QFileInfo existing(dir.filePath(newName));
    if (existing.exists() || existing.isSymLink()) {
        emit RenameRefused(QStringLiteral("\"%1\" already exists; \"%2\" keeps its name.").arg(newName, oldName));
        return false;
    }
    emit Renaming(FilePath(index));
    if (!QFile::rename(dir.filePath(oldName), dir.filePath(newName))) {
        emit RenameRefused(QStringLiteral("\"%1\" could not be renamed to \"%2\".").arg(oldName, newName));
        return false;
    }
    ReloadName(oldName);
    ReloadName(newName);
    return true;
}

void TLocalFolderModel::sort(int column, Qt::SortOrder order)
{
    const int sortColumn = (std::clamp(column, 0, ColumnCount - 1) + 1) * (order == Qt::AscendingOrder ? 1 : -1);
    if (sortColumn == FSortColumn)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    FSortColumn = sortColumn;
    const QModelIndexList before = persistentIndexList();
    std::vector<const TLocalEntry *> entries;
    entries.reserve(std::size_t(before.size()));
    for (const QModelIndex &index : before)
        entries.push_back(Entry(index));
    std::sort(FRows.begin(), FRows.end(), [this](const TEntryPtr &a, const TEntryPtr &b) { return Before(*a, *b); });
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = entries[std::size_t(i)] ? RowOf(*entries[std::size_t(i)]) : -1;
        after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QStringList TLocalFolderModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *TLocalFolderModel::mimeData(const QModelIndexList &indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex &index : indexes) {
        if (index.column() == colName && Entry(index))
            urls.append(QUrl::fromLocalFile(FilePath(index)));
    }
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions TLocalFolderModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}
