#include "views/LoclView.h"

#include "views/FileList.h"
#include "views/LocalFiles.h"
#include "views/LocalProp.h"
#include "views/Masks.h"
#include "views/StatusTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <optional>

#include <sys/statvfs.h>

namespace {

// Bounds of the wait before changes on disk show: the first change shows at once, a
// long run of them is gathered for at most a few seconds.
constexpr int MinReloadDelayMS = 50;
constexpr int MaxReloadDelayMS = 2000;
// The wait after a reload is this many times what the reload cost, so that following a
// folder never takes more than about a fortieth of the time, however large it grows: a
// run that fills the folder waits for the window between its files.
constexpr int ReloadCostFactor = 40;

QString WithoutSeperator(const QString &folder)
{
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        return folder.left(folder.size() - 1);
    return folder;
}

// The bytes an unprivileged user may still write where `folder` is. Asked after every
// reload: a plain query of the file system, not a search for its mount point.
std::optional<qint64> FreeBytes(const QString &folder)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

} // namespace

TLocalView::TLocalView(QWidget *parent) : TCustomView(parent)
{
    SetSeperator(QLatin1Char('/'));
    Confirm = [this](const QString &question) {
        return QMessageBox::question(this, QStringLiteral("Confirm"), question) == QMessageBox::Yes;
    };
    ShowError = [this](const QString &message) {
        QMessageBox::warning(this, QStringLiteral("Ferrow"), message);
    };
    AskReplace = [this](const QString &name) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), ReplaceQuestion(name),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
        const QAbstractButton *keepBoth = box.addButton(QStringLiteral("Keep Both"), QMessageBox::AcceptRole);
        box.setDefaultButton(QMessageBox::No);
        box.exec();
        if (box.clickedButton() == keepBoth)
            return TReplaceAnswer::KeepBoth;
        switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return TReplaceAnswer::Replace;
        case QMessageBox::No:
            return TReplaceAnswer::Skip;
        default:
            return TReplaceAnswer::Cancel;
        }
    };
    CreateListView();
    OpenFolder(QDir::homePath());
}

TLocalView::~TLocalView() = default;

void TLocalView::CreateListView()
{
    FModel = new TLocalFolderModel(this);
    connect(FModel, &TLocalFolderModel::Renaming, this, [this](const QString &path) { emit FileChanging(this, path); });
    // Told once the caption editor has closed: a message box while it commits would
    // take its focus and commit it again.
    connect(FModel, &TLocalFolderModel::RenameRefused, this, &TLocalView::Report, Qt::QueuedConnection);

    FReloadTimer = new QTimer(this);
    FReloadTimer->setSingleShot(true);
    connect(FReloadTimer, &QTimer::timeout, this, &TLocalView::ApplyReload);
    FWatcher = new QFileSystemWatcher(this);
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        FNamesChanged = true;
        ScheduleReload();
    });

    auto *list = new TFileList(this);
    list->SetModel(FModel);
    list->DetailsView()->setSortingEnabled(true);
    list->DetailsView()->sortByColumn(0, Qt::AscendingOrder);
    list->UseDefaultColumnWidths();
    SetListView(list);
}

void TLocalView::ScheduleReload(const QString &name) const
{
    if (!name.isEmpty())
        FChangedNames.insert(name);
    if (!FReloadTimer->isActive())
        FReloadTimer->start(std::max(FReloadDelayMS, MinReloadDelayMS));
}

void TLocalView::ApplyReload()
{
    QElapsedTimer clock;
    clock.start();
    // A name that has just come was read with the others: once is enough.
    const QSet<QString> read = FNamesChanged ? FModel->ReloadNames() : QSet<QString>();
    for (const QString &name : std::as_const(FChangedNames)) {
        if (!read.contains(name))
            FModel->ReloadName(name);
    }
    FNamesChanged = false;
    FChangedNames.clear();
    FolderChanged();
    FReloadDelayMS = int(std::min<qint64>(clock.elapsed() * ReloadCostFactor, MaxReloadDelayMS));
}

void TLocalView::Watch(const QString &folder)
{
    const QStringList watched = FWatcher->directories();
    if (!watched.isEmpty())
        FWatcher->removePaths(watched);
    FWatcher->addPath(folder);
}

void TLocalView::FolderChanged()
{
    SetTotalSize(-1);
    UpdateStatus();
    const std::optional<qint64> free = FreeBytes(GetFolder());
    SetPanelText(3, free ? FreeSpaceText(*free) : QString());
    emit FolderShown(this);
}

void TLocalView::OpenFolder(const QString &path)
{
    QString folder = QDir::cleanPath(path);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::rootPath();
    FReloadTimer->stop();
    FNamesChanged = false;
    FChangedNames.clear();
    FModel->SetFolder(folder);
    Watch(folder);
    ListView()->ClearSelection();
    SetFolder(folder);
    FolderChanged();
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
    FModel->SetNameFilters(ParseMaskList(value));
    Refresh();
}

// ---- Items ----

QString TLocalView::GetItemPath(const QModelIndex &item) const
{
    return FModel->FilePath(item);
}

QString TLocalView::GetItemName(const QModelIndex &item) const
{
    return QFileInfo(GetItemPath(item)).fileName();
}

bool TLocalView::IsFolder(const QModelIndex &item) const
{
    const TLocalEntry *entry = FModel->Entry(item);
    return entry && entry->Folder;
}

bool TLocalView::IsLink(const QModelIndex &item) const
{
    const TLocalEntry *entry = FModel->Entry(item);
    return entry && entry->Link;
}

std::int64_t TLocalView::ListedItemSize(const QModelIndex &item) const
{
    const TLocalEntry *entry = FModel->Entry(item);
    return entry ? entry->Size : 0;
}

std::int64_t TLocalView::GetItemSize(const QModelIndex &item) const
{
    const TLocalEntry *entry = FModel->Entry(item);
    if (!entry || entry->Folder)
        return 0;
    const QFileInfo info(FModel->FilePath(item));
    const std::int64_t size = info.exists() ? info.size() : 0;
    if (size != entry->Size)
        ScheduleReload(entry->Name);
    return size;
}

TDateTime TLocalView::GetItemDate(const QModelIndex &item) const
{
    const TLocalEntry *entry = FModel->Entry(item);
    if (!entry)
        return TDateTime();
    const QFileInfo info(FModel->FilePath(item));
    const TDateTime date = info.exists() ? TDateTime::FromDateTime(info.lastModified()) : entry->Date;
    if (date != entry->Date)
        ScheduleReload(entry->Name);
    // Remote listings carry minutes only; whole minutes compare with them.
    return date.WholeMinutes();
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
    // The list fills as the folder is set.
    return ChangeFolder(path);
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
    FReloadTimer->stop();
    FNamesChanged = false;
    FChangedNames.clear();
    FModel->Reload();
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
    const QModelIndex created = FModel->MakeFolder(name);
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
    for (const QModelIndex &item : items) {
        if (!IsFolder(item))
            emit FileChanging(this, GetItemPath(item));
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
    if (FPropertiesWindow)
        FPropertiesWindow->close();
    QStringList paths;
    QStringList types;
    for (const QModelIndex &item : items) {
        paths << GetItemPath(item);
        types << item.siblingAtColumn(TLocalFolderModel::colType).data().toString();
    }
    auto *window = new TfrmLocalProperties(paths, types, GetFolder(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QDialog::accepted, this, [this, window] {
        const QStringList failures = window->ApplyPermissions();
        if (!failures.isEmpty())
            Report(failures.join(QLatin1Char('\n')));
        Refresh();
    });
    FPropertiesWindow = window;
    window->open();
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
    bool cancelled = false;
    int moved = 0;
    for (const QString &source : files.Paths) {
        TPastePlan plan = PlanPaste(source, folder, files.Cut);
        bool replace = false;
        if (plan.Kind == TPasteKind::Ask) {
            const TReplaceAnswer answer = AskReplace ? AskReplace(plan.Name) : TReplaceAnswer::Cancel;
            if (answer == TReplaceAnswer::Cancel) {
                cancelled = true;
                break;
            }
            if (answer == TReplaceAnswer::Skip)
                continue;
            replace = answer == TReplaceAnswer::Replace;
            if (answer == TReplaceAnswer::KeepBoth)
                plan.Name = FreeName(folder, plan.Name, QFileInfo(source).isDir() && !QFileInfo(source).isSymLink());
            plan.Kind = files.Cut ? TPasteKind::Move : TPasteKind::Copy;
        }
        if (plan.Kind == TPasteKind::Refuse) {
            errors.append(plan.Message);
            continue;
        }
        if (plan.Kind == TPasteKind::Nothing)
            continue;
        QString error;
        if (!PasteEntry(source, folder, plan.Name, plan.Kind == TPasteKind::Move, replace, &error))
            errors.append(error);
        else if (plan.Kind == TPasteKind::Move)
            ++moved;
    }
    // Cut files are gone from where they were; the clipboard must not offer them again.
    if (moved > 0 && !cancelled && errors.isEmpty())
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

void TLocalView::UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t, std::int64_t, TDateTime)
{
    // The file on disk is the truth; the queue only says which one to read again.
    const QString path = QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(folder)));
    if (path == WithoutSeperator(GetFolder()))
        ScheduleReload(QFile::decodeName(QByteArray::fromStdString(name)));
}
