#pragma once

#include "app/Launcher.h"

#include <QObject>
#include <QStringList>

#include <functional>

class THostView;

// What the main window does with copies a remote view fetched for opening, viewing or
// editing: opens them, hands them to the viewer program or the HTML editor, and has them
// deleted at program end.
class TFetchedFiles : public QObject
{
    Q_OBJECT
public:
    // The programs are asked for at each use, so a changed option counts at once.
    TFetchedFiles(const TLauncher &launcher, std::function<QString()> viewer, std::function<QString()> editor,
                  QObject *parent = nullptr);

    // The remote view's FilesFetched.
    void Handle(THostView *sender, const QStringList &files, int mode);

private:
    const TLauncher &FLauncher;
    std::function<QString()> FViewer;
    std::function<QString()> FEditor;
};
