#include "app/Main.h"

#include "app/FetchedFiles.h"
#include "app/InternalViewer.h"
#include "app/MaskForm.h"
#include "app/MessageWindow.h"
#include "app/TopPanel.h"
#include "engine/FTPComp.h"
#include "platform/ProgramFolder.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/RemotePaths.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>
#include <QUrl>

// ---------------------------------------------------------------- commands

void TfrmMain::CreateViewerCommands()
{
    using C = TCommand;
    FFetchedFiles = new TFetchedFiles(
        FLauncher, [this] { return ViewerProgram(); }, [this] { return FHtmlEditor; }, this);
    // The Edit with... entries: a submenu in the side's menu, and the edit pop-up on its
    // button, whose entries say what they do since the button shows no text.
    for (const TViewSide side : {vsLocal, vsHost}) {
        const bool local = side == vsLocal;
        const TCommand notePad = local ? C::LocalEditNotePad : C::HostEditNotePad;
        const TCommand editor = local ? C::LocalEditEditor : C::HostEditEditor;
        auto *menu = new QMenu(this);
        FActions->Fill(menu, {notePad, editor});
        connect(menu, &QMenu::aboutToShow, this, [this, side] { UpdateEditEntries(side); });
        QAction *edit = FActions->Action(local ? C::LocalEdit : C::HostEdit);
        edit->setMenu(menu);
        auto *popup = new QMenu(this);
        popup->setObjectName(local ? QStringLiteral("popLocalEdit") : QStringLiteral("popHostEdit"));
        QAction *popNotePad =
            popup->addAction(tr("Edit with &NotePad"), FActions->Action(notePad), &QAction::trigger);
        QAction *popEditor =
            popup->addAction(tr("Edit with &Scrivel"), FActions->Action(editor), &QAction::trigger);
        connect(popup, &QMenu::aboutToShow, this, [this, side, notePad, editor, popNotePad, popEditor] {
            UpdateEditEntries(side);
            popNotePad->setEnabled(FActions->Action(notePad)->isEnabled());
            popEditor->setEnabled(FActions->Action(editor)->isEnabled());
        });
        for (QToolButton *button : findChildren<QToolButton *>()) {
            if (button->defaultAction() == edit) {
                button->setMenu(popup);
                button->setPopupMode(QToolButton::InstantPopup);
            }
        }
    }

    // What's This? answers for the main parts of the window.
    MessageWindow()->setWhatsThis(tr("The active server view's dialogue with its server: commands in green, "
                                     "replies in blue, errors in red, Ferrow's own notes in black."));
    Viewer()->setWhatsThis(tr("The internal viewer: web pages and pictures selected on either side. "
                              "F10 shows and hides it."));
    LocalTabs()->setWhatsThis(tr("Folders on this computer. Drag files to the server side to upload them."));
    HostTabs()->setWhatsThis(tr("Folders on the server. Drag files to the local side to download them; "
                                "the pop-up menu opens and views files."));

    TInternalViewer *viewer = Viewer();
    connect(viewer, &TInternalViewer::DownloadBegin, this, [this] {
        if (lblStatus1->text().isEmpty())
            pnlTop->SetActivity(true);
    });
    connect(viewer, &TInternalViewer::DownloadComplete, this, [this] {
        if (lblStatus1->text().isEmpty())
            pnlTop->SetActivity(false);
    });
}

void TfrmMain::ConnectViewerAndLaunches(TCustomView *view)
{
    connect(view, &TCustomView::FileOpened, this, &TfrmMain::FileOpened);
    if (auto *host = qobject_cast<THostView *>(view)) {
        connect(host, &THostView::FilesFetched, FFetchedFiles, &TFetchedFiles::Handle);
        connect(host->ListView(), &TFileList::ContextMenuRequested, this, &TfrmMain::ShowHostPopup);
    } else {
        connect(view->ListView(), &TFileList::ContextMenuRequested, this, &TfrmMain::ShowLocalPopup);
    }
}

QString TfrmMain::ViewerProgram() const
{
    return FOptions ? FOptions->Viewer() : TOptions::DefaultViewer();
}

void TfrmMain::UpdateEditEntries(TViewSide side)
{
    using C = TCommand;
    TEditEntries entries;
    if (side == vsLocal) {
        const TLocalView *view = ActiveLocalView();
        const QModelIndex item = view ? view->FocusedItem() : QModelIndex();
        const bool selected = view && view->SelectedCount() > 0;
        const QModelIndex entry = selected && !item.isValid() ? view->SelectedItems().first() : item;
        entries = LocalEditEntries(selected, selected && view->IsFolder(entry),
                                   selected ? view->GetItemName(entry) : QString(), FHtmlEditor);
        FActions->SetEnabled(C::LocalEditNotePad, entries.NotePad);
        FActions->SetEnabled(C::LocalEditEditor, entries.Editor);
    } else {
        const THostView *view = ActiveHostView();
        const QModelIndex item = view ? view->FocusedItem() : QModelIndex();
        const bool selected = view && item.isValid() && view->SelectedCount() > 0;
        entries = RemoteEditEntries(selected, selected && view->IsFolder(item),
                                    selected ? view->GetItemName(item) : QString(), FHtmlEditor);
        FActions->SetEnabled(C::HostEditNotePad, entries.NotePad);
        FActions->SetEnabled(C::HostEditEditor, entries.Editor);
    }
}

void TfrmMain::LocalMaskClick()
{
    if (TLocalView *view = ActiveLocalView())
        TfrmMask::EditMask(*view, false, this);
}

void TfrmMain::HostMaskClick()
{
    if (THostView *view = ActiveHostView(); view && FRemoteCommands.FolderCommands)
        TfrmMask::EditMask(*view, true, this);
}

void TfrmMain::LocalEditClick(bool editor)
{
    const TLocalView *view = ActiveLocalView();
    if (!view)
        return;
    QStringList paths;
    for (const QModelIndex &item : view->SelectedItems())
        paths.append(view->GetItemPath(item));
    FLauncher.StartAll(editor ? LocalEditorLaunches(FHtmlEditor, paths)
                              : LocalNotePadLaunches(ViewerProgram(), paths));
}

void TfrmMain::HostFetchClick(int mode)
{
    if (THostView *view = ActiveHostView())
        view->FetchSelected(ActiveLocalView(), mode);
}

void TfrmMain::FileOpened(TCustomView *sender, const QModelIndex &item)
{
    if (!FOptions)
        return;
    if (auto *local = qobject_cast<TLocalView *>(sender)) {
        const QString path = local->GetItemPath(item);
        switch (FOptions->Choice(oiLocalDblClk)) {
        case 0:
            local->ShowProperties();
            break;
        case 1:
            FLauncher.Start(ViewerLaunch(ViewerProgram(), path, local->GetFolder()));
            break;
        case 2:
            if (ActiveHostView() && ActiveHostView()->Connected())
                ActiveHostView()->UploadSelected(local);
            break;
        default:
            FLauncher.Open(path);
            break;
        }
        return;
    }
    // A remote double-click does what the pop-up's default entry does.
    if (sender == ActiveHostView())
        HostFileOpened();
}

// ---------------------------------------------------------------- the internal viewer

TInternalViewer *TfrmMain::Viewer() const
{
    return pnlTop->Viewer();
}

bool TfrmMain::ViewerShown() const
{
    return pnlTop->ViewerShown();
}

bool TfrmMain::ActivityShown() const
{
    return pnlTop->ActivityPlaying();
}

void TfrmMain::SetTopPanelHeight(int height)
{
    FTopDragStart = pnlTop->height();
    DragTopPanel(QPoint(0, height - FTopDragStart));
}

QUrl TfrmMain::RemoteEntryUrl(const QModelIndex &item) const
{
    const THostView *view = ActiveHostView();
    const TFTPComponent &engine = view->FTP();
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(QString::fromStdString(engine.Host()));
    if (engine.Port() != 21)
        url.setPort(engine.Port());
    if (engine.UserName() != "anonymous") {
        url.setUserName(QString::fromStdString(engine.UserName()));
        url.setPassword(QString::fromStdString(engine.Password()));
    }
    url.setPath(DecodeServerText(view->GetItemPathBytes(item)), QUrl::DecodedMode);
    return url;
}

void TfrmMain::SetViewerShown(bool shown)
{
    FActions->SetChecked(TCommand::ShowViewer, shown);
    if (shown == ViewerShown())
        return;
    pnlTop->SetViewerShown(shown);
    if (!shown)
        return;
    TInternalViewer *viewer = Viewer();
    if (FOptions)
        viewer->SetAnonymousPassword(FOptions->EMail());
    viewer->SetTransferSettings(FQueue.Settings());
    const QString startPage = ShippedFilePath(QStringLiteral("welcome.html"));
    if (startPage.isEmpty())
        return;
    QString remoteUrl;
    QString localPath;
    TCustomView *focused = FocusedView();
    if (THostView *host = ActiveHostView();
        focused == host && host->SelectedCount() > 0 && host->FocusedItem().isValid())
        remoteUrl = RemoteEntryUrl(host->FocusedItem()).toString();
    else if (TLocalView *local = ActiveLocalView(); focused == local && local->SelectedCount() > 0) {
        const QString path = local->GetItemPath(local->SelectedItems().first());
        if (QFileInfo(path).isFile())
            localPath = path;
    }
    viewer->Navigate(QUrl(ViewerStartUrl(remoteUrl, localPath, startPage)));
    if (focused)
        ViewerFollowSelection(focused);
}

void TfrmMain::ShowInViewer(const QUrl &url)
{
    SetViewerShown(true);
    Viewer()->Navigate(url);
}

void TfrmMain::ViewerFollowSelection(TCustomView *sender)
{
    if (!ViewerShown() || Viewer()->Busy() || !sender)
        return;
    QString url;
    if (auto *host = qobject_cast<THostView *>(sender); host && host == ActiveHostView()) {
        const QModelIndex item = host->FocusedItem();
        if (item.isValid() && host->SelectedCount() > 0 && !host->IsFolder(item))
            url = ViewerSelectionUrl(RemoteEntryUrl(item).toString(), host->GetItemName(item), QString());
    } else if (auto *local = qobject_cast<TLocalView *>(sender); local && local == ActiveLocalView()) {
        if (local->SelectedCount() > 0)
            url =
                ViewerSelectionUrl(QString(), QString(), local->GetItemPath(local->SelectedItems().first()));
    }
    if (url.isEmpty() || QUrl(url) == Viewer()->Location())
        return;
    Viewer()->Navigate(QUrl(url));
    sender->ListView()->CurrentView()->setFocus();
}

// ---------------------------------------------------------------- help

void TfrmMain::HelpContentsClick()
{
    const QString contents = ShippedFilePath(QStringLiteral("help/index.html"));
    if (contents.isEmpty()) {
        QMessageBox::critical(this, tr("Ferrow"), tr("The help pages are not installed."));
        return;
    }
    FLauncher.Open(contents);
}
