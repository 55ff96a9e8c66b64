#include "app/Main.h"

#include "app/BatchRun.h"
#include "app/CommandLineOptions.h"
#include "app/CommandLineRun.h"
#include "app/DragBar.h"
#include "app/InternalViewer.h"
#include "app/MessageWindow.h"
#include "app/SidePanel.h"
#include "app/TopPanel.h"
#include "app/ViewTabs.h"
#include "app/ViewsPanel.h"
#include "engine/FTPUtils.h"
#include "engine/Trace.h"
#include "platform/ProgramFolder.h"
#include "transfers/QuestionWindows.h"
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/TreeCombo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TfrmMain::TfrmMain(const QStringList &arguments, TTransferItems &queue,
                   std::unique_ptr<TWindowStateStore> store, QWidget *parent)
    : QMainWindow(parent)
    , FQueue(queue)
    , FStore(std::move(store))
    , FArguments(arguments)
    , FRun(new TCommandLineRun(*this, queue))
{
    // The window's placement is known before it exists.
    FState = FStore->LoadMainWindow();
    if (FStore->HasStoredBounds()) {
        setGeometry(FState.Left, FState.Top, FState.Width, FState.Height);
    } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        setGeometry(DefaultMainWindowBounds(screen->availableGeometry()));
    } else {
        setGeometry(FState.Left, FState.Top, FState.Width, FState.Height);
    }
    FormCreate(arguments);
    if (!FUsageRequested)
        CreateLongLivedWindows();
}

TfrmMain::~TfrmMain()
{
    if (FQueue.Host() == this)
        FQueue.SetHost(nullptr);
    // The views go first, unheard: they point at the tree combo.
    FHostTabs.reset();
    FLocalTabs.reset();
}

void TfrmMain::FormCreate(const QStringList &arguments)
{
    setWindowIconText(QStringLiteral("Ferrow"));
    FIniFileName = TOptions::DefaultFileName();
    FSitesFileName = ProgramFilePath(QStringLiteral("Sites.ini"));

    const TStartupSwitches switches = ReadStartupSwitches(arguments);
    if (switches.ShowUsage) {
        FUsageRequested = true;
        return;
    }
    if (!switches.IniFileName.isEmpty())
        FIniFileName = switches.IniFileName;
    if (!switches.SitesFileName.isEmpty())
        FSitesFileName = switches.SitesFileName;
    if (switches.DebugMode)
        DebugMode = true;

    FProgramFolder = ProgramFolder() + QLatin1Char('/');
    FHtmlEditor = FStore->HtmlEditor();

    FOptions = std::make_unique<TOptions>(FIniFileName);
    FOptions->Load();
    FOptions->ApplyEngineSettings();
    FQueue.SetSettings(FOptions->TransferSettings());
    // The command line's logon runs while the window is built.
    std::unique_ptr<TFTPComponent> logon =
        TCommandLineRun::PrepareLogon(arguments, *FOptions, FQueue);

    FActions = new TActionRegistry(this, CommandTable());
    CreateLayout();
    CreateMenus();

    FQuestions = std::make_unique<TQuestionWindows>(this);
    FRestartsUnconfirmed = FQuestions->OnRestartsUnconfirmed.Connect([this] {
        // Saved with the other options next time; in force from the next file on.
        if (!FOptions)
            return;
        FOptions->SetBool(oiConfirmRestarts, false);
        FQueue.SetSettings(FOptions->TransferSettings());
    });
    NewLocalView();
    NewHostView(std::move(logon));

    SetLocalViewStyle(FState.LocalViewStyle);
    SetHostViewStyle(FState.HostViewStyle);
    pnlTop->setFixedHeight(std::max(FState.LogHeight, kToolbarSmall + kToolbarBar));
    SetWindowCaption(DisconnectedCaption());

    FLastSites = FStore->LoadLastConnections();
    mnuLastConnections->setEnabled(FLastSites.Any());

    pnlTop->SetLargeToolbar(FState.LargeToolBar());
}

void TfrmMain::CreateLongLivedWindows()
{
    ApplyWindowOptions();
    FQueue.SetHost(this);
    MessageWindow()->SetLogFileProvider([this] { return FOptions->LogFile(); });

    FProgressWindow = std::make_unique<TfrmTransfer>(FQueue);
    TfrmTransfer *progress = FProgressWindow.get();
    const auto report = [this](TCustomView *sender, int state) {
        ViewUpdateState(sender, state, ActiveHostView() ? ActiveHostView()->SelectedCount() : 0);
    };
    connect(progress, &TfrmTransfer::FileTransferred, this, [report] { report(nullptr, vsFileArrived); });
    // The end of a run is the active remote view's report, which stops the toolbar's activity.
    connect(progress, &TfrmTransfer::AllTransferred, this,
            [this, report] { report(ActiveHostView(), vsAllTransferred); });
    connect(progress, &TfrmTransfer::TransferConnected, this,
            [this](bool connected) { FActions->SetEnabled(TCommand::DisconnectTransfer, connected); });
    connect(progress, &TfrmTransfer::TransferError, this,
            [this](const QString &text) { MessageWindow()->AddLine(text, Qt::red); });
    FTransferManager = std::make_unique<TfrmTransferMngr>(FQueue, *progress);
    connect(FTransferManager.get(), &TfrmTransferMngr::VisibilityChanged, this,
            [this](bool shown) { FActions->Action(TCommand::ShowTransferManager)->setChecked(shown); });
}

// ---------------------------------------------------------------- layout

void TfrmMain::CreateLayout()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    using C = TCommand;
    pnlTop = new TTopPanel(*FActions,
                           {C::Connect, C::ConnectURL, C::Stop, C::Disconnect, C::DisconnectTransferButton,
                            C::ShowTransferManager, C::MaximizeHost, C::ShowLog, C::ShowViewer},
                           C::ShowLog, central);
    layout->addWidget(pnlTop);

    splTop = new TDragBar(Qt::Horizontal, central);
    splTop->setFixedHeight(kSplitterSize);
    layout->addWidget(splTop);

    pnlViews = new TViewsPanel(*FActions, central);
    pnlLocal = pnlViews->Local();
    pnlHost = pnlViews->Host();
    cmboLocalTree = pnlLocal->FolderCombo();
    cmboHostTree = pnlViews->HostTreeCombo();
    layout->addWidget(pnlViews, 1);
    setCentralWidget(central);

    lblStatus0 = new QLabel(this);
    lblStatus1 = new QLabel(this);
    statusBar()->addWidget(lblStatus0);
    statusBar()->addWidget(lblStatus1, 1);
    statusBar()->setSizeGripEnabled(false);

    connect(splTop, &TDragBar::DragStarted, this, [this] { FTopDragStart = pnlTop->height(); });
    connect(splTop, &TDragBar::Dragged, this, &TfrmMain::DragTopPanel);
    connect(cmboLocalTree->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (ActiveLocalView())
            ActiveLocalView()->ChangeFolder(cmboLocalTree->currentText());
    });
    connect(cmboHostTree, &TTreeCombo::FolderChosen, this, [this] {
        if (ActiveHostView())
            ActiveHostView()->TreeComboChange();
    });

    FLocalTabs = std::make_unique<TViewTabs>(pnlLocal->Tabs(), vsLocal, *FStore);
    FHostTabs = std::make_unique<TViewTabs>(pnlHost->Tabs(), vsHost, *FStore);
    FLocalTabs->SetTransferTarget([this] { return FHostTabs->Active(); });
    FHostTabs->SetTransferTarget([this] { return FLocalTabs->Active(); });
    connect(FLocalTabs.get(), &TViewTabs::ActiveChanged, this,
            [this](TCustomView *, TCustomView *current) { LocalViewActivated(current); });
    connect(FHostTabs.get(), &TViewTabs::ActiveChanged, this, &TfrmMain::HostViewActivated);
    connect(FHostTabs.get(), &TViewTabs::Closing, this, &TfrmMain::HostViewClosing);
    for (TViewTabs *tabs : {FLocalTabs.get(), FHostTabs.get()}) {
        connect(tabs, &TViewTabs::ViewStateReported, this, &TfrmMain::ViewUpdateState);
        connect(tabs, &TViewTabs::CountChanged, this, &TfrmMain::UpdateCloseButtons);
    }
    connect(FLocalTabs.get(), &TViewTabs::ViewFolderShown, this, &TfrmMain::LocalFolderShown);
}

// ---------------------------------------------------------------- views

THostView *TfrmMain::ActiveHostView() const
{
    return FHostTabs ? qobject_cast<THostView *>(FHostTabs->Active()) : nullptr;
}

TLocalView *TfrmMain::ActiveLocalView() const
{
    return FLocalTabs ? qobject_cast<TLocalView *>(FLocalTabs->Active()) : nullptr;
}

QTabWidget *TfrmMain::HostTabs() const
{
    return pnlHost->Tabs();
}

QTabWidget *TfrmMain::LocalTabs() const
{
    return pnlLocal->Tabs();
}

THostView *TfrmMain::NewHostView(std::unique_ptr<TFTPComponent> engine)
{
    const THostView *old = ActiveHostView();
    auto *view = new THostView(pnlHost->Tabs(), std::move(engine));
    MessageWindow()->ClearLines();
    if (FOptions)
        view->FTP().SetPassive(FOptions->UsePassive());
    view->SetSettings(&FQueue.Settings());
    view->SetTransferQueue(&FQueue);
    view->SetQuestions(FQuestions.get());
    view->SetViewStyle(old ? old->ViewStyle() : FState.HostViewStyle);
    connect(view, &THostView::LogLineAdded, this, &TfrmMain::HostLog);
    ConnectViewerAndLaunches(view);
    FHostTabs->Add(view, DisconnectedCaption());
    SetWindowCaption(DisconnectedCaption());
    ViewUpdateState(view, vsIdle, 0);
    return view;
}

TLocalView *TfrmMain::NewLocalView()
{
    const TLocalView *old = ActiveLocalView();
    auto *view = new TLocalView(pnlLocal->Tabs());
    view->SetViewStyle(old ? old->ViewStyle() : FState.LocalViewStyle);
    if (old)
        view->ChangeFolder(old->GetFolder());
    ConnectViewerAndLaunches(view);
    FLocalTabs->Add(view, QString());
    LocalFolderShown(view);
    return view;
}

void TfrmMain::AddLastConnection(const QString &siteName)
{
    mnuLastConnections->setEnabled(true);
    FLastSites.Add(siteName);
}

void TfrmMain::HostViewActivated(TCustomView *previous, TCustomView *current)
{
    if (auto *old = qobject_cast<THostView *>(previous); old && old != current)
        old->SetTreeCombo(nullptr);
    auto *view = qobject_cast<THostView *>(current);
    SetWindowCaption(FHostTabs->Caption(view));
    view->SetTreeCombo(cmboHostTree);
    view->UpdateTreeCombo();
    MessageWindow()->Rebuild(view->LogEntries().Lines());
    pnlHost->SetBusy(view->Animating());
    for (int style = 0; style < 4; ++style)
        FActions->SetChecked(SideCommands(vsHost).Styles[style], style == view->ViewStyle());
    ViewUpdateState(view, vsStatus, view->SelectedCount());
    UpdateCloseButtons();
}

void TfrmMain::HostViewClosing(TCustomView *view)
{
    auto *host = qobject_cast<THostView *>(view);
    host->disconnect(this);
    // Its Disconnect will not reach this window any more.
    if (host->Connected())
        FConnectedViews.Decrease();
    host->SetTreeCombo(nullptr);
}

void TfrmMain::LocalViewActivated(TCustomView *current)
{
    for (int style = 0; style < 4; ++style)
        FActions->SetChecked(SideCommands(vsLocal).Styles[style], style == current->ViewStyle());
    ShowLocalFolderInCombo();
    UpdateLocalCommands(current->SelectedCount());
    UpdateCloseButtons();
}

void TfrmMain::LocalFolderShown(TCustomView *sender)
{
    auto *view = qobject_cast<TLocalView *>(sender);
    if (!view || LocalTabs()->indexOf(view) < 0)
        return;
    FLocalTabs->SetCaption(view, view->DisplayName());
    FLocalTabs->SetHint(view, view->GetFolder());
    if (view == ActiveLocalView()) {
        ShowLocalFolderInCombo();
        FActions->SetEnabled(TCommand::LocalUp, !view->IsAtRoot());
    }
}

void TfrmMain::ShowLocalFolderInCombo()
{
    if (!ActiveLocalView())
        return;
    const QString folder = QDir::toNativeSeparators(ActiveLocalView()->GetFolder());
    if (cmboLocalTree->findText(folder) < 0)
        cmboLocalTree->insertItem(0, folder);
    cmboLocalTree->setCurrentText(folder);
}

void TfrmMain::HostLog(THostView *sender, const QString &message, const QColor &color)
{
    if (sender == ActiveHostView())
        MessageWindow()->AddLine(message, color);
}

void TfrmMain::UpdateCloseButtons()
{
    FActions->SetEnabled(TCommand::HostCloseView, FHostTabs->Count() > 1);
    FActions->SetEnabled(TCommand::LocalCloseView, FLocalTabs->Count() > 1);
}

QList<QWidget *> TfrmMain::TabStops() const
{
    const auto listOf = [](const TCustomView *view) {
        return view ? QList<QWidget *>{view->ListView()->DetailsView(), view->ListView()->IconsView()}
                    : QList<QWidget *>{};
    };
    return pnlLocal->TabStops(listOf(ActiveLocalView())) + pnlViews->CentreButtons() +
           pnlHost->TabStops(listOf(ActiveHostView())) + QList<QWidget *>{MessageWindow(), Viewer()};
}

bool TfrmMain::focusNextPrevChild(bool next)
{
    const QList<QWidget *> stops = TabStops();
    const QWidget *focused = QApplication::focusWidget();
    qsizetype current = stops.indexOf(focused);
    for (qsizetype i = 0; current < 0 && focused && i < stops.size(); ++i) {
        if (stops[i]->isAncestorOf(focused))
            current = i;
    }
    if (current < 0)
        return QMainWindow::focusNextPrevChild(next);
    std::vector<bool> open;
    for (const QWidget *stop : stops)
        open.push_back(stop->isVisible() && stop->isEnabled() && (stop->focusPolicy() & Qt::TabFocus));
    const int target = NextTabStop(open, int(current), next);
    if (target < 0)
        return false;
    stops[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void TfrmMain::SetHostCaption(const QString &caption)
{
    FHostTabs->SetCaption(ActiveHostView(), caption);
    SetWindowCaption(caption);
}

bool TfrmMain::ExitWhenDone() const
{
    return FRun->ExitWhenDone();
}

int TfrmMain::ExitCode() const
{
    return FRun->ExitCode();
}

void TfrmMain::SetWindowCaption(const QString &tabCaption)
{
    setWindowTitle(MainCaption(tabCaption));
}

// ---------------------------------------------------------------- status

void TfrmMain::ViewUpdateState(TCustomView *sender, int state, int count)
{
    auto *hostSender = qobject_cast<THostView *>(sender);
    if (sender && !hostSender) {
        // Local views report their selection.
        if (sender == ActiveLocalView())
            UpdateLocalCommands(count);
        if (state == vsStatus)
            ViewerFollowSelection(sender);
        return;
    }

    const TStatusReaction reaction = ReactToStatus(state, FRun->ExitWhenDone());
    if (hostSender && reaction.Busy != TBusyChange::None)
        hostSender->SetAnimating(reaction.Busy == TBusyChange::Set);
    if (reaction.ConnectedDelta > 0)
        FConnectedViews.Increase(FHostTabs->Count());
    else if (reaction.ConnectedDelta < 0)
        FConnectedViews.Decrease();
    cmboHostTree->setEnabled(FConnectedViews.ComboEnabled());
    if (reaction.ShowDisconnected && hostSender) {
        FHostTabs->SetCaption(hostSender, DisconnectedCaption());
        if (hostSender == ActiveHostView())
            SetWindowCaption(DisconnectedCaption());
    }
    if (reaction.Sound)
        PlayEventSound(*reaction.Sound);
    if (hostSender && hostSender == ActiveHostView())
        pnlTop->SetActivity(false);

    pnlHost->SetBusy(ActiveHostView() && ActiveHostView()->Animating());
    UpdateRemoteCommands();
    if (ActiveLocalView())
        UpdateLocalCommands(ActiveLocalView()->SelectedCount());

    if (state == vsStatus)
        ViewerFollowSelection(hostSender);
    FRun->StatusReported(hostSender && hostSender == ActiveHostView() ? hostSender : nullptr, state,
                         reaction.CloseWindow);
}

void TfrmMain::UpdateRemoteCommands()
{
    const THostView *view = ActiveHostView();
    if (!view)
        return;
    TRemoteViewState state;
    state.Connected = view->Connected();
    state.Busy = view->Animating();
    state.EngineWorking = view->EngineBusy();
    state.Selected = view->SelectedCount();
    state.AtTopFolder = cmboHostTree->AtTop();
    FRemoteCommands = RemoteCommandsFor(state);
    FActions->Apply(FRemoteCommands, FLocalCommands);
}

void TfrmMain::UpdateLocalCommands(int selected)
{
    FLocalCommands = LocalCommandsFor(selected, ActiveHostView() && ActiveHostView()->Connected());
    FActions->Apply(FRemoteCommands, FLocalCommands);
}

bool TfrmMain::BusyIndicatorShown() const
{
    return pnlHost->BusyShown();
}

void TfrmMain::PlayEventSound(TOptionId sound) const
{
    if (FOptions)
        PlaySoundFile(FOptions->SoundToPlay(sound));
}

// ---------------------------------------------------------------- panels

void TfrmMain::SetHostViewStyle(int style)
{
    if (!ActiveHostView() || style < 0 || style > 3)
        return;
    ActiveHostView()->SetViewStyle(style);
    for (int i = 0; i < 4; ++i)
        FActions->SetChecked(SideCommands(vsHost).Styles[i], i == style);
}

void TfrmMain::SetLocalViewStyle(int style)
{
    if (!ActiveLocalView() || style < 0 || style > 3)
        return;
    ActiveLocalView()->SetViewStyle(style);
    for (int i = 0; i < 4; ++i)
        FActions->SetChecked(SideCommands(vsLocal).Styles[i], i == style);
}

bool TfrmMain::LogShown() const
{
    return pnlTop->LogShown();
}

int TfrmMain::TopPanelHeight() const
{
    return pnlTop->height();
}

int TfrmMain::ToolbarHeight() const
{
    return pnlTop->ToolbarHeight();
}

void TfrmMain::SetLogShown(bool shown)
{
    pnlTop->SetLogShown(shown);
}

TMessageWindow *TfrmMain::MessageWindow() const
{
    return pnlTop->MessageWindow();
}

bool TfrmMain::HostViewMaximized() const
{
    return pnlViews->HostMaximized();
}

void TfrmMain::SetHostViewMaximized(bool maximized)
{
    pnlViews->SetHostMaximized(maximized);
    FActions->SetChecked(TCommand::MaximizeHost, maximized);
}

void TfrmMain::SetLargeToolbar(bool large)
{
    pnlTop->SetLargeToolbar(large);
}

void TfrmMain::DragTopPanel(QPoint delta)
{
    pnlTop->DragTo(FTopDragStart, delta.y(),
                   centralWidget()->height() - kSplitterSize - TSidePanel::BarHeight);
}

// ---------------------------------------------------------------- start and end

void TfrmMain::ShowInStoredState()
{
    switch (FState.State) {
    case wssMaximized:
        showMaximized();
        break;
    case wssMinimized:
        showMinimized();
        break;
    default:
        show();
        break;
    }
}

void TfrmMain::BringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    FormShow();
    // Without a window manager a window may never be activated; the command line must
    // still run once.
    QTimer::singleShot(0, this, &TfrmMain::FormActivate);
}

void TfrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmMain::FormShow()
{
    QString folder = FOptions ? FOptions->Text(oiDefaultDir) : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::currentPath();
    if (ActiveLocalView())
        ActiveLocalView()->ChangeFolder(folder);
    // The views panel is not laid out yet; the window's width is what it will have.
    pnlViews->ShareEvenly(width());
}

void TfrmMain::FormActivate()
{
    if (FActivated)
        return;
    FActivated = true;
    FRun->Start(FArguments);
    // A logon prepared for a connection the command line did not make after all.
    if (THostView *view = ActiveHostView())
        view->DropPreparedLogon();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FClosed) {
        FClosed = true;
        FRun->Interrupt();
        FormClose();
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::FormClose()
{
    if (THostView *view = ActiveHostView()) {
        FHostTabs->Detach(view);
        view->disconnect(this);
    }

    if (FOptions && FOptions->Bool(oiLogToFile)) {
        QString error;
        if (!MessageWindow()->SaveToFile(FOptions->LogFile(), &error))
            QMessageBox::critical(this, tr("Ferrow"), error);
    }

    FState.ToolBarMin = ToolbarHeight();
    FState.State = isMaximized() ? wssMaximized : isMinimized() ? wssMinimized : wssNormal;
    if (FState.State == wssNormal) {
        const QRect bounds = geometry();
        FState.Left = bounds.left();
        FState.Top = bounds.top();
        FState.Width = bounds.width();
        FState.Height = bounds.height();
    }
    if (ActiveLocalView())
        FState.LocalViewStyle = ActiveLocalView()->ViewStyle();
    if (ActiveHostView())
        FState.HostViewStyle = ActiveHostView()->ViewStyle();
    FState.LogHeight = pnlTop->height();
    FStore->Save(FState, FLastSites);
    FLocalTabs->SaveColumnWidths();
    FHostTabs->SaveColumnWidths();
    if (FOptions)
        FOptions->SaveURLs();

    // The long-lived windows go with the main window, so the program ends here.
    if (FProgressWindow)
        FProgressWindow->hide();
    if (FTransferManager)
        FTransferManager->hide();
}

// ---------------------------------------------------------------- transfer host

void TfrmMain::SetApplicationTitle(const QString &title)
{
    setWindowIconText(title);
}

void TfrmMain::SetStatusText(const QString &text)
{
    lblStatus1->setText(text);
}

bool TfrmMain::ShowTransferInfo() const
{
    return FActions->Action(TCommand::ShowTransferInfo)->isChecked();
}

void TfrmMain::ShowProgressWindow()
{
    if (FProgressWindow && !FClosed)
        FProgressWindow->show();
}

void TfrmMain::StartActivity()
{
    pnlTop->SetActivity(true);
}

void TfrmMain::ShowMessage(const QString &text)
{
    if (FRun->Unattended()) {
        WriteToStandardError(text);
        return;
    }
    QMessageBox::information(this, tr("Ferrow"), text);
}
