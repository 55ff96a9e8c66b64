#pragma once

#include "platform/DateTime.h"
#include "views/HostListModel.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QFileInfo;

// What the list knows of one file or folder: its state on disk when last read.
struct TLocalEntry
{
    QString Name;
    bool Folder = false;
    bool Link = false;
    std::int64_t Size = 0;
    TDateTime Date;
    std::int32_t Type = TFileTypes::Folder;

    bool SameOnDisk(const TLocalEntry &other) const
    {
        return Folder == other.Folder && Link == other.Link && Size == other.Size && Date == other.Date;
    }
};

// The entries of one local folder, in list order. A change of the folder costs time in
// proportion to what changed: single names are read again on their own, and a full
// re-read touches only the rows that differ, so the selection and the rows' places stay.
class TLocalFolderModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum TColumn { colName, colSize, colType, colModified, ColumnCount };

    explicit TLocalFolderModel(QObject *parent = nullptr);
    ~TLocalFolderModel() override;

    // Reads `folder` afresh; false when it cannot be read (the list is then empty).
    bool SetFolder(const QString &folder);
    const QString &Folder() const { return FFolder; }
    // Wildcard masks for files (folders always show); empty shows every file.
    void SetNameFilters(const QStringList &masks);
    // Reads the whole folder again and applies only the differences.
    void Reload();
    // Reads one name of the folder again: the row appears, changes or goes.
    void ReloadName(const QString &name);
    // Compares the folder's names with the list's, reading only names that came or went:
    // cheap enough to follow every change a long run of downloads makes. Returns the
    // names it read.
    QSet<QString> ReloadNames();

    const TLocalEntry *Entry(const QModelIndex &index) const;
    QString FilePath(const QModelIndex &index) const;
    QModelIndex IndexOf(const QString &name) const;
    // Creates a folder in the shown folder and lists it; invalid when it could not.
    QModelIndex MakeFolder(const QString &name);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

signals:
    // With the item's full path, before a caption edit renames it.
    void Renaming(const QString &path);
    // A caption edit that renamed nothing, with the reason.
    void RenameRefused(const QString &message);

private:
    using TEntryPtr = std::unique_ptr<TLocalEntry>;

    // The entry as read from disk; null when it is not to be listed.
    std::unique_ptr<TLocalEntry> Read(const QFileInfo &info);
    bool Listed(const QFileInfo &info) const;
    bool Before(const TLocalEntry &a, const TLocalEntry &b) const;
    int RowOf(const TLocalEntry &entry) const;
    void Insert(TEntryPtr entry);
    void Remove(int row);
    // Puts the fresh reading of an entry in place of the listed one.
    void Replace(int row, TEntryPtr fresh);
    void Clear();

    QString FFolder;
    QStringList FMasks;
    std::vector<TEntryPtr> FRows;
    QHash<QString, TLocalEntry *> FByName;
    // 1 Name, 2 Size, 3 Type, 4 Modified; negative is descending.
    int FSortColumn = 1;
    mutable TFileTypes FTypes;
};
