#include "views/LoclView.h"

#include "views/FileList.h"
#include "views/LocalFiles.h"
#include "views/Masks.h"
#include "views/StatusTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QStorageInfo>
#include <QTimer>

namespace {

// A folder that never reports its listing (an unreadable network mount) must not hold
// a folder walk forever.
constexpr int LoadWaitMS = 30000;

QString WithoutSeperator(const QString &folder)
{
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        return folder.left(folder.size() - 1);
    return folder;
}

} // namespace

bool TLocalFileModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role == Qt::EditRole && index.isValid() && index.column() == 0 && OnRenaming
        && value.toString() != fileName(index))
        OnRenaming(filePath(index));
    return QFileSystemModel::setData(index, value, role);
}

TLocalView::TLocalView(QWidget *parent) : TCustomView(parent)
{
    SetSeperator(QLatin1Char('/'));
    Confirm = [this](const QString &question) {
        return QMessageBox::question(this, QStringLiteral("Confirm"), question) == QMessageBox::Yes;
    };
    ShowError = [this](const QString &message) {
        QMessageBox::warning(this, QStringLiteral("Ferrow"), message);
    };
    CreateListView();
    OpenFolder(QDir::homePath());
}

TLocalView::~TLocalView() = default;

void TLocalView::CreateListView()
{
    FModel = new TLocalFileModel(this);
    FModel->setReadOnly(false);
    FModel->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    FModel->setNameFilterDisables(false);
    FModel->OnRenaming = [this](const QString &path) {
        if (OnFileChanging)
            OnFileChanging(this, path);
    };

    FChangeTimer = new QTimer(this);
    FChangeTimer->setSingleShot(true);
    FChangeTimer->setInterval(0);
    connect(FChangeTimer, &QTimer::timeout, this, &TLocalView::FolderChanged);

    auto *list = new TFileList(this);
    list->SetModel(FModel);
    list->DetailsView()->setSortingEnabled(true);
    list->DetailsView()->sortByColumn(0, Qt::AscendingOrder);
    list->Header()->resizeSection(0, 220);
    SetListView(list);

    connect(FModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &path) {
        if (path == WithoutSeperator(GetFolder())) {
            FLoadedFolder = path;
            ScheduleFolderChanged();
        }
    });
    const auto contentsChanged = [this](const QModelIndex &parent) {
        if (parent == ListView()->RootIndex())
            ScheduleFolderChanged();
    };
    connect(FModel, &QAbstractItemModel::rowsInserted, this, contentsChanged);
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, contentsChanged);
}

void TLocalView::ScheduleFolderChanged()
{
    // Rows arrive in batches while a folder loads; one status update covers them all.
    FChangeTimer->start();
}

void TLocalView::FolderChanged()
{
    FChangeTimer->stop();
    SetTotalSize(-1);
    UpdateStatus();
    const QStorageInfo storage(GetFolder());
    if (storage.isValid() && storage.isReady())
        SetPanelText(3, FreeSpaceText(storage.bytesAvailable()));
    else
        SetPanelText(3, QString());
    if (OnFolderChanged)
        OnFolderChanged(this);
}

void TLocalView::OpenFolder(const QString &path)
{
    QString folder = QDir::cleanPath(path);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::rootPath();
    const QString previous = WithoutSeperator(GetFolder());
    if (folder != previous) {
        FLoadedFolder.clear();
        // Leaving a folder makes the model read it afresh when it is shown again.
        FModel->setRootPath(folder);
    }
    ListView()->SetRootIndex(FModel->index(folder));
    ListView()->ClearSelection();
    SetFolder(folder);
    FolderChanged();
}

bool TLocalView::IsLoaded() const
{
    return FLoadedFolder == WithoutSeperator(GetFolder());
}

QString TLocalView::DisplayName() const
{
    const QString folder = WithoutSeperator(GetFolder());
    const QString name = QFileInfo(folder).fileName();
    return name.isEmpty() ? folder : name;
}

bool TLocalView::IsAtRoot() const
{
    return QDir(GetFolder()).isRoot();
}

// ---- Masks ----

QString TLocalView::GetMask() const
{
    return FFilter.isEmpty() ? QStringLiteral("*.*") : FFilter;
}

void TLocalView::SetMask(const QString &value)
{
    TCustomView::SetMask(value);
    if (value == FFilter)
        return;
    FFilter = value;
    FModel->setNameFilters(ParseMaskList(value));
    Refresh();
}

// ---- Items ----

QString TLocalView::GetItemPath(const QModelIndex &item) const
{
    return item.isValid() ? FModel->filePath(item) : QString();
}

QString TLocalView::GetItemName(const QModelIndex &item) const
{
    return QFileInfo(GetItemPath(item)).fileName();
}

bool TLocalView::IsFolder(const QModelIndex &item) const
{
    return item.isValid() && FModel->isDir(item);
}

bool TLocalView::IsLink(const QModelIndex &item) const
{
    return item.isValid() && FModel->fileInfo(item).isSymLink();
}

std::int64_t TLocalView::GetItemSize(const QModelIndex &item) const
{
    return item.isValid() && !FModel->isDir(item) ? FModel->size(item) : 0;
}

TDateTime TLocalView::GetItemDate(const QModelIndex &item) const
{
    if (!item.isValid())
        return TDateTime();
    // Remote listings carry minutes only; whole minutes compare with them.
    return TDateTime::FromDateTime(FModel->lastModified(item)).WholeMinutes();
}

// ---- Folders ----

bool TLocalView::ChangeFolder(const QString &path)
{
    OpenFolder(path);
    QApplication::beep();
    return true;
}

bool TLocalView::ChangeFolderAndWait(const QString &path)
{
    const bool changed = ChangeFolder(path);
    const QPointer<TLocalView> alive(this);
    const QDeadlineTimer deadline(LoadWaitMS);
    while (alive && !IsLoaded() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (alive && FChangeTimer->isActive())
        FolderChanged();
    return changed;
}

bool TLocalView::FolderUp()
{
    if (IsAtRoot())
        return false;
    OpenFolder(QFileInfo(WithoutSeperator(GetFolder())).path());
    return true;
}

bool TLocalView::EnterFolder(const QModelIndex &item)
{
    if (!IsFolder(item))
        return false;
    OpenFolder(GetItemPath(item));
    return true;
}

void TLocalView::Refresh()
{
    const QString folder = WithoutSeperator(GetFolder());
    // The model reads a folder again only after it stopped being its root.
    const QString elsewhere = QDir(folder).isRoot() ? QDir::homePath() : QDir::rootPath();
    FLoadedFolder.clear();
    FModel->setRootPath(elsewhere);
    FModel->setRootPath(folder);
    ListView()->SetRootIndex(FModel->index(folder));
    FolderChanged();
}

// ---- File operations ----

QStringList TLocalView::SelectedPaths() const
{
    QStringList paths;
    for (const QModelIndex &item : SelectedItems())
        paths.append(GetItemPath(item));
    return paths;
}

void TLocalView::Report(const QString &message) const
{
    if (ShowError)
        ShowError(message);
}

bool TLocalView::CreateFolder(const QString & /*name*/, bool edit)
{
    const QString folder = WithoutSeperator(GetFolder());
    const QString name = FreeName(folder, QStringLiteral("New Folder"), true);
    const QModelIndex created = FModel->mkdir(FModel->index(folder), name);
    if (!created.isValid()) {
        Report(QStringLiteral("Cannot create the folder \"%1\" in \"%2\".").arg(name, folder));
        return false;
    }
    if (edit) {
        QAbstractItemView *view = ListView()->CurrentView();
        view->setCurrentIndex(created);
        view->edit(created);
    }
    return true;
}

bool TLocalView::DeleteSelected(bool /*confirm*/)
{
    const QModelIndexList items = SelectedItems();
    if (items.isEmpty())
        return true;
    if (OnFileChanging) {
        for (const QModelIndex &item : items) {
            if (!IsFolder(item))
                OnFileChanging(this, GetItemPath(item));
        }
    }
    const QStringList paths = SelectedPaths();
    const QString question = paths.size() == 1
        ? QStringLiteral("Are you sure you want to move \"%1\" to the Trash?").arg(QFileInfo(paths.first()).fileName())
        : QStringLiteral("Are you sure you want to move these %1 items to the Trash?").arg(paths.size());
    if (!Confirm || !Confirm(question))
        return true;
    QStringList failed;
    for (const QString &path : paths) {
        if (!QFile::moveToTrash(path))
            failed.append(path);
    }
    if (!failed.isEmpty())
        Report(QStringLiteral("Could not move to the Trash:\n%1").arg(failed.join(QLatin1Char('\n'))));
    return true;
}

bool TLocalView::ShowProperties()
{
    const QModelIndexList items = SelectedItems();
    if (items.isEmpty())
        return true;
    QString text;
    if (items.size() == 1) {
        const QFileInfo info(GetItemPath(items.first()));
        const QString type = info.isDir() ? QStringLiteral("File Folder")
                                          : QMimeDatabase().mimeTypeForFile(info).comment();
        text = QStringLiteral("Name: %1\nType: %2\nLocation: %3\nSize: %4\nModified: %5")
                   .arg(info.fileName(), type, info.absolutePath(),
                        info.isDir() ? QString() : GroupedNumber(info.size()) + QStringLiteral(" Bytes"),
                        QLocale().toString(info.lastModified(), QLocale::LongFormat));
        if (info.isSymLink())
            text += QStringLiteral("\nTarget: %1").arg(info.symLinkTarget());
    } else {
        std::int64_t size = 0;
        for (const QModelIndex &item : items)
            size += GetItemSize(item);
        text = QStringLiteral("%1 items, %2").arg(items.size()).arg(SizeText(size));
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Properties"), text, QMessageBox::Ok, this);
    box.exec();
    return true;
}

void TLocalView::PutOnClipboard(bool cut)
{
    const QStringList paths = SelectedPaths();
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setMimeData(FileClipboardData(paths, cut));
}

void TLocalView::CutSelection()
{
    PutOnClipboard(true);
}

void TLocalView::CopySelection()
{
    PutOnClipboard(false);
}

void TLocalView::PasteSelection()
{
    const TClipboardFiles files = ClipboardFiles(QGuiApplication::clipboard()->mimeData());
    if (files.Paths.isEmpty())
        return;
    const QString folder = WithoutSeperator(GetFolder());
    QStringList errors;
    for (const QString &source : files.Paths) {
        const QFileInfo info(source);
        if (!info.exists() && !info.isSymLink()) {
            errors.append(QStringLiteral("\"%1\" no longer exists.").arg(source));
            continue;
        }
        QString error;
        if (files.Cut) {
            if (info.absolutePath() == folder)
                continue;
            if (!MoveEntry(source, folder, info.fileName(), &error))
                errors.append(error);
        } else {
            const QString name = FreeName(folder, info.fileName(), info.isDir());
            if (!CopyEntry(source, folder, name, &error))
                errors.append(error);
        }
    }
    // Cut files are gone from where they were; the clipboard must not offer them again.
    if (files.Cut)
        QGuiApplication::clipboard()->clear();
    if (!errors.isEmpty())
        Report(errors.join(QLatin1Char('\n')));
    Refresh();
}

bool TLocalView::RenameItem(const QString &oldName, const QString &newName)
{
    if (QFileInfo::exists(newName))
        return false;
    return QFile::rename(oldName, newName);
}

bool TLocalView::TransferFrom(TCustomView *)
{
    // Downloads are done by the remote view's TransferTo.
    return false;
}

void TLocalView::UpdateEntry(const std::string &, const std::string &, std::uint32_t, std::int64_t, TDateTime)
{
}
