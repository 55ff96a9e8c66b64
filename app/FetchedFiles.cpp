#include "app/FetchedFiles.h"

#include "engine/FTPUtils.h"

TFetchedFiles::TFetchedFiles(const TLauncher &launcher, std::function<QString()> viewer,
                             std::function<QString()> editor, QObject *parent)
    : QObject(parent)
    , FLauncher(launcher)
    , FViewer(std::move(viewer))
    , FEditor(std::move(editor))
{}

void TFetchedFiles::Handle(THostView *, const QStringList &files, int mode)
{
    const TFetchedPlan plan = FetchedFilesPlan(mode, files, FViewer(), FEditor(), TempFolder());
    // Registered before anything starts, so a failed start leaves nothing behind either.
    if (plan.Temporary) {
        for (const QString &file : files)
            RegisterTempFile(file);
    }
    if (!plan.OpenPath.isEmpty())
        FLauncher.Open(plan.OpenPath);
    FLauncher.StartAll(plan.Launches);
}
