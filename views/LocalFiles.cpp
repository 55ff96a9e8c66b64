#include "views/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

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
