#include "app/Launcher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

bool TLauncher::Start(const TLaunch &launch) const
{
    // An argument list, never a command line: a name from a server is one argument.
    const bool started = !launch.Program.isEmpty()
                         && QProcess::startDetached(launch.Program, launch.Arguments, launch.WorkingFolder);
    if (!started)
        ShowError();
    return started;
}

int TLauncher::StartAll(const std::vector<TLaunch> &launches) const
{
    int started = 0;
    for (const TLaunch &launch : launches)
        started += Start(launch) ? 1 : 0;
    return started;
}

bool TLauncher::Open(const QString &pathOrUrl) const
{
    const QUrl url = QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened)
        ShowError();
    return opened;
}

QString TLauncher::ErrorText()
{
    return QCoreApplication::translate("TLauncher", "An error occurred when the program was started.");
}

void TLauncher::ShowError() const
{
    QMessageBox::critical(FParent, QStringLiteral("Ferrow"), ErrorText());
}
