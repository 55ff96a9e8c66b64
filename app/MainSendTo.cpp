#include "app/Main.h"

#include "app/SendTo.h"
#include "engine/FTPComp.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/RemotePaths.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

void TfrmMain::SendToHostClick()
{
    THostView *view = ActiveHostView();
    if (!view || !FRemoteCommands.Delete)
        return;
    const QString current = view->GetFolder();
    bool ok = false;
    const QString typed = QInputDialog::getText(this, tr("Move to another folder"), tr("Destination folder"),
                                                QLineEdit::Normal, current, &ok);
    if (!ok)
        return;
    const TMoveDestination destination = MoveDestinationFor(typed, current, view->Seperator());
    if (!destination.Refusal.isEmpty())
        QMessageBox::warning(this, tr("Move to another folder"), destination.Refusal);
    else if (!destination.Folder.isEmpty())
        view->MoveSelectedTo(destination.Folder);
}

void TfrmMain::SendToLocalClick()
{
    THostView *view = ActiveHostView();
    if (!view || !FRemoteCommands.Delete)
        return;
    const QString title = tr("Select Destination Folder");
    const QString start = ActiveLocalView() ? ActiveLocalView()->GetFolder() : QDir::homePath();
    const QString chosen = ChooseDestinationFolder ? ChooseDestinationFolder(title, start)
                                                   : QFileDialog::getExistingDirectory(this, title, start);
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir())
        return;
    // The list that shows the folder takes the new entries.
    TLocalView *shown = ActiveLocalView();
    if (shown && QFileInfo(shown->GetFolder()) == QFileInfo(chosen))
        view->TransferTo(shown);
    else
        view->DownloadInto(chosen);
}

void TfrmMain::SendToClipboardClick(bool urls)
{
    const THostView *view = ActiveHostView();
    if (!view || !FRemoteCommands.Delete)
        return;
    const TFTPComponent &engine = view->FTP();
    QStringList lines;
    for (const QModelIndex &item : view->SelectedItems()) {
        lines << (urls ? DecodeServerText(PublicItemURL(engine.Host(), engine.Port(), engine.UserName(),
                                                        view->GetItemPathBytes(item)))
                       : view->GetItemPath(item));
    }
    QGuiApplication::clipboard()->setText(ClipboardLines(lines));
}
