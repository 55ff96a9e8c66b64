#include "views/LocalProp.h"

#include "engine/FTPTypes.h"
#include "views/LocalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

TfrmLocalProperties::TfrmLocalProperties(const QStringList &paths, const QStringList &types,
                                         const QString &folder, QWidget *parent)
    : TfrmProperties(parent)
    , FPaths(paths)
    , FFolder(QDir::cleanPath(folder))
{
    Location = folder;
    std::vector<std::size_t> folders;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths[i]);
        TPropertyEntry entry;
        entry.Caption = info.fileName();
        entry.Type = types.value(i);
        entry.IsFolder = info.isDir();
        if (entry.IsFolder && !info.isSymLink()) {
            entry.SizeKnown = false;
            folders.push_back(Entries.size());
        } else {
            entry.Size = TreeSize(paths[i]);
        }
        entry.Date = TDateTime::FromDateTime(info.lastModified());
        entry.Attributes = LocalPermissions(paths[i]);
        Entries.push_back(entry);
    }
    if (!paths.isEmpty())
        Icon = QFileIconProvider().icon(QFileInfo(paths.first()));
    if (!folders.empty())
        CountFolders(std::move(folders));
}

void TfrmLocalProperties::CountFolders(std::vector<std::size_t> folders)
{
    FCounting = std::jthread([this, folders = std::move(folders)](const std::stop_token &stop) {
        // Queued to the window's thread: the entries and labels are only touched there.
        const auto report = [this](std::size_t entry, std::int64_t size, bool done) {
            QMetaObject::invokeMethod(
                this, [this, entry, size, done] { FolderCounted(entry, size, done); }, Qt::QueuedConnection);
        };
        for (const std::size_t entry : folders) {
            const std::int64_t size = TreeSize(FPaths[qsizetype(entry)], [&](std::int64_t soFar) {
                report(entry, soFar, false);
                return !stop.stop_requested();
            });
            if (stop.stop_requested())
                return;
            report(entry, size, true);
        }
    });
}

void TfrmLocalProperties::FolderCounted(std::size_t entry, std::int64_t size, bool done)
{
    Entries[entry].Size = size;
    Entries[entry].SizeKnown = done;
    lblSize->setText(SummarizeProperties(Entries, Location).Size);
}

void TfrmLocalProperties::showEvent(QShowEvent *event)
{
    TfrmProperties::showEvent(event);
    // A local folder has a path of its own all the way up, and a file its time of day.
    lblLocation->setText(QDir::toNativeSeparators(FFolder));
    if (Entries.size() == 1) {
        const QDateTime modified = Entries.front().Date.ToDateTime();
        lblDate->setText(QLocale().toString(modified.date(), QLocale::LongFormat) + QLatin1Char(' ')
                         + QLocale().toString(modified.time(), QLocale::ShortFormat));
    }
    adjustSize();
}

QStringList TfrmLocalProperties::ApplyPermissions() const
{
    QStringList failures;
    if (!Changed)
        return failures;
    for (std::size_t i = 0; i < Entries.size(); ++i) {
        const std::uint32_t permissions = PermissionsFor(Entries[i]);
        if (permissions == (Entries[i].Attributes & faPermissionMask))
            continue;
        QString error;
        if (!SetLocalPermissions(FPaths[qsizetype(i)], permissions, &error))
            failures << error;
    }
    return failures;
}
