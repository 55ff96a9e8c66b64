#include "views/DesktopDrop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>

namespace {

// A file URL names this computer when it names no host, or this one.
bool NamesThisComputer(const QUrl &url)
{
    const QString host = url.host();
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
           || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

bool IsUsableName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

QString DropRefusalText(TDropRefusal refusal)
{
    switch (refusal) {
    case TDropRefusal::None:
        return QString();
    case TDropRefusal::NotConnected:
        return QStringLiteral("Files can only be dropped on a connected server.");
    case TDropRefusal::Busy:
        return QStringLiteral("The server view is busy; drop the files again when it is done.");
    case TDropRefusal::NotLocalFiles:
        return QStringLiteral("Only files of this computer can be uploaded.");
    case TDropRefusal::NoFiles:
        return QStringLiteral("The dropped files no longer exist.");
    }
    return QString();
}

TUploadDrop UploadDropFor(const QList<QUrl> &urls, bool connected, bool busy)
{
    TUploadDrop drop;
    if (!connected) {
        drop.Refusal = TDropRefusal::NotConnected;
        return drop;
    }
    if (busy) {
        drop.Refusal = TDropRefusal::Busy;
        return drop;
    }
    QStringList seen;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile() || !NamesThisComputer(url)) {
            drop.Refusal = TDropRefusal::NotLocalFiles;
            drop.Folders.clear();
            return drop;
        }
        // toLocalFile keeps a host as "//host/..."; the path alone is this computer's.
        const QString path = QDir::cleanPath(url.path());
        const QFileInfo info(path);
        if (!info.isAbsolute() || !IsUsableName(info.fileName()) || seen.contains(path))
            continue;
        seen.append(path);
        if (!info.exists()) {
            drop.Missing.append(path);
            continue;
        }
        const QString folder = info.path();
        auto group = std::find_if(drop.Folders.begin(), drop.Folders.end(),
                                  [&](const TDroppedFolder &dropped) { return dropped.Folder == folder; });
        if (group == drop.Folders.end())
            group = drop.Folders.insert(drop.Folders.end(), TDroppedFolder{folder, {}});
        group->Names.append(info.fileName());
    }
    if (drop.Folders.empty())
        drop.Refusal = TDropRefusal::NoFiles;
    return drop;
}

TDirectSaveFolder DirectSaveFolder(const QByteArray &uri)
{
    TDirectSaveFolder result;
    // Some file managers end the value with a NUL or a line break.
    QByteArray text = uri;
    while (!text.isEmpty() && (text.endsWith('\0') || text.endsWith('\n') || text.endsWith('\r')))
        text.chop(1);
    const QUrl url = QUrl::fromEncoded(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile() || !NamesThisComputer(url)) {
        result.Error = QStringLiteral("Not a folder of this computer: %1").arg(QString::fromUtf8(text));
        return result;
    }
    const QString rawPath = url.path();
    QString folder = QDir::cleanPath(rawPath);
    // The URI names the file to be; a URI of a folder itself ends in '/'.
    if (!rawPath.endsWith(QLatin1Char('/')))
        folder = QFileInfo(folder).path();
    const QFileInfo info(folder);
    if (!QDir::isAbsolutePath(folder) || !info.isDir()) {
        result.Error = QStringLiteral("No such folder: %1").arg(folder);
        return result;
    }
    result.Folder = folder;
    return result;
}

QByteArray DirectSaveName(const QStringList &names)
{
    const QString name = names.isEmpty() ? QString() : names.first();
    return IsUsableName(name) ? QFile::encodeName(name) : QByteArrayLiteral("download");
}
