// The remote view's drag and drop with other programs: files a file manager drops here
// are uploaded, entries dragged to a file manager are downloaded where it says. Both go
// through the program's queue like a drop between the views.

#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "engine/Trace.h"
#include "views/DesktopDrop.h"
#include "views/FileList.h"
#include "views/LoclView.h"

#include <QDir>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// A hidden local view on `folder` that stands in for the other program's window: the
// transfer walks views, so the files dragged from or to it are shown in one. Null when
// the folder cannot be shown.
std::unique_ptr<TLocalView> StandInView(QWidget *parent, const QString &folder)
{
    auto view = std::make_unique<TLocalView>(parent);
    view->hide();
    view->ChangeFolderAndWait(folder);
    // A folder that cannot be opened leaves the view at the root instead.
    if (QDir::cleanPath(view->GetFolder()) != QDir::cleanPath(folder))
        return nullptr;
    return view;
}

} // namespace

bool THostView::DropBusy() const
{
    return Animating() || WaitingForFolder() || BuildingList() || Deleting() || TransferringSelection();
}

bool THostView::ExternalDragOver(const QMimeData *data) const
{
    return data && data->hasUrls() && UploadDropFor(data->urls(), Connected(), DropBusy()).Accepted();
}

void THostView::ExternalDragDrop(const QMimeData *data)
{
    if (!data)
        return;
    // The other program waits for the drop to end; the upload may ask questions.
    QTimer::singleShot(0, this, [this, urls = data->urls()] { UploadDropped(urls); });
}

void THostView::UploadDropped(const QList<QUrl> &urls)
{
    const TUploadDrop drop = UploadDropFor(urls, Connected(), DropBusy());
    for (const QString &missing : drop.Missing)
        AddLog(QStringLiteral("Error: no such file: ") + missing, LogColor(clLogError));
    if (!drop.Accepted()) {
        AddLog(QStringLiteral("Error: ") + DropRefusalText(drop.Refusal), LogColor(clLogError));
        return;
    }
    const QPointer<THostView> alive(this);
    for (const TDroppedFolder &folder : drop.Folders) {
        const std::unique_ptr<TLocalView> source = StandInView(this, folder.Folder);
        if (!source) {
            AddLog(QStringLiteral("Error: cannot open ") + folder.Folder, LogColor(clLogError));
            continue;
        }
        std::vector<int> rows;
        QStringList unlisted = folder.Names;
        for (int row = 0; row < source->ItemCount(); ++row) {
            if (unlisted.removeOne(source->GetItemName(source->ListView()->Item(row))))
                rows.push_back(row);
        }
        // Gone since the drop.
        for (const QString &name : std::as_const(unlisted))
            AddLog(QStringLiteral("Error: no such file: ") + name, LogColor(clLogError));
        source->ListView()->SelectRows(rows);
        if (!rows.empty())
            SubmitTransfer(*source, *this, tdUpload);
        // A question may have stayed open while the view was closed.
        if (!alive || !Connected())
            return;
    }
}

QByteArray THostView::DirectSave(const QByteArray &uri)
{
    const TDirectSaveFolder destination = DirectSaveFolder(uri);
    QString refusal = destination.Error;
    if (refusal.isEmpty() && !Connected())
        refusal = DropRefusalText(TDropRefusal::NotConnected);
    else if (refusal.isEmpty() && SelectedCount() == 0)
        refusal = QStringLiteral("Nothing is selected.");
    if (!refusal.isEmpty()) {
        AddLog(QStringLiteral("Error: ") + refusal, LogColor(clLogError));
        return QByteArrayLiteral("E");
    }
    // The file manager waits for the answer; the download may ask questions.
    QTimer::singleShot(0, this, [this, folder = destination.Folder] { DownloadInto(folder); });
    return QByteArrayLiteral("S");
}

void THostView::DownloadInto(const QString &folder)
{
    if (!Connected())
        return;
    const std::unique_ptr<TLocalView> target = StandInView(this, folder);
    if (!target) {
        AddLog(QStringLiteral("Error: cannot open ") + folder, LogColor(clLogError));
        return;
    }
    SubmitTransfer(*this, *target, tdDownload);
}
