#include "views/LocalFiles.h"

#include "views/FileProperties.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

namespace {

const QString GnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");

bool CopyTree(const QString &source, const QString &target, QString *error)
{
    const QFileInfo info(source);
    if (info.isSymLink()) {
        if (!QFile::link(info.symLinkTarget(), target)) {
            if (error)
                *error = QStringLiteral("Cannot create the link \"%1\".").arg(target);
            return false;
        }
        return true;
    }
    if (!info.isDir()) {
        QFile file(source);
        if (!file.copy(target)) {
            if (error)
                *error = QStringLiteral("Cannot copy \"%1\": %2").arg(source, file.errorString());
            return false;
        }
        return true;
    }
    if (!QDir().mkdir(target)) {
        if (error)
            *error = QStringLiteral("Cannot create the folder \"%1\".").arg(target);
        return false;
    }
    const QDir dir(source);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (!CopyTree(entry.filePath(), target + QLatin1Char('/') + entry.fileName(), error))
            return false;
    }
    return true;
}

bool IsInside(const QString &path, const QString &folder)
{
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    return !canonicalPath.isEmpty()
        && (canonicalFolder == canonicalPath || canonicalFolder.startsWith(canonicalPath + QLatin1Char('/')));
}

bool SameFolder(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// Removes a file, a link (never its target) or a folder tree.
bool RemoveEntry(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// Box `box` (owner read first) as a mode bit.
constexpr mode_t ModeBit(int box)
{
    return mode_t(0400) >> box;
}

} // namespace

QMimeData *FileClipboardData(const QStringList &paths, bool cut)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const QString &path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls.append(url);
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(GnomeCopiedFiles, gnome);
    return data;
}

TClipboardFiles ClipboardFiles(const QMimeData *data)
{
    TClipboardFiles files;
    if (!data)
        return files;
    QList<QUrl> urls = data->urls();
    if (data->hasFormat(GnomeCopiedFiles)) {
        const QList<QByteArray> lines = data->data(GnomeCopiedFiles).split('\n');
        files.Cut = !lines.isEmpty() && lines.first().trimmed() == "cut";
        if (urls.isEmpty()) {
            for (qsizetype i = 1; i < lines.size(); ++i)
                urls.append(QUrl::fromEncoded(lines[i].trimmed()));
        }
    }
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.Paths.append(url.toLocalFile());
    }
    return files;
}

QString FreeName(const QString &folder, const QString &name, bool isFolder)
{
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(name)) && !QFileInfo(dir.filePath(name)).isSymLink())
        return name;
    QString stem = name;
    QString extension;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (!isFolder && dot > 0) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        const QString path = dir.filePath(candidate);
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return candidate;
    }
}

bool CopyEntry(const QString &source, const QString &destFolder, const QString &name, QString *error)
{
    if (QFileInfo(source).isDir() && IsInside(source, destFolder)) {
        if (error)
            *error = QStringLiteral("Cannot copy \"%1\" into itself.").arg(source);
        return false;
    }
    return CopyTree(source, QDir(destFolder).filePath(name), error);
}

bool MoveEntry(const QString &source, const QString &destFolder, const QString &name, QString *error)
{
    const QString target = QDir(destFolder).filePath(name);
    if (QFileInfo(source).isDir() && IsInside(source, destFolder)) {
        if (error)
            *error = QStringLiteral("Cannot move \"%1\" into itself.").arg(source);
        return false;
    }
    if (QFileInfo::exists(target)) {
        if (error)
            *error = QStringLiteral("\"%1\" already exists.").arg(target);
        return false;
    }
    if (QFile::rename(source, target))
        return true;
    if (!CopyTree(source, target, error))
        return false;
    const QFileInfo info(source);
    const bool removed = info.isDir() && !info.isSymLink() ? QDir(source).removeRecursively() : QFile::remove(source);
    if (!removed && error)
        *error = QStringLiteral("\"%1\" was copied but could not be removed.").arg(source);
    return removed;
}

TPastePlan PlanPaste(const QString &source, const QString &folder, bool cut)
{
    TPastePlan plan;
    const QFileInfo info(source);
    plan.Name = info.fileName();
    if (!info.exists() && !info.isSymLink()) {
        plan.Kind = TPasteKind::Refuse;
        plan.Message = QStringLiteral("\"%1\" no longer exists.").arg(source);
        return plan;
    }
    // A link is pasted as a link, so only a real folder can contain the target.
    if (info.isDir() && !info.isSymLink() && IsInside(source, folder)) {
        plan.Kind = TPasteKind::Refuse;
        plan.Message = QStringLiteral("The folder \"%1\" cannot be pasted into itself.").arg(source);
        return plan;
    }
    if (SameFolder(info.absolutePath(), folder)) {
        plan.Kind = cut ? TPasteKind::Nothing : TPasteKind::Copy;
        if (!cut)
            plan.Name = FreeName(folder, plan.Name, info.isDir() && !info.isSymLink());
        return plan;
    }
    const QFileInfo target(QDir(folder).filePath(plan.Name));
    if (target.exists() || target.isSymLink())
        plan.Kind = TPasteKind::Ask;
    else
        plan.Kind = cut ? TPasteKind::Move : TPasteKind::Copy;
    return plan;
}

QString ReplaceQuestion(const QString &name)
{
    return QStringLiteral("This folder already holds \"%1\".\n\nReplace it with the one you are pasting?")
        .arg(name);
}

bool PasteEntry(const QString &source, const QString &folder, const QString &name, bool move, bool replace,
                QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!replace)
        return move ? MoveEntry(source, folder, name, error) : CopyEntry(source, folder, name, error);
    const QString target = QDir(folder).filePath(name);
    if (IsInside(target, source) && QFileInfo(target).isDir() && !QFileInfo(target).isSymLink())
        return fail(QStringLiteral("\"%1\" cannot replace the folder it lies in.").arg(source));
    // The new entry is made whole under a name of its own before the old one goes.
    const QString part = FreeName(folder, QLatin1Char('.') + name + QStringLiteral(".part"), true);
    if (!(move ? MoveEntry(source, folder, part, error) : CopyEntry(source, folder, part, error))) {
        if (!move)
            RemoveEntry(QDir(folder).filePath(part));
        return false;
    }
    const QString partPath = QDir(folder).filePath(part);
    if (!RemoveEntry(target))
        return fail(QStringLiteral("\"%1\" could not be replaced; the pasted entry is \"%2\".")
                        .arg(target, partPath));
    if (!QFile::rename(partPath, target))
        return fail(QStringLiteral("The pasted entry is \"%1\"; it could not be renamed to \"%2\".")
                        .arg(partPath, name));
    return true;
}

std::int64_t TreeSize(const QString &path, const std::function<bool(std::int64_t)> &going)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return 0;
    if (!info.isDir())
        return info.size();
    constexpr int reportEvery = 2048;
    std::int64_t size = 0;
    int sinceReport = 0;
    QDirIterator entries(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo entry = entries.fileInfo();
        if (!entry.isSymLink())
            size += entry.size();
        if (going && ++sinceReport == reportEvery) {
            sinceReport = 0;
            if (!going(size))
                break;
        }
    }
    return size;
}

std::uint32_t LocalPermissions(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    std::uint32_t permissions = 0;
    for (int box = 0; box < 9; ++box) {
        if (status.st_mode & ModeBit(box))
            permissions |= PermissionBit(box);
    }
    return permissions;
}

bool SetLocalPermissions(const QString &path, std::uint32_t permissions, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0 || S_ISLNK(status.st_mode)) {
        if (error)
            *error =
                QStringLiteral("The permissions of \"%1\" were not changed: it is a link or gone.").arg(path);
        return false;
    }
    mode_t mode = status.st_mode & 07000;
    for (int box = 0; box < 9; ++box) {
        if (permissions & PermissionBit(box))
            mode |= ModeBit(box);
    }
    if (::chmod(name.constData(), mode) != 0) {
        if (error)
            *error = QStringLiteral("The permissions of \"%1\" could not be changed.").arg(path);
        return false;
    }
    return true;
}
