#include "app/Main.h"

#include "app/AboutBox.h"
#include "app/CompareForm.h"
#include "app/HintSwitch.h"
#include "app/InternalViewer.h"
#include "app/MessageWindow.h"
#include "app/OptionsForm.h"
#include "app/RemotePopup.h"
#include "app/SidePanel.h"
#include "app/ViewTabs.h"
#include "engine/FTPComp.h"
#include "platform/Version.h"
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"
#include "views/FileProperties.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QWhatsThis>

std::vector<TCommandRow> TfrmMain::CommandTable()
{
    using C = TCommand;
    using R = TEnableRule;
    using S = QStyle;
    using Row = TCommandRow;
    const auto run = [this](void (TfrmMain::*command)()) {
        return [this, command](bool) { (this->*command)(); };
    };
    const auto style = [this](void (TfrmMain::*setStyle)(int), int value) {
        return [this, setStyle, value](bool checked) {
            if (checked)
                (this->*setStyle)(value);
        };
    };
    const auto nextStyle = [this](TViewSide side) {
        return [this, side](bool) {
            if (side == vsHost)
                SetHostViewStyle((ActiveHostView()->ViewStyle() + 1) % 4);
            else
                SetLocalViewStyle((ActiveLocalView()->ViewStyle() + 1) % 4);
        };
    };
    // Commands without a handler are not built yet and stay disabled.
    return {
        Row(C::Connect, tr("&Connect"))
            .Keys("Ctrl+Shift+C")
            .Image(S::SP_DriveNetIcon, "network-connect")
            .Does(run(&TfrmMain::ConnectClick)),
        Row(C::ConnectURL, tr("Connect to &URL"))
            .Keys("Ctrl+Shift+U")
            .Image(S::SP_DirLinkIcon, "go-jump")
            .Does(run(&TfrmMain::ConnectURLClick)),
        Row(C::Stop, tr("&Stop"))
            .Keys("Ctrl+Shift+S")
            .Image(S::SP_BrowserStop, "process-stop")
            .Enabled(R::RemoteStop)
            .Does(run(&TfrmMain::StopClick)),
        Row(C::Disconnect, tr("&Disconnect"))
            .Keys("Ctrl+Shift+D")
            .Image(S::SP_DialogCloseButton, "network-disconnect")
            .Enabled(R::RemoteDisconnect)
            .Does(run(&TfrmMain::DisconnectClick)),
        Row(C::DisconnectTransfer, tr("Disconnect Transfer Connection"))
            .Enabled(R::Manual)
            .With(cfStartsDisabled)
            .Does([this](bool) {
                if (FProgressWindow)
                    FProgressWindow->CancelClick();
                FQueue.DisconnectAll();
            }),
        Row(C::DisconnectTransferButton, tr("Disconnect")).Image(S::SP_DialogCancelButton),
        Row(C::Exit, tr("&Exit")).Keys("Alt+F4").Does([this](bool) { close(); }),
        Row(C::Compare, tr("&Compare Folders"))
            .Enabled(R::RemoteFolderCommands)
            .Does(run(&TfrmMain::CompareClick)),
        Row(C::SelectAll, tr("Select &All"))
            .Keys("Ctrl+A")
            .With(cfWidgetShortcut)
            .Does(run(&TfrmMain::SelectAllClick)),
        Row(C::InvertSelection, tr("&Invert Selection"))
            .Keys("Shift+Ctrl+A")
            .With(cfWidgetShortcut)
            .Does(run(&TfrmMain::InvertSelectionClick)),
        Row(C::LocalUp, tr("Up One Level"))
            .Image(S::SP_FileDialogToParent, "go-up")
            .Enabled(R::Manual)
            .Does(run(&TfrmMain::LocalUpClick)),
        Row(C::LocalChangeFolder, tr("Change Folder"))
            .Image(S::SP_DirOpenIcon, "folder-open")
            .Does(run(&TfrmMain::LocalChangeFolderClick)),
        Row(C::LocalViewStyle, tr("Change Views"))
            .Button({}, tr("Type of Views"))
            .Image(S::SP_FileDialogListView)
            .Does(nextStyle(vsLocal)),
        Row(C::LocalNewView, tr("New View"))
            .Image(S::SP_FileDialogNewFolder, "tab-new")
            .Does(run(&TfrmMain::LocalNewViewClick)),
        Row(C::LocalCloseView, tr("Close View"))
            .Image(S::SP_DialogCloseButton, "tab-close")
            .Enabled(R::Manual)
            .Does(run(&TfrmMain::LocalCloseViewClick)),
        Row(C::LocalEdit, tr("E&dit with..."))
            .Button(tr("Edit with..."))
            .Image(S::SP_FileDialogDetailedView, "document-edit")
            .Does([](bool) {}), // its menu does the work
        // The local keys are the lists' own (one path per key): the menu only shows them.
        Row(C::LocalRefresh, tr("&Refresh"))
            .Button(tr("Refresh"))
            .Keys("F5")
            .With(cfWidgetShortcut)
            .Image(S::SP_BrowserReload, "view-refresh")
            .Does(run(&TfrmMain::LocalRefreshClick)),
        Row(C::LocalNewFolder, tr("&Create New Folder"))
            .Button(tr("New Folder"))
            .Image(S::SP_FileDialogNewFolder, "folder-new")
            .Does(run(&TfrmMain::LocalNewFolderClick)),
        Row(C::LocalRename, tr("Rena&me"))
            .Button(tr("Rename"))
            .Keys("F2")
            .With(cfWidgetShortcut)
            .Image(S::SP_FileIcon, "edit-rename")
            .Enabled(R::LocalRename)
            .Does(run(&TfrmMain::LocalRenameClick)),
        Row(C::LocalDelete, tr("&Erase"))
            .Button(tr("Delete"))
            .Keys("Del")
            .With(cfWidgetShortcut)
            .Image(S::SP_TrashIcon, "edit-delete")
            .Enabled(R::LocalDelete)
            .Does(run(&TfrmMain::LocalDeleteClick)),
        Row(C::LocalMask, tr("Mas&k files"))
            .Button(tr("File Mask"))
            .Image(S::SP_FileDialogContentsView, "view-filter")
            .Does(run(&TfrmMain::LocalMaskClick)),
        Row(C::LocalCut, tr("&Cut"))
            .Keys("Ctrl+X")
            .With(cfWidgetShortcut)
            .Enabled(R::LocalDelete)
            .Does(run(&TfrmMain::LocalCutClick)),
        Row(C::LocalCopy, tr("Co&py"))
            .Keys("Ctrl+C")
            .With(cfWidgetShortcut)
            .Enabled(R::LocalDelete)
            .Does(run(&TfrmMain::LocalCopyClick)),
        Row(C::LocalPaste, tr("&Paste"))
            .Keys("Ctrl+V")
            .With(cfWidgetShortcut)
            .Enabled(R::Manual)
            .Does(run(&TfrmMain::LocalPasteClick)),
        Row(C::LocalProperties, tr("P&roperties"))
            .Keys("Alt+Enter")
            .With(cfWidgetShortcut)
            .Enabled(R::LocalProperties)
            .Does(run(&TfrmMain::LocalPropertiesClick)),
        Row(C::HostUp, tr("Up One Level"))
            .Image(S::SP_FileDialogToParent, "go-up")
            .Enabled(R::RemoteUpOneLevel)
            .Does(run(&TfrmMain::HostUpClick)),
        Row(C::HostChangeFolder, tr("Change Folder"))
            .Image(S::SP_DirOpenIcon, "folder-open")
            .Enabled(R::RemoteFolderCommands)
            .Does(run(&TfrmMain::HostChangeFolderClick)),
        Row(C::HostViewStyle, tr("Change Views"))
            .Button({}, tr("Type of Views"))
            .Image(S::SP_FileDialogListView)
            .Enabled(R::RemoteFolderCommands)
            .Does(nextStyle(vsHost)),
        Row(C::HostNewView, tr("New View"))
            .Image(S::SP_FileDialogNewFolder, "tab-new")
            .Does(run(&TfrmMain::HostNewViewClick)),
        Row(C::HostCloseView, tr("Close View"))
            .Image(S::SP_DialogCloseButton, "tab-close")
            .Enabled(R::Manual)
            .Does(run(&TfrmMain::HostCloseViewClick)),
        Row(C::HostEdit, tr("E&dit with..."))
            .Button(tr("Edit with..."))
            .Image(S::SP_FileDialogDetailedView, "document-edit")
            .Enabled(R::RemoteFolderCommands)
            .Does([](bool) {}), // its menu does the work
        // F5, F2, Del and Alt+Enter belong to the list that has the focus, which acts on
        // them itself; window-wide they would be claimed by both sides and do nothing.
        Row(C::HostRefresh, tr("&Refresh"))
            .Button(tr("Refresh"))
            .Keys("F5")
            .With(cfWidgetShortcut)
            .Image(S::SP_BrowserReload, "view-refresh")
            .Enabled(R::RemoteFolderCommands)
            .Does(run(&TfrmMain::HostRefreshClick)),
        Row(C::HostNewFolder, tr("&Create New Folder"))
            .Button(tr("New Folder"))
            .Image(S::SP_FileDialogNewFolder, "folder-new")
            .Enabled(R::RemoteFolderCommands)
            .Does(run(&TfrmMain::HostNewFolderClick)),
        Row(C::HostRename, tr("Rena&me"))
            .Button(tr("Rename"))
            .Keys("F2")
            .With(cfWidgetShortcut)
            .Image(S::SP_FileIcon, "edit-rename")
            .Enabled(R::RemoteRename)
            .Does([this](bool) {
                if (ActiveHostView() && FRemoteCommands.Rename)
                    ActiveHostView()->BeginRename();
            }),
        Row(C::HostDelete, tr("&Erase"))
            .Button(tr("Delete"))
            .Keys("Del")
            .With(cfWidgetShortcut)
            .Image(S::SP_TrashIcon, "edit-delete")
            .Enabled(R::RemoteDelete)
            .Does([this](bool) {
                if (ActiveHostView() && FRemoteCommands.Delete)
                    ActiveHostView()->DeleteSelected(true);
            }),
        Row(C::HostMask, tr("Mas&k files"))
            .Button(tr("File Mask"))
            .Image(S::SP_FileDialogContentsView, "view-filter")
            .Enabled(R::RemoteFolderCommands)
            .Does(run(&TfrmMain::HostMaskClick)),
        // "P&roperties" would share its letter with "&Refresh".
        Row(C::HostProperties, tr("P&roperties"))
            .Keys("Alt+Enter")
            .With(cfWidgetShortcut)
            .Enabled(R::RemoteProperties)
            .Does([this](bool) {
                if (ActiveHostView() && FRemoteCommands.Properties)
                    ActiveHostView()->ShowProperties();
            }),
        Row(C::Upload, tr("Upload"))
            .Image(S::SP_ArrowRight, "go-next")
            .Enabled(R::LocalUpload)
            .Does([this](bool) {
                if (ActiveLocalView() && FLocalCommands.Upload)
                    ActiveLocalView()->TransferTo(ActiveHostView());
            }),
        Row(C::Download, tr("Download"))
            .Image(S::SP_ArrowLeft, "go-previous")
            .Enabled(R::RemoteDownload)
            .Does([this](bool) {
                if (ActiveHostView() && FRemoteCommands.Download)
                    ActiveHostView()->TransferTo(ActiveLocalView());
            }),
        Row(C::Preferences, tr("General &Preferences")).Does(run(&TfrmMain::ShowPreferences)),
        Row(C::ShowTransferManager, tr("View &Transfer Manager"))
            .Button(tr("Show Transfer Manager"))
            .Keys("Ctrl+G")
            .Image(S::SP_FileDialogDetailedView)
            .With(cfCheckable)
            .Does([this](bool shown) { ShowTransferManager(shown); }),
        Row(C::MaximizeHost, tr("&Maximize Server Window"))
            .Button(tr("Maximize Host View"))
            .Keys("Ctrl+M")
            .Image(S::SP_TitleBarMaxButton)
            .With(cfCheckable)
            .Does([this](bool on) { SetHostViewMaximized(on); }),
        Row(C::ShowLog, tr("View M&essages Window"))
            .Button(tr("Show Log"))
            .Keys("F9")
            .Image(S::SP_FileDialogContentsView)
            .With(cfCheckable | cfChecked)
            .Does([this](bool shown) { SetLogShown(shown); }),
        Row(C::ShowViewer, tr("View Internal &Viewer"))
            .Button(tr("Show Viewer"))
            .Keys("F10")
            .Image(S::SP_FileDialogInfoView)
            .With(cfCheckable)
            .Does([this](bool shown) { SetViewerShown(shown); }),
        // "View &Transfers" would share its letter with "View &Transfer Manager".
        Row(C::ShowTransferInfo, tr("View &Transfers"))
            .Keys("F12")
            .With(cfCheckable | cfChecked)
            .Does([this](bool shown) { ShowTransferInfoChanged(shown); }),
        Row(C::About, tr("&About...")).Does(run(&TfrmMain::ShowAbout)),
        Row(C::HelpContents, tr("&Help Contents")).Keys("F1").Does(run(&TfrmMain::HelpContentsClick)),
        Row(C::WhatsThis, tr("&What's This?")).Does([](bool) { QWhatsThis::enterWhatsThisMode(); }),
        Row(C::LocalEditNotePad, tr("&NotePad")).Enabled(R::Manual).Does([this](bool) { LocalEditClick(false); }),
        Row(C::LocalEditEditor, tr("&Scrivel")).Enabled(R::Manual).Does([this](bool) { LocalEditClick(true); }),
        Row(C::HostEditNotePad, tr("&NotePad")).Enabled(R::Manual).Does([this](bool) { HostFetchClick(fmView); }),
        Row(C::HostEditEditor, tr("&Scrivel")).Enabled(R::Manual).Does([this](bool) { HostFetchClick(fmEdit); }),
        Row(C::HostOpen, tr("&Open")).Enabled(R::Manual).Does([this](bool) { HostFetchClick(fmOpen); }),
        Row(C::HostViewFile, tr("&View")).Enabled(R::Manual).Does([this](bool) { HostFetchClick(fmView); }),
        Row(C::LocalLargeIcons, tr("Large Icons"))
            .With(cfCheckable)
            .Does(style(&TfrmMain::SetLocalViewStyle, 0)),
        Row(C::LocalSmallIcons, tr("Small Icons"))
            .With(cfCheckable)
            .Does(style(&TfrmMain::SetLocalViewStyle, 1)),
        Row(C::LocalList, tr("List")).With(cfCheckable).Does(style(&TfrmMain::SetLocalViewStyle, 2)),
        Row(C::LocalDetails, tr("Details")).With(cfCheckable).Does(style(&TfrmMain::SetLocalViewStyle, 3)),
        Row(C::HostLargeIcons, tr("Large Icons"))
            .With(cfCheckable)
            .Does(style(&TfrmMain::SetHostViewStyle, 0)),
        Row(C::HostSmallIcons, tr("Small Icons"))
            .With(cfCheckable)
            .Does(style(&TfrmMain::SetHostViewStyle, 1)),
        Row(C::HostList, tr("List")).With(cfCheckable).Does(style(&TfrmMain::SetHostViewStyle, 2)),
        Row(C::HostDetails, tr("Details")).With(cfCheckable).Does(style(&TfrmMain::SetHostViewStyle, 3)),
    };
}

void TfrmMain::CreateMenus()
{
    using C = TCommand;
    QMenu *file = menuBar()->addMenu(tr("&File"));
    FActions->Fill(file, {C::Connect, C::ConnectURL, C::Stop, C::Disconnect, C::DisconnectTransfer});
    mnuLastConnections = file->addMenu(tr("&Last Connections"));
    for (int i = 0; i < TLastConnections::Count; ++i) {
        mnuLastSites[i] = mnuLastConnections->addAction(QString());
        mnuLastSites[i]->setData(i);
        mnuLastSites[i]->setVisible(false);
        connect(mnuLastSites[i], &QAction::triggered, this, [this, i] { LastConnectionClick(i); });
    }
    connect(mnuLastConnections, &QMenu::aboutToShow, this, [this] {
        for (int i = 0; i < TLastConnections::Count; ++i) {
            mnuLastSites[i]->setText(LastConnectionCaption(i, FLastSites.Site(i)));
            mnuLastSites[i]->setVisible(!FLastSites.Site(i).isEmpty());
        }
    });
    FActions->Fill(file, {kSeparator, C::Exit});
    FActions->Fill(menuBar()->addMenu(tr("&Edit")), {C::Compare, C::SelectAll, C::InvertSelection});
    FActions->Fill(menuBar()->addMenu(tr("&Local")),
                   {C::LocalEdit, C::LocalRefresh, C::LocalNewFolder, C::LocalRename, C::LocalDelete,
                    C::LocalMask, C::LocalCut, C::LocalCopy, C::LocalPaste, C::LocalProperties});
    FActions->Fill(menuBar()->addMenu(tr("&Server")),
                   {C::HostEdit, C::HostRefresh, C::HostNewFolder, C::HostRename, C::HostDelete, C::HostMask,
                    C::HostProperties});
    FActions->Fill(menuBar()->addMenu(tr("&Options")),
                   {C::Preferences, C::ShowTransferManager, C::MaximizeHost, C::ShowLog, C::ShowViewer,
                    C::ShowTransferInfo});
    FActions->Fill(menuBar()->addMenu(tr("&Help")), {C::HelpContents, C::WhatsThis, kSeparator, C::About});
    // What's This? answers for the buttons that carry no caption.
    const std::pair<TCommand, QString> answers[] = {
        {C::Connect, tr("Opens the site manager: choose a stored site and connect to it.")},
        {C::ConnectURL, tr("Connects to an ftp:// address, or shows an http:// page in the viewer.")},
        {C::Stop, tr("Stops what the active server view is doing.")},
        {C::Disconnect, tr("Closes the active server view's connection.")},
        {C::DisconnectTransferButton, tr("Closes the connection of the transfer under way.")},
        {C::ShowTransferManager, tr("Shows the transfer manager: every queued transfer with its state.")},
        {C::MaximizeHost, tr("Gives the whole width to the server side, and back.")},
        {C::ShowLog, tr("Shows or hides the message window with the server's dialogue.")},
        {C::ShowViewer, tr("Shows the internal viewer in place of the message window.")},
        {C::Upload, tr("Sends what is selected on the local side to the server's folder.")},
        {C::Download, tr("Fetches what is selected on the server into the local folder.")},
    };
    for (const auto &[command, answer] : answers)
        FActions->Action(command)->setWhatsThis(answer);
    CreateViewerCommands();
    CreateLocalCommands();
    FActions->MakeExclusive({C::LocalLargeIcons, C::LocalSmallIcons, C::LocalList, C::LocalDetails});
    FActions->MakeExclusive({C::HostLargeIcons, C::HostSmallIcons, C::HostList, C::HostDetails});
}

void TfrmMain::StopClick()
{
    if (THostView *view = ActiveHostView())
        view->Stop();
}

void TfrmMain::DisconnectClick()
{
    if (THostView *view = ActiveHostView())
        view->Disconnect();
}

void TfrmMain::HostNewViewClick()
{
    THostView *old = ActiveHostView();
    const bool wasConnected = old && old->Connected();
    const QString caption = FHostTabs->Caption(old);
    const TFTPComponent &engine = old->FTP();
    const QString host = QString::fromStdString(engine.Host());
    const int port = engine.Port();
    const QString user = QString::fromStdString(engine.UserName());
    const QString password = QString::fromStdString(engine.Password());
    const QString account = QString::fromStdString(engine.Account());
    const QString folder = old->GetFolder();

    if (!wasConnected) {
        NewHostView();
        ConnectClick();
        return;
    }
    THostView *view = NewHostView();
    SetHostCaption(caption);
    view->Connect(host, port, user, password, account, folder, QString());
}

void TfrmMain::HostCloseViewClick()
{
    if (FHostTabs->CloseActive([](int closed, int) { return RemoteTabAfterClose(closed); }))
        cmboHostTree->setEnabled(FConnectedViews.ComboEnabled());
}

void TfrmMain::LocalNewViewClick()
{
    NewLocalView();
}

void TfrmMain::LocalCloseViewClick()
{
    FLocalTabs->CloseActive(LocalTabAfterClose);
}

void TfrmMain::HostRefreshClick()
{
    if (ActiveHostView() && FRemoteCommands.FolderCommands)
        ActiveHostView()->Refresh();
}

void TfrmMain::LocalRefreshClick()
{
    if (ActiveLocalView())
        ActiveLocalView()->Refresh();
}

void TfrmMain::HostUpClick()
{
    if (ActiveHostView() && FRemoteCommands.UpOneLevel)
        ActiveHostView()->FolderUp();
}

void TfrmMain::LocalUpClick()
{
    if (ActiveLocalView())
        ActiveLocalView()->FolderUp();
}

void TfrmMain::HostChangeFolderClick()
{
    THostView *view = ActiveHostView();
    if (!view || !FRemoteCommands.FolderCommands)
        return;
    const QString current = view->GetFolder();
    bool ok = false;
    const QString folder =
        QInputDialog::getText(this, tr("Open Folder"), tr("Enter the path of a folder you want to open"),
                              QLineEdit::Normal, current, &ok);
    if (ok && folder != current)
        view->ChangeFolder(folder);
}

void TfrmMain::HostNewFolderClick()
{
    THostView *view = ActiveHostView();
    if (!view || !FRemoteCommands.FolderCommands)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("Create a new folder"), tr("New Folder to create"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok || name.isEmpty())
        return;
    if (const QString reason = UnsafeRemoteNameReason(name); !reason.isEmpty()) {
        QMessageBox::warning(this, tr("Create a new folder"), reason);
        return;
    }
    view->CreateFolder(view->GetFolder() + name, false);
}

TRemotePopup &TfrmMain::HostPopup()
{
    if (!popHost)
        CreateHostPopup();
    const THostView *view = ActiveHostView();
    const QModelIndex focused = view ? view->FocusedItem() : QModelIndex();
    popHost->Apply(RemotePopupFor(FRemoteCommands, focused.isValid(), view && view->IsFolder(focused),
                                  FOptions->Choice(oiHostDblClk)));
    return *popHost;
}

void TfrmMain::CreateHostPopup()
{
    popHost = new TRemotePopup(this);
    const auto fetch = [this](int mode) {
        return [this, mode] {
            if (ActiveHostView())
                ActiveHostView()->FetchSelected(ActiveLocalView(), mode);
        };
    };
    connect(popHost->mnuOpen, &QAction::triggered, this, fetch(3));
    connect(popHost->mnuView, &QAction::triggered, this, fetch(4));
    connect(popHost->mnuDownloadNow, &QAction::triggered, this, fetch(2));
    connect(popHost->mnuDownload, &QAction::triggered, FActions->Action(TCommand::Download), &QAction::trigger);
    connect(popHost->mnuRename, &QAction::triggered, FActions->Action(TCommand::HostRename), &QAction::trigger);
    connect(popHost->mnuDelete, &QAction::triggered, FActions->Action(TCommand::HostDelete), &QAction::trigger);
    connect(popHost->mnuSendToHost, &QAction::triggered, this, &TfrmMain::SendToHostClick);
    connect(popHost->mnuSendToLocal, &QAction::triggered, this, &TfrmMain::SendToLocalClick);
    connect(popHost->mnuClipboardName, &QAction::triggered, this, [this] { SendToClipboardClick(false); });
    connect(popHost->mnuClipboardURL, &QAction::triggered, this, [this] { SendToClipboardClick(true); });
    connect(popHost->mnuNewFolder, &QAction::triggered, this, &TfrmMain::HostNewFolderClick);
    connect(popHost->mnuProperties, &QAction::triggered, this, [this] {
        if (ActiveHostView())
            ActiveHostView()->ShowProperties();
    });
}

void TfrmMain::ShowHostPopup(const QPoint &globalPos)
{
    HostPopup().popup(globalPos);
}

void TfrmMain::HostFileOpened()
{
    // An entry disabled at this moment does nothing.
    if (QAction *entry = HostPopup().DefaultEntry(); entry->isEnabled())
        entry->trigger();
}

void TfrmMain::LocalChangeFolderClick()
{
    TLocalView *view = ActiveLocalView();
    if (!view)
        return;
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Select Folder to View"), view->GetFolder());
    if (!folder.isEmpty())
        view->ChangeFolder(folder);
}

TCustomView *TfrmMain::FocusedView() const
{
    if (ActiveLocalView() && ActiveLocalView()->ListHasFocus())
        return ActiveLocalView();
    if (ActiveHostView() && ActiveHostView()->ListHasFocus())
        return ActiveHostView();
    return nullptr;
}

void TfrmMain::SelectAllClick()
{
    if (TCustomView *view = FocusedView())
        view->SelectAll();
}

void TfrmMain::InvertSelectionClick()
{
    if (TCustomView *view = FocusedView())
        view->InvertSelection();
}

void TfrmMain::ShowTransferManager(bool shown)
{
    if (FTransferManager)
        FTransferManager->setVisible(shown);
}

void TfrmMain::ShowTransferInfoChanged(bool shown)
{
    if (!FProgressWindow)
        return;
    if (!shown)
        FProgressWindow->hide();
    else if (FQueue.CountOf(tsPending) + FQueue.CountOf(tsInProgress) > 0)
        FProgressWindow->show();
}

void TfrmMain::ShowPreferences()
{
    TfrmOptions form(*FOptions, this);
    connect(&form, &TfrmOptions::HelpRequested, this, &TfrmMain::HelpContentsClick);
    if (form.Edit()) {
        FQueue.SetSettings(FOptions->TransferSettings());
        Viewer()->SetTransferSettings(FQueue.Settings());
        ApplyWindowOptions();
    }
}

void TfrmMain::CompareClick()
{
    if (!ActiveLocalView() || !ActiveHostView() || !FRemoteCommands.FolderCommands)
        return;
    TfrmCompareOptions options(this);
    connect(&options, &TfrmCompareOptions::HelpRequested, this, &TfrmMain::HelpContentsClick);
    if (options.exec() == QDialog::Accepted)
        CompareViewFolders(*ActiveLocalView(), *ActiveHostView(), options.Settings());
}

void TfrmMain::ShowAbout()
{
    MakeAboutBox(this)->exec();
}

void TfrmMain::ApplyWindowOptions()
{
    if (!FHints)
        FHints = new THintSwitch(this);
    FHints->SetHintsShown(FOptions->Bool(oiShowToolTips));
}
