#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace {

QMutex OverrideLock;
QString OverrideFolder;

QString ExecutableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return executable.isEmpty() ? QString() : QFileInfo(executable).absolutePath();
}

} // namespace

QString UserProgramFolder()
{
    // Without an application name the data location is the shared data folder itself,
    // which must not fill up with our files.
    const QString folder =
        QCoreApplication::applicationName().isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                  + QStringLiteral("/Velunor Media/ScrivelFerrow")
            : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return QDir::cleanPath(folder);
}

QString ResolveProgramFolder(const QString &executableFolder)
{
    const QFileInfo info(QDir::cleanPath(executableFolder));
    // An installed copy sits in a bin folder (/usr/bin, ~/.local/bin), which is writable
    // for root or a user's own prefix but never the place for options, sites and traces.
    const bool installed = info.fileName() == QStringLiteral("bin");
    if (!executableFolder.isEmpty() && info.isDir() && info.isWritable() && !installed)
        return QDir::cleanPath(info.absoluteFilePath());
    return UserProgramFolder();
}

void SetProgramFolderOverride(const QString &folder)
{
    const QMutexLocker lock(&OverrideLock);
    OverrideFolder = folder;
}

QString ProgramFolder()
{
    {
        const QMutexLocker lock(&OverrideLock);
        if (!OverrideFolder.isEmpty())
            return QDir(OverrideFolder).absolutePath();
    }
    const QString fromEnvironment = qEnvironmentVariable("FERROW_PROGRAM_FOLDER");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    return ResolveProgramFolder(ExecutableFolder());
}

QString ProgramFilePath(const QString &name)
{
    const QString folder = ProgramFolder();
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString ShippedFilePath(const QString &name)
{
    const QString local = ProgramFilePath(name);
    if (QFileInfo::exists(local))
        return local;
    const QString installed =
        QDir::cleanPath(ExecutableFolder() + QStringLiteral("/../share/ferrow/") + name);
    return QFileInfo::exists(installed) ? installed : QString();
}
