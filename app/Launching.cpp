#include "app/Launching.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

// Each extension followed by one blank; a lookup searches for ".ext ".
const QString WebFiles = QStringLiteral(".html .htm .shtml .asp .cfm .css .gif .jpg .asi ");
const QString EditorFiles = QStringLiteral(".html .htm .shtml .asp .cfm .txt .css .asi ");

QString Extension(const QString &name)
{
    const QString file = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : file.mid(dot).toLower();
}

bool Listed(const QString &list, const QString &extension)
{
    return list.contains(extension + QLatin1Char(' '));
}

QString LocalFileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path).toString();
}

} // namespace

QString ProgramFolderOf(const QString &program)
{
    const QString found = QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    return found.isEmpty() ? QString() : QFileInfo(found).absolutePath();
}

TLaunch ViewerLaunch(const QString &viewer, const QString &path, const QString &workingFolder)
{
    return {viewer, {path}, workingFolder};
}

TLaunch EditorLaunch(const QString &editor, const QStringList &paths, const QString &workingFolder)
{
    if (paths.isEmpty())
        return {};
    return {editor, paths, workingFolder};
}

std::vector<TLaunch> LocalNotePadLaunches(const QString &viewer, const QStringList &paths)
{
    std::vector<TLaunch> launches;
    const QString folder = ProgramFolderOf(viewer);
    for (const QString &path : paths)
        launches.push_back(ViewerLaunch(viewer, path, folder));
    return launches;
}

std::vector<TLaunch> LocalEditorLaunches(const QString &editor, const QStringList &paths)
{
    if (paths.isEmpty() || editor.isEmpty())
        return {};
    return {EditorLaunch(editor, paths, ProgramFolderOf(editor))};
}

TFetchedPlan FetchedFilesPlan(int mode, const QStringList &paths, const QString &viewer,
                              const QString &editor, const QString &tempFolder)
{
    TFetchedPlan plan;
    plan.Temporary = mode != fmDownloadNow;
    if (paths.isEmpty())
        return plan;
    switch (mode) {
    case fmOpen:
        plan.OpenPath = paths.front();
        break;
    case fmView:
        for (const QString &path : paths)
            plan.Launches.push_back(ViewerLaunch(viewer, path, tempFolder));
        break;
    case fmEdit:
        if (!editor.isEmpty())
            plan.Launches.push_back(EditorLaunch(editor, paths, tempFolder));
        break;
    default:
        break;
    }
    return plan;
}

bool IsWebFile(const QString &name)
{
    const QString extension = Extension(name);
    return !extension.isEmpty() && Listed(WebFiles, extension);
}

bool IsEditorFile(const QString &name)
{
    return Listed(EditorFiles, Extension(name));
}

TEditEntries LocalEditEntries(bool selected, bool isFolder, const QString &name, const QString &htmlEditor)
{
    if (!selected)
        return {};
    return {!isFolder, !htmlEditor.isEmpty() && !isFolder && IsEditorFile(name)};
}

TEditEntries RemoteEditEntries(bool selected, bool isFolder, const QString &name, const QString &htmlEditor)
{
    if (!selected)
        return {};
    const QString extension = Extension(name);
    return {!isFolder, !htmlEditor.isEmpty() && !extension.isEmpty() && Listed(EditorFiles, extension)};
}

QString ViewerStartUrl(const QString &remoteUrl, const QString &localPath, const QString &startPage)
{
    const QString url = !remoteUrl.isEmpty()  ? remoteUrl
                        : localPath.isEmpty() ? QString()
                                              : LocalFileUrl(localPath);
    if (url.isEmpty() || !IsWebFile(QUrl(url).path()))
        return LocalFileUrl(startPage);
    return url;
}

QString ViewerSelectionUrl(const QString &remoteUrl, const QString &remoteName, const QString &localPath)
{
    if (!remoteUrl.isEmpty())
        return IsWebFile(remoteName) ? remoteUrl : QString();
    if (!localPath.isEmpty() && IsWebFile(localPath) && QFileInfo(localPath).isFile())
        return LocalFileUrl(localPath);
    return QString();
}
