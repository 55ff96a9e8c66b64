#include "app/Main.h"

#include "app/BatchRun.h"
#include "app/CommandLineOptions.h"
#include "app/DragBar.h"
#include "app/MessageWindow.h"
#include "app/OptionsForm.h"
#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "engine/Trace.h"
#include "platform/ProgramFolder.h"
#include "platform/Version.h"
#include "transfers/QuestionWindows.h"
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kCentreWidth = 40;
constexpr int kToolColumnWidth = 30;
constexpr int kSideBarHeight = 28;

const char *const kViewStyleNames[] = {"Large Icons", "Small Icons", "List", "Details"};

QToolButton *MakeButton(QWidget *parent, const QString &caption, QStyle::StandardPixmap icon,
                        const QString &themeIcon = QString())
{
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setToolTip(caption);
    button->setAutoRaise(true);
    const QIcon fallback = parent->style()->standardIcon(icon);
    button->setIcon(themeIcon.isEmpty() ? fallback : QIcon::fromTheme(themeIcon, fallback));
    return button;
}

} // namespace

TfrmMain::TfrmMain(const QStringList &arguments, TTransferItems &queue,
                   std::unique_ptr<TWindowStateStore> store, QWidget *parent)
    : QMainWindow(parent), FQueue(queue), FStore(std::move(store)), FArguments(arguments)
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
    // The views go first, unheard: they point at the tree combo, and their last
    // notifications must not reach a window that is half gone.
    FHostView = nullptr;
    FLocalView = nullptr;
    for (QTabWidget *tabs : {pgctrlHost, pgctrlLocal}) {
        if (!tabs)
            continue;
        const QSignalBlocker blocker(tabs);
        while (tabs->count() > 0) {
            auto *view = qobject_cast<TCustomView *>(tabs->widget(0));
            tabs->removeTab(0);
            if (auto *host = qobject_cast<THostView *>(view))
                DetachHostView(host);
            if (view) {
                view->disconnect(this);
                view->SetTransferTarget(nullptr, nullptr);
            }
            delete view;
        }
    }
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

    CreateLayout();
    CreateMenus();
    if (const QScreen *screen = this->screen(); screen && screen->logicalDotsPerInch() > 96) {
        QFont font = pnlToolbar->font();
        font.setPointSize(6);
        pnlToolbar->setFont(font);
    }

    FQuestions = std::make_unique<TQuestionWindows>(this);
    FQuestions->OnRestartsUnconfirmed = [this] {
        // Saved with the other options next time; in force from the next file on.
        if (!FOptions)
            return;
        FOptions->SetBool(oiConfirmRestarts, false);
        FQueue.SetSettings(FOptions->TransferSettings());
    };
    NewLocalView();
    NewHostView();

    SetLocalViewStyle(FState.LocalViewStyle);
    SetHostViewStyle(FState.HostViewStyle);
    pnlTop->setFixedHeight(std::max(FState.LogHeight, kToolbarSmall + kToolbarBar));

    setWindowTitle(MainCaption(DisconnectedCaption()));

    FLastSites = FStore->LoadLastConnections();
    mnuLastConnections->setEnabled(FLastSites.Any());

    SetLargeToolbar(FState.LargeToolBar());
}

void TfrmMain::CreateLongLivedWindows()
{
    FOptions = std::make_unique<TOptions>(FIniFileName);
    FOptions->Load();
    FOptions->ApplyEngineSettings();
    FQueue.SetSettings(FOptions->TransferSettings());
    FQueue.SetHost(this);
    reLog->SetLogFileProvider([this] { return FOptions->LogFile(); });

    auto *progress = new TfrmTransfer(FQueue);
    const auto report = [this](int state) {
        ViewUpdateState(nullptr, state, FHostView ? FHostView->SelectedCount() : 0);
    };
    connect(progress, &TfrmTransfer::FileTransferred, this, [report] { report(vsFileArrived); });
    connect(progress, &TfrmTransfer::AllTransferred, this, [report] { report(vsAllTransferred); });
    connect(progress, &TfrmTransfer::TransferConnected, this,
            [this](bool connected) { mnuDisconnectTransfer->setEnabled(connected); });
    connect(progress, &TfrmTransfer::StatusText, this, &TfrmMain::SetStatusText);
    connect(progress, &TfrmTransfer::TransferError, this,
            [this](const QString &text) { reLog->AddLine(text, Qt::red); });
    FProgressWindow.reset(progress);
    FTransferManager = std::make_unique<TfrmTransferMngr>(FQueue);
}

// ---------------------------------------------------------------- layout

void TfrmMain::CreateLayout()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlTop = new QWidget(central);
    auto *topLayout = new QVBoxLayout(pnlTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    topLayout->addWidget(CreateToolbar());
    barToolbar = new TDragBar(Qt::Horizontal, pnlTop);
    barToolbar->setFixedHeight(kToolbarBar);
    barToolbar->setFrameShape(QFrame::HLine);
    topLayout->addWidget(barToolbar);
    reLog = new TMessageWindow(pnlTop);
    topLayout->addWidget(reLog, 1);
    layout->addWidget(pnlTop);

    splTop = new TDragBar(Qt::Horizontal, central);
    splTop->setFixedHeight(kSplitterSize);
    layout->addWidget(splTop);

    pnlViews = new QWidget(central);
    pnlViews->installEventFilter(this);
    auto *viewsLayout = new QHBoxLayout(pnlViews);
    viewsLayout->setContentsMargins(0, 0, 0, 0);
    viewsLayout->setSpacing(0);
    pnlLocal = CreateSide(false);
    viewsLayout->addWidget(pnlLocal);

    pnlCentre = new TDragBar(Qt::Vertical, pnlViews);
    pnlCentre->setFixedWidth(kCentreWidth);
    auto *centreLayout = new QVBoxLayout(pnlCentre);
    centreLayout->setContentsMargins(2, 0, 2, 0);
    centreLayout->addStretch();
    btnUpload = MakeButton(pnlCentre, tr("Upload"), QStyle::SP_ArrowRight, QStringLiteral("go-next"));
    btnDownload = MakeButton(pnlCentre, tr("Download"), QStyle::SP_ArrowLeft, QStringLiteral("go-previous"));
    centreLayout->addWidget(btnUpload);
    centreLayout->addWidget(btnDownload);
    centreLayout->addStretch();
    viewsLayout->addWidget(pnlCentre);

    pnlHost = CreateSide(true);
    viewsLayout->addWidget(pnlHost, 1);
    layout->addWidget(pnlViews, 1);
    setCentralWidget(central);

    lblStatus0 = new QLabel(this);
    lblStatus1 = new QLabel(this);
    statusBar()->addWidget(lblStatus0);
    statusBar()->addWidget(lblStatus1, 1);
    statusBar()->setSizeGripEnabled(false);

    connect(barToolbar, &TDragBar::DragStarted, this, [this] { FToolbarDragStart = ToolbarHeight(); });
    connect(barToolbar, &TDragBar::Dragged, this, &TfrmMain::DragToolbar);
    connect(splTop, &TDragBar::DragStarted, this, [this] { FTopDragStart = pnlTop->height(); });
    connect(splTop, &TDragBar::Dragged, this, &TfrmMain::DragTopPanel);
    connect(pnlCentre, &TDragBar::DragStarted, this, [this] { FCentreDragStart = pnlLocal->width(); });
    connect(pnlCentre, &TDragBar::Dragged, this, &TfrmMain::DragCentre);

    // Upload and Download need the transfer submission of the views (not yet wired).
    btnUpload->setEnabled(false);
    btnDownload->setEnabled(false);
}

QWidget *TfrmMain::CreateToolbar()
{
    pnlToolbar = new QWidget(pnlTop);
    auto *bar = new QHBoxLayout(pnlToolbar);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(0);
    btnConnect = MakeButton(pnlToolbar, tr("Connect"), QStyle::SP_DriveNetIcon, QStringLiteral("network-connect"));
    btnConnectURL = MakeButton(pnlToolbar, tr("Connect to URL"), QStyle::SP_DirLinkIcon, QStringLiteral("go-jump"));
    btnStop = MakeButton(pnlToolbar, tr("Stop"), QStyle::SP_BrowserStop, QStringLiteral("process-stop"));
    btnDisconnect = MakeButton(pnlToolbar, tr("Disconnect"), QStyle::SP_DialogCloseButton,
                               QStringLiteral("network-disconnect"));
    btnDisconnectTransfer = MakeButton(pnlToolbar, tr("Disconnect"), QStyle::SP_DialogCancelButton);
    btnDisconnectTransfer->setEnabled(false);
    btnTransferManager = MakeButton(pnlToolbar, tr("Show Transfer Manager"), QStyle::SP_FileDialogDetailedView);
    btnMaximizeHost = MakeButton(pnlToolbar, tr("Maximize Host View"), QStyle::SP_TitleBarMaxButton);
    btnShowLog = MakeButton(pnlToolbar, tr("Show Log"), QStyle::SP_FileDialogContentsView);
    btnShowViewer = MakeButton(pnlToolbar, tr("Show Viewer"), QStyle::SP_FileDialogInfoView);
    for (QToolButton *toggle : {btnTransferManager, btnMaximizeHost, btnShowLog, btnShowViewer})
        toggle->setCheckable(true);
    btnShowLog->setChecked(true);
    // The internal viewer has not been built yet.
    btnShowViewer->setEnabled(false);
    for (QToolButton *button : {btnConnect, btnConnectURL, btnStop, btnDisconnect, btnDisconnectTransfer,
                                btnTransferManager, btnMaximizeHost, btnShowLog, btnShowViewer})
        bar->addWidget(button);
    bar->addStretch();
    aviActivity = new QLabel(pnlToolbar);
    bar->addWidget(aviActivity);

    connect(btnStop, &QToolButton::clicked, this, &TfrmMain::StopClick);
    connect(btnDisconnect, &QToolButton::clicked, this, &TfrmMain::DisconnectClick);
    connect(btnShowLog, &QToolButton::toggled, this, &TfrmMain::SetLogShown);
    connect(btnMaximizeHost, &QToolButton::toggled, this, &TfrmMain::SetHostViewMaximized);
    connect(btnTransferManager, &QToolButton::toggled, this, &TfrmMain::ShowTransferManager);
    // The site manager and the URL dialog are not part of the program yet.
    btnConnect->setEnabled(false);
    btnConnectURL->setEnabled(false);
    return pnlToolbar;
}

QWidget *TfrmMain::CreateSide(bool host)
{
    auto *side = new QWidget(pnlViews);
    // A narrow side clips its status bar rather than widening the window.
    side->setMinimumWidth(2 * kToolColumnWidth);
    auto *layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *topBar = new QWidget(side);
    topBar->setFixedHeight(kSideBarHeight);
    auto *topLayout = new QHBoxLayout(topBar);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    if (host) {
        pnlHostSpacer = new QWidget(topBar);
        pnlHostSpacer->setFixedWidth(4);
        topLayout->addWidget(pnlHostSpacer);
        cmboHostTree = new TTreeCombo(topBar);
        cmboHostTree->setEnabled(false);
        cmboHostTree->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        cmboHostTree->setMinimumContentsLength(4);
        topLayout->addWidget(cmboHostTree, 1);
        connect(cmboHostTree, &TTreeCombo::FolderChosen, this, [this] {
            if (FHostView)
                FHostView->TreeComboChange();
        });
    } else {
        cmboLocalTree = new QComboBox(topBar);
        cmboLocalTree->setEditable(true);
        cmboLocalTree->setInsertPolicy(QComboBox::NoInsert);
        cmboLocalTree->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        cmboLocalTree->setMinimumContentsLength(4);
        topLayout->addWidget(cmboLocalTree, 1);
        connect(cmboLocalTree->lineEdit(), &QLineEdit::returnPressed, this, [this] {
            if (FLocalView)
                FLocalView->ChangeFolder(cmboLocalTree->currentText());
        });
    }
    QToolButton *up = MakeButton(topBar, tr("Up One Level"), QStyle::SP_FileDialogToParent, QStringLiteral("go-up"));
    QToolButton *change = MakeButton(topBar, tr("Change Folder"), QStyle::SP_DirOpenIcon, QStringLiteral("folder-open"));
    QToolButton *style = MakeButton(topBar, tr("Change Views"), QStyle::SP_FileDialogListView);
    QToolButton *newView = MakeButton(topBar, tr("New View"), QStyle::SP_FileDialogNewFolder, QStringLiteral("tab-new"));
    QToolButton *closeView = MakeButton(topBar, tr("Close View"), QStyle::SP_DialogCloseButton, QStringLiteral("tab-close"));
    auto *styleMenu = new QMenu(style);
    auto *styleGroup = new QActionGroup(styleMenu);
    for (int i = 0; i < 4; ++i) {
        QAction *action = styleMenu->addAction(tr(kViewStyleNames[i]));
        action->setCheckable(true);
        action->setData(i);
        styleGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, host, i] {
            host ? SetHostViewStyle(i) : SetLocalViewStyle(i);
        });
    }
    style->setMenu(styleMenu);
    style->setPopupMode(QToolButton::MenuButtonPopup);
    style->setToolTip(tr("Type of Views"));
    for (QToolButton *button : {up, change, style, newView, closeView})
        topLayout->addWidget(button);
    layout->addWidget(topBar);

    auto *body = new QWidget(side);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    auto *tools = new QWidget(body);
    tools->setFixedWidth(kToolColumnWidth);
    auto *toolsLayout = new QVBoxLayout(tools);
    toolsLayout->setContentsMargins(0, 0, 0, 0);
    toolsLayout->setSpacing(0);
    QToolButton *edit = MakeButton(tools, tr("Edit with..."), QStyle::SP_FileDialogDetailedView, QStringLiteral("document-edit"));
    QToolButton *refresh = MakeButton(tools, tr("Refresh"), QStyle::SP_BrowserReload, QStringLiteral("view-refresh"));
    QToolButton *newFolder = MakeButton(tools, tr("New Folder"), QStyle::SP_FileDialogNewFolder, QStringLiteral("folder-new"));
    QToolButton *rename = MakeButton(tools, tr("Rename"), QStyle::SP_FileIcon, QStringLiteral("edit-rename"));
    QToolButton *remove = MakeButton(tools, tr("Delete"), QStyle::SP_TrashIcon, QStringLiteral("edit-delete"));
    QToolButton *mask = MakeButton(tools, tr("File Mask"), QStyle::SP_FileDialogContentsView, QStringLiteral("view-filter"));
    for (QToolButton *button : {edit, refresh, newFolder, rename, remove, mask})
        toolsLayout->addWidget(button);
    toolsLayout->addStretch();
    bodyLayout->addWidget(tools);
    auto *tabs = new QTabWidget(body);
    tabs->setTabPosition(QTabWidget::South);
    tabs->setDocumentMode(true);
    bodyLayout->addWidget(tabs, 1);
    layout->addWidget(body, 1);

    // Editing, creating, renaming, deleting and masks belong to later parts of the views.
    for (QToolButton *button : {edit, newFolder, rename, remove, mask})
        button->setEnabled(false);

    if (host) {
        pgctrlHost = tabs;
        pnlHostTools = tools;
        btnHostUp = up, btnHostChangeFolder = change, btnHostViewStyle = style;
        btnHostNewView = newView, btnHostCloseView = closeView;
        btnHostEdit = edit, btnHostRefresh = refresh, btnHostNewFolder = newFolder;
        btnHostRename = rename, btnHostDelete = remove, btnHostMask = mask;
        popHostViewStyle = styleMenu;
        aniBusy = new QProgressBar(tabs);
        aniBusy->setRange(0, 0);
        aniBusy->setTextVisible(false);
        aniBusy->setFixedSize(120, 14);
        aniBusy->hide();
        connect(up, &QToolButton::clicked, this, &TfrmMain::HostUpClick);
        connect(change, &QToolButton::clicked, this, &TfrmMain::HostChangeFolderClick);
        connect(refresh, &QToolButton::clicked, this, &TfrmMain::HostRefreshClick);
        connect(newView, &QToolButton::clicked, this, &TfrmMain::HostNewViewClick);
        connect(closeView, &QToolButton::clicked, this, &TfrmMain::HostCloseViewClick);
        connect(style, &QToolButton::clicked, this, [this] { SetHostViewStyle((FHostView->ViewStyle() + 1) % 4); });
        connect(tabs, &QTabWidget::currentChanged, this, &TfrmMain::HostTabChanged);
    } else {
        pgctrlLocal = tabs;
        pnlLocalTools = tools;
        btnLocalUp = up, btnLocalChangeFolder = change, btnLocalViewStyle = style;
        btnLocalNewView = newView, btnLocalCloseView = closeView;
        btnLocalEdit = edit, btnLocalRefresh = refresh, btnLocalNewFolder = newFolder;
        btnLocalRename = rename, btnLocalDelete = remove, btnLocalMask = mask;
        popLocalViewStyle = styleMenu;
        connect(up, &QToolButton::clicked, this, &TfrmMain::LocalUpClick);
        connect(change, &QToolButton::clicked, this, &TfrmMain::LocalChangeFolderClick);
        connect(refresh, &QToolButton::clicked, this, &TfrmMain::LocalRefreshClick);
        connect(newView, &QToolButton::clicked, this, &TfrmMain::LocalNewViewClick);
        connect(closeView, &QToolButton::clicked, this, &TfrmMain::LocalCloseViewClick);
        connect(style, &QToolButton::clicked, this, [this] { SetLocalViewStyle((FLocalView->ViewStyle() + 1) % 4); });
        connect(tabs, &QTabWidget::currentChanged, this, &TfrmMain::LocalTabChanged);
    }
    return side;
}

void TfrmMain::CreateMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    mnuConnect = file->addAction(tr("&Connect"));
    mnuConnect->setShortcut(QKeySequence(tr("Ctrl+Shift+C")));
    mnuConnectURL = file->addAction(tr("Connect to &URL"));
    mnuConnectURL->setShortcut(QKeySequence(tr("Ctrl+Shift+U")));
    mnuConnect->setEnabled(false);
    mnuConnectURL->setEnabled(false);
    mnuStop = file->addAction(tr("&Stop"), this, &TfrmMain::StopClick);
    mnuStop->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    mnuDisconnect = file->addAction(tr("&Disconnect"), this, &TfrmMain::DisconnectClick);
    mnuDisconnect->setShortcut(QKeySequence(tr("Ctrl+Shift+D")));
    mnuDisconnectTransfer = file->addAction(tr("Disconnect Transfer Connection"), this, [this] {
        FQueue.DisconnectAll();
    });
    mnuDisconnectTransfer->setEnabled(false);
    mnuLastConnections = file->addMenu(tr("&Last Connections"));
    for (int i = 0; i < TLastConnections::Count; ++i) {
        mnuLastSites[i] = mnuLastConnections->addAction(QString());
        mnuLastSites[i]->setData(i);
        mnuLastSites[i]->setVisible(false);
    }
    connect(mnuLastConnections, &QMenu::aboutToShow, this, [this] {
        for (int i = 0; i < TLastConnections::Count; ++i) {
            mnuLastSites[i]->setText(LastConnectionCaption(i, FLastSites.Site(i)));
            mnuLastSites[i]->setVisible(!FLastSites.Site(i).isEmpty());
            // Connecting to a stored site needs the site manager, which is not built yet.
            mnuLastSites[i]->setEnabled(false);
        }
    });
    file->addSeparator();
    mnuExit = file->addAction(tr("&Exit"), this, &QWidget::close);
    mnuExit->setShortcut(QKeySequence(tr("Alt+F4")));

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    mnuCompare = edit->addAction(tr("&Compare Folders"));
    mnuCompare->setEnabled(false);
    mnuSelectAll = edit->addAction(tr("Select &All"), this, &TfrmMain::SelectAllClick);
    mnuSelectAll->setShortcut(QKeySequence(tr("Ctrl+A")));
    mnuSelectAll->setShortcutContext(Qt::WidgetShortcut);
    mnuInvertSelection = edit->addAction(tr("&Invert Selection"), this, &TfrmMain::InvertSelectionClick);
    mnuInvertSelection->setShortcut(QKeySequence(tr("Shift+Ctrl+A")));
    mnuInvertSelection->setShortcutContext(Qt::WidgetShortcut);

    QMenu *local = menuBar()->addMenu(tr("&Local"));
    mnuLocalRefresh = local->addAction(tr("&Refresh"), this, &TfrmMain::LocalRefreshClick);
    mnuLocalRename = local->addAction(tr("Rena&me"));
    mnuLocalErase = local->addAction(tr("&Erase"));
    mnuLocalProperties = local->addAction(tr("P&roperties"));
    for (QAction *action : {mnuLocalRename, mnuLocalErase, mnuLocalProperties})
        action->setEnabled(false);

    QMenu *server = menuBar()->addMenu(tr("&Server"));
    mnuServerEdit = server->addAction(tr("E&dit with..."));
    mnuServerRefresh = server->addAction(tr("&Refresh"), this, &TfrmMain::HostRefreshClick);
    mnuServerNewFolder = server->addAction(tr("&Create New Folder"));
    mnuServerRename = server->addAction(tr("Rena&me"));
    mnuServerErase = server->addAction(tr("&Erase"));
    mnuServerMask = server->addAction(tr("Mas&k files"));
    mnuServerProperties = server->addAction(tr("P&roperties"));

    QMenu *options = menuBar()->addMenu(tr("&Options"));
    mnuPreferences = options->addAction(tr("General &Preferences"), this, &TfrmMain::ShowPreferences);
    mnuShowTransferManager = options->addAction(tr("View &Transfer Manager"));
    mnuShowTransferManager->setShortcut(QKeySequence(tr("Ctrl+G")));
    mnuShowTransferManager->setCheckable(true);
    connect(mnuShowTransferManager, &QAction::toggled, btnTransferManager, &QToolButton::setChecked);
    connect(btnTransferManager, &QToolButton::toggled, mnuShowTransferManager, &QAction::setChecked);
    mnuMaximizeHost = options->addAction(tr("&Maximize Server Window"));
    mnuMaximizeHost->setShortcut(QKeySequence(tr("Ctrl+M")));
    mnuMaximizeHost->setCheckable(true);
    connect(mnuMaximizeHost, &QAction::toggled, btnMaximizeHost, &QToolButton::setChecked);
    connect(btnMaximizeHost, &QToolButton::toggled, mnuMaximizeHost, &QAction::setChecked);
    mnuShowLog = options->addAction(tr("View M&essages Window"));
    mnuShowLog->setShortcut(QKeySequence(tr("F9")));
    mnuShowLog->setCheckable(true);
    mnuShowLog->setChecked(true);
    connect(mnuShowLog, &QAction::toggled, btnShowLog, &QToolButton::setChecked);
    connect(btnShowLog, &QToolButton::toggled, mnuShowLog, &QAction::setChecked);
    mnuShowViewer = options->addAction(tr("View Internal &Viewer"));
    mnuShowViewer->setShortcut(QKeySequence(tr("F10")));
    mnuShowViewer->setEnabled(false);
    mnuShowTransferInfo = options->addAction(tr("View &Transfers"));
    mnuShowTransferInfo->setShortcut(QKeySequence(tr("F12")));
    mnuShowTransferInfo->setCheckable(true);
    mnuShowTransferInfo->setChecked(true);
    connect(mnuShowTransferInfo, &QAction::toggled, this, [this](bool checked) {
        if (!FProgressWindow)
            return;
        if (!checked)
            FProgressWindow->hide();
        else if (FQueue.CountOf(tsPending) + FQueue.CountOf(tsInProgress) > 0)
            FProgressWindow->show();
    });

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About..."), this, [this] {
        QMessageBox::about(this, tr("About Ferrow"), tr("Ferrow %1, an FTP client.").arg(QLatin1String(FerrowVersion)));
    });
}

// ---------------------------------------------------------------- views

THostView *TfrmMain::NewHostView()
{
    SaveColumnWidths(vsHost);
    auto *view = new THostView(pgctrlHost);
    reLog->ClearLines();
    if (FOptions)
        view->FTP().SetPassive(FOptions->UsePassive());
    view->SetSettings(&FQueue.Settings());
    view->SetTransferQueue(&FQueue);
    view->SetQuestions(FQuestions.get());
    AttachHostView(view);
    if (FHostView)
        view->SetViewStyle(FHostView->ViewStyle());
    else
        view->SetViewStyle(FState.HostViewStyle);

    // Adding the tab to an empty control already makes it current; the handler below
    // must then see the new view.
    const QSignalBlocker blocker(pgctrlHost);
    const int index = pgctrlHost->addTab(view, DisconnectedCaption());
    pgctrlHost->setCurrentIndex(index);
    HostTabChanged(index);
    LoadColumnWidths(vsHost);
    setWindowTitle(MainCaption(DisconnectedCaption()));
    ViewUpdateState(view, vsIdle, 0);
    UpdateCloseButtons();
    return view;
}

TLocalView *TfrmMain::NewLocalView()
{
    SaveColumnWidths(vsLocal);
    const QString folder = FLocalView ? FLocalView->GetFolder() : QString();
    auto *view = new TLocalView(pgctrlLocal);
    AttachLocalView(view);
    view->SetViewStyle(FLocalView ? FLocalView->ViewStyle() : FState.LocalViewStyle);
    if (!folder.isEmpty())
        view->ChangeFolder(folder);

    const QSignalBlocker blocker(pgctrlLocal);
    const int index = pgctrlLocal->addTab(view, QString());
    pgctrlLocal->setCurrentIndex(index);
    LocalTabChanged(index);
    LoadColumnWidths(vsLocal);
    LocalFolderChanged(view);
    UpdateCloseButtons();
    return view;
}

void TfrmMain::AttachHostView(THostView *view)
{
    connect(view, &TCustomView::StateReported, this, &TfrmMain::ViewUpdateState);
    connect(view, &THostView::LogLineAdded, this, &TfrmMain::HostLog);
    view->SetTransferTarget(this, [this](TCustomView *) -> TCustomView * { return FLocalView; });
}

void TfrmMain::DetachHostView(THostView *view)
{
    view->disconnect(this);
    view->SetTransferTarget(nullptr, nullptr);
}

void TfrmMain::AttachLocalView(TLocalView *view)
{
    connect(view, &TCustomView::StateReported, this, &TfrmMain::ViewUpdateState);
    connect(view, &TCustomView::FolderShown, this, &TfrmMain::LocalFolderChanged);
    view->SetTransferTarget(this, [this](TCustomView *) -> TCustomView * { return FHostView; });
}

void TfrmMain::SaveColumnWidths(TViewSide side)
{
    const TCustomView *view = side == vsHost ? static_cast<TCustomView *>(FHostView)
                                             : static_cast<TCustomView *>(FLocalView);
    if (!view || !view->ListView())
        return;
    const QHeaderView *header = view->ListView()->Header();
    std::vector<int> widths;
    for (int i = 0; i < std::min(header->count(), 4); ++i)
        widths.push_back(header->sectionSize(i));
    FStore->SaveColumnWidths(side, widths);
}

void TfrmMain::LoadColumnWidths(TViewSide side)
{
    const TCustomView *view = side == vsHost ? static_cast<TCustomView *>(FHostView)
                                             : static_cast<TCustomView *>(FLocalView);
    if (!view || !view->ListView())
        return;
    QHeaderView *header = view->ListView()->Header();
    std::vector<int> widths;
    for (int i = 0; i < std::min(header->count(), 4); ++i)
        widths.push_back(header->sectionSize(i));
    widths = FStore->LoadColumnWidths(side, widths);
    for (int i = 0; i < int(widths.size()); ++i)
        header->resizeSection(i, widths[i]);
}

void TfrmMain::AddLastConnection(const QString &siteName)
{
    mnuLastConnections->setEnabled(true);
    FLastSites.Add(siteName);
}

void TfrmMain::HostTabChanged(int index)
{
    auto *view = qobject_cast<THostView *>(pgctrlHost->widget(index));
    if (!view)
        return;
    if (FHostView && FHostView != view) {
        SaveColumnWidths(vsHost);
        FHostView->SetTreeCombo(nullptr);
    }
    setWindowTitle(MainCaption(pgctrlHost->tabText(index)));
    FHostView = view;
    FHostView->SetTreeCombo(cmboHostTree);
    FHostView->UpdateTreeCombo();
    reLog->Rebuild(FHostView->LogEntries().Lines());
    UpdateBusyIndicator();
    for (QAction *action : popHostViewStyle->actions())
        action->setChecked(action->data().toInt() == FHostView->ViewStyle());
    ViewUpdateState(FHostView, vsStatus, FHostView->SelectedCount());
    UpdateCloseButtons();
}

void TfrmMain::LocalTabChanged(int index)
{
    auto *view = qobject_cast<TLocalView *>(pgctrlLocal->widget(index));
    if (!view)
        return;
    if (FLocalView && FLocalView != view)
        SaveColumnWidths(vsLocal);
    FLocalView = view;
    for (QAction *action : popLocalViewStyle->actions())
        action->setChecked(action->data().toInt() == FLocalView->ViewStyle());
    ShowLocalFolderInCombo();
    UpdateLocalCommands(FLocalView->SelectedCount());
    UpdateCloseButtons();
}

void TfrmMain::LocalFolderChanged(TCustomView *sender)
{
    auto *view = qobject_cast<TLocalView *>(sender);
    const int index = pgctrlLocal->indexOf(view);
    if (index < 0)
        return;
    pgctrlLocal->setTabText(index, view->DisplayName());
    pgctrlLocal->setTabToolTip(index, view->GetFolder());
    if (view == FLocalView) {
        ShowLocalFolderInCombo();
        btnLocalUp->setEnabled(!view->IsAtRoot());
    }
}

void TfrmMain::ShowLocalFolderInCombo()
{
    if (!FLocalView)
        return;
    const QString folder = QDir::toNativeSeparators(FLocalView->GetFolder());
    if (cmboLocalTree->findText(folder) < 0)
        cmboLocalTree->insertItem(0, folder);
    cmboLocalTree->setCurrentText(folder);
}

void TfrmMain::HostLog(THostView *sender, const QString &message, const QColor &color)
{
    if (sender == FHostView)
        reLog->AddLine(message, color);
}

void TfrmMain::UpdateCloseButtons()
{
    btnHostCloseView->setEnabled(pgctrlHost->count() > 1);
    btnLocalCloseView->setEnabled(pgctrlLocal->count() > 1);
}

// ---------------------------------------------------------------- status

void TfrmMain::ViewUpdateState(TCustomView *sender, int state, int count)
{
    auto *hostSender = qobject_cast<THostView *>(sender);
    if (sender && !hostSender) {
        // Local views report their selection.
        if (sender == FLocalView)
            UpdateLocalCommands(count);
        return;
    }

    const TStatusReaction reaction = ReactToStatus(state, FExitWhenDone);
    // Errors met while the selection is walked belong to its transfers.
    if (FBatch && hostSender && hostSender == FHostView && !hostSender->TransferringSelection())
        FBatch->HostStatus(state, hostSender->LastError());
    if (hostSender && reaction.Busy != TBusyChange::None)
        hostSender->SetAnimating(reaction.Busy == TBusyChange::Set);
    if (reaction.ConnectedDelta > 0)
        FConnectedViews.Increase(pgctrlHost->count());
    else if (reaction.ConnectedDelta < 0)
        FConnectedViews.Decrease();
    cmboHostTree->setEnabled(FConnectedViews.ComboEnabled());
    if (reaction.ShowDisconnected && hostSender) {
        const int index = pgctrlHost->indexOf(hostSender);
        if (index >= 0)
            pgctrlHost->setTabText(index, DisconnectedCaption());
        if (hostSender == FHostView)
            setWindowTitle(MainCaption(DisconnectedCaption()));
    }
    if (reaction.Sound)
        PlayEventSound(*reaction.Sound);

    UpdateBusyIndicator();
    UpdateRemoteCommands();
    if (FLocalView)
        UpdateLocalCommands(FLocalView->SelectedCount());

    if (reaction.CloseWindow && FBatch)
        FBatch->QueueIdle(FQueue);
    CloseWhenBatchFinished();
}

void TfrmMain::UpdateRemoteCommands()
{
    if (!FHostView)
        return;
    TRemoteViewState state;
    state.Connected = FHostView->Connected();
    state.Busy = FHostView->Animating();
    state.EngineWorking = FHostView->EngineBusy();
    state.Selected = FHostView->SelectedCount();
    state.AtTopFolder = cmboHostTree->AtTop();
    FRemoteCommands = RemoteCommandsFor(state);

    btnHostUp->setEnabled(FRemoteCommands.UpOneLevel);
    btnStop->setEnabled(FRemoteCommands.Stop);
    mnuStop->setEnabled(FRemoteCommands.Stop);
    btnDisconnect->setEnabled(FRemoteCommands.Disconnect);
    mnuDisconnect->setEnabled(FRemoteCommands.Disconnect);
    for (QWidget *widget : std::initializer_list<QWidget *>{btnHostRefresh, btnHostChangeFolder, btnHostViewStyle})
        widget->setEnabled(FRemoteCommands.FolderCommands);
    mnuServerRefresh->setEnabled(FRemoteCommands.FolderCommands);
    // These commands come with later parts of the views; they stay off until then.
    for (QAction *action : {mnuServerEdit, mnuServerNewFolder, mnuServerRename, mnuServerErase,
                            mnuServerMask, mnuServerProperties})
        action->setEnabled(false);
}

void TfrmMain::UpdateLocalCommands(int selected)
{
    FLocalCommands = LocalCommandsFor(selected, FHostView && FHostView->Connected());
}

void TfrmMain::UpdateBusyIndicator()
{
    const bool busy = FHostView && FHostView->Animating();
    if (busy) {
        aniBusy->move((pgctrlHost->width() - aniBusy->width()) / 2, (pgctrlHost->height() - aniBusy->height()) / 2);
        aniBusy->raise();
    }
    aniBusy->setVisible(busy);
}

bool TfrmMain::BusyIndicatorShown() const
{
    return !aniBusy->isHidden();
}

void TfrmMain::PlayEventSound(TOptionId sound) const
{
    if (FOptions && FOptions->Bool(oiSoundsEnabled))
        PlaySoundFile(FOptions->Text(sound));
}

// ---------------------------------------------------------------- commands

void TfrmMain::StopClick()
{
    if (FHostView)
        FHostView->Stop();
}

void TfrmMain::DisconnectClick()
{
    if (FHostView)
        FHostView->Disconnect();
}

void TfrmMain::HostNewViewClick()
{
    THostView *old = FHostView;
    const bool wasConnected = old && old->Connected();
    const QString caption = pgctrlHost->tabText(pgctrlHost->currentIndex());
    const TFTPComponent &engine = old->FTP();
    const QString host = QString::fromStdString(engine.Host());
    const int port = engine.Port();
    const QString user = QString::fromStdString(engine.UserName());
    const QString password = QString::fromStdString(engine.Password());
    const QString account = QString::fromStdString(engine.Account());
    const QString folder = old->GetFolder();

    THostView *view = NewHostView();
    if (!wasConnected)
        return; // would open the site manager, which is not built yet
    pgctrlHost->setTabText(pgctrlHost->indexOf(view), caption);
    setWindowTitle(MainCaption(caption));
    view->Connect(host, port, user, password, account, folder, QString());
}

void TfrmMain::HostCloseViewClick()
{
    if (pgctrlHost->count() <= 1)
        return;
    const int closed = pgctrlHost->currentIndex();
    auto *view = qobject_cast<THostView *>(pgctrlHost->widget(closed));
    DetachHostView(view);
    // Its Disconnect will not reach this window any more.
    if (view->Connected())
        FConnectedViews.Decrease();
    view->SetTreeCombo(nullptr);
    FHostView = nullptr;
    {
        const QSignalBlocker blocker(pgctrlHost);
        pgctrlHost->removeTab(closed);
    }
    pgctrlHost->setCurrentIndex(RemoteTabAfterClose(closed));
    HostTabChanged(pgctrlHost->currentIndex());
    delete view;
    cmboHostTree->setEnabled(FConnectedViews.ComboEnabled());
}

void TfrmMain::LocalNewViewClick()
{
    NewLocalView();
}

void TfrmMain::LocalCloseViewClick()
{
    const int count = pgctrlLocal->count();
    if (count <= 1)
        return;
    const int closed = pgctrlLocal->currentIndex();
    QWidget *view = pgctrlLocal->widget(closed);
    FLocalView = nullptr;
    {
        const QSignalBlocker blocker(pgctrlLocal);
        pgctrlLocal->removeTab(closed);
    }
    pgctrlLocal->setCurrentIndex(LocalTabAfterClose(closed, count));
    LocalTabChanged(pgctrlLocal->currentIndex());
    delete view;
}

void TfrmMain::HostRefreshClick()
{
    if (FHostView && FRemoteCommands.FolderCommands)
        FHostView->Refresh();
}

void TfrmMain::LocalRefreshClick()
{
    if (FLocalView)
        FLocalView->Refresh();
}

void TfrmMain::HostUpClick()
{
    if (FHostView && FRemoteCommands.UpOneLevel)
        FHostView->FolderUp();
}

void TfrmMain::LocalUpClick()
{
    if (FLocalView)
        FLocalView->FolderUp();
}

void TfrmMain::HostChangeFolderClick()
{
    if (!FHostView || !FRemoteCommands.FolderCommands)
        return;
    const QString current = FHostView->GetFolder();
    bool ok = false;
    const QString folder = QInputDialog::getText(this, tr("Open Folder"),
                                                 tr("Enter the path of a folder you want to open"),
                                                 QLineEdit::Normal, current, &ok);
    if (ok && folder != current)
        FHostView->ChangeFolder(folder);
}

void TfrmMain::LocalChangeFolderClick()
{
    if (!FLocalView)
        return;
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Select Folder to View"),
                                                             FLocalView->GetFolder());
    if (!folder.isEmpty())
        FLocalView->ChangeFolder(folder);
}

TCustomView *TfrmMain::FocusedView() const
{
    if (FLocalView && FLocalView->ListHasFocus())
        return FLocalView;
    if (FHostView && FHostView->ListHasFocus())
        return FHostView;
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

void TfrmMain::SetHostViewStyle(int style)
{
    if (!FHostView || style < 0 || style > 3)
        return;
    FHostView->SetViewStyle(style);
    for (QAction *action : popHostViewStyle->actions())
        action->setChecked(action->data().toInt() == style);
}

void TfrmMain::SetLocalViewStyle(int style)
{
    if (!FLocalView || style < 0 || style > 3)
        return;
    FLocalView->SetViewStyle(style);
    for (QAction *action : popLocalViewStyle->actions())
        action->setChecked(action->data().toInt() == style);
}

bool TfrmMain::LogShown() const
{
    return !reLog->isHidden();
}

int TfrmMain::TopPanelHeight() const
{
    return pnlTop->height();
}

int TfrmMain::ToolbarHeight() const
{
    return pnlToolbar->height();
}

void TfrmMain::SetLogShown(bool shown)
{
    if (shown == LogShown())
        return;
    const QSignalBlocker blocker(btnShowLog);
    btnShowLog->setChecked(shown);
    mnuShowLog->setChecked(shown);
    if (shown) {
        reLog->show();
        pnlTop->setFixedHeight(ToolbarHeight() + kToolbarBar + std::max(FRememberedLogHeight, 12));
    } else {
        FRememberedLogHeight = RememberedLogHeight(reLog->height());
        reLog->hide();
        pnlTop->setFixedHeight(ToolbarHeight() + kToolbarBar);
    }
}

bool TfrmMain::HostViewMaximized() const
{
    return pnlLocal->isHidden();
}

void TfrmMain::SetHostViewMaximized(bool maximized)
{
    pnlLocal->setVisible(!maximized);
    pnlCentre->setVisible(!maximized);
    pnlHostSpacer->setVisible(!maximized);
    btnMaximizeHost->setChecked(maximized);
    mnuMaximizeHost->setChecked(maximized);
}

void TfrmMain::SetLargeToolbar(bool large)
{
    const int height = large ? kToolbarLarge : kToolbarSmall;
    const int logPart = pnlTop->height() - ToolbarHeight();
    pnlToolbar->setFixedHeight(height);
    for (QToolButton *button : pnlToolbar->findChildren<QToolButton *>()) {
        button->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        button->setFixedSize(large ? QSize(62, 58) : QSize(36, 30));
        // The large toolbar carries the captions and needs no hints.
        button->setToolTip(large ? QString() : button->text());
    }
    pnlTop->setFixedHeight(height + std::max(logPart, kToolbarBar));
}

void TfrmMain::DragTopPanel(QPoint delta)
{
    const int limit = centralWidget()->height() - kSplitterSize - kSideBarHeight;
    const TTopPanelDrag drag = TopPanelAfterDrag(FTopDragStart, delta.y(), ToolbarHeight(), limit);
    const QSignalBlocker blocker(btnShowLog);
    reLog->setVisible(drag.LogShown);
    btnShowLog->setChecked(drag.LogShown);
    mnuShowLog->setChecked(drag.LogShown);
    pnlTop->setFixedHeight(drag.Height);
}

void TfrmMain::DragCentre(QPoint delta)
{
    pnlLocal->setFixedWidth(LocalWidthAfterDrag(FCentreDragStart, delta.x(), kToolColumnWidth,
                                                pnlViews->width(), kCentreWidth, kToolColumnWidth));
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pnlViews && event->type() == QEvent::Resize && pnlLocal) {
        const auto *resize = static_cast<QResizeEvent *>(event);
        if (resize->oldSize().width() > 0)
            pnlLocal->setFixedWidth(LocalWidthAfterResize(pnlLocal->width(), resize->oldSize().width(),
                                                          resize->size().width(), kToolColumnWidth, kCentreWidth,
                                                          kToolColumnWidth));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::DragToolbar(QPoint delta)
{
    const int height = ToolbarHeightAfterDrag(FToolbarDragStart, FToolbarDragStart + delta.y());
    if (height != ToolbarHeight())
        SetLargeToolbar(height == kToolbarLarge);
}

void TfrmMain::ShowTransferManager(bool shown)
{
    if (FTransferManager)
        FTransferManager->setVisible(shown);
}

void TfrmMain::ShowPreferences()
{
    if (TfrmOptions(*FOptions, this).Edit())
        FQueue.SetSettings(FOptions->TransferSettings());
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
    if (FLocalView)
        FLocalView->ChangeFolder(folder);
    // The views panel is not laid out yet; the window's width is what it will have.
    pnlLocal->setFixedWidth(std::max((width() - kCentreWidth) / 2, 2 * kToolColumnWidth));
}

void TfrmMain::FormActivate()
{
    if (FActivated)
        return;
    FActivated = true;
    RunCommandLine();
}

void TfrmMain::PromptPassword(QString &password)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(this, tr("Password"), tr("Password:"), QLineEdit::Password,
                                                QString(), &ok);
    if (ok)
        password = typed;
}

void TfrmMain::RunCommandLine()
{
    const QString localFolder = FLocalView ? FLocalView->GetFolder() : QDir::currentPath();
    TConnectionSwitches switches = ReadConnectionSwitches(FArguments, localFolder);
    FExitWhenDone = switches.ExitWhenDone;
    if (FExitWhenDone) {
        FBatch = std::make_unique<TBatchRun>(WriteToStandardError);
        FBatchQuestions = std::make_unique<TBatchQuestions>(WriteToStandardError);
    }
    // Nobody would answer the prompt in a run that ends by itself.
    if (ResolveCommandLinePassword(switches, FOptions->EMail(), FOptions->Bool(oiPromptForPass)) && !FBatch)
        PromptPassword(switches.Password);
    const bool filesGiven = !switches.ReceiveList.isEmpty() || !switches.SendList.isEmpty();
    if (switches.Host.isEmpty()) {
        // With "ShowManager" the site manager would open here; it is not built yet.
        if (FBatch && filesGiven) {
            FBatch->Failed(QStringLiteral("No host to transfer the files with: give one with -c"),
                           bxNoConnection);
            EndBatchWhenIdle();
        }
        return;
    }

    const bool queuedDownloads = QueueCommandLineTransfers(switches);
    const bool selects = !queuedDownloads && !switches.ReceiveList.isEmpty();
    if (FBatch && selects) {
        const QString address = switches.Port == 21
                                    ? switches.Host
                                    : QStringLiteral("%1:%2").arg(switches.Host).arg(switches.Port);
        FBatch->AwaitSelection(address, switches.ReceiveList.join(QLatin1Char(';')));
        FHostView->SetQuestions(FBatchQuestions.get());
        connect(FHostView, &THostView::NamesSelected, this, &TfrmMain::BatchSelectionMade);
    }
    // Without a file to transfer a run with "-x" is the user's until they transfer some.
    if (filesGiven)
        EndBatchWhenIdle();
    if (queuedDownloads)
        return;
    if (FLocalView)
        FLocalView->ChangeFolder(switches.LocalFolder);
    // Named after the host, as a connection to a URL is.
    pgctrlHost->setTabText(pgctrlHost->indexOf(FHostView), switches.Host);
    setWindowTitle(MainCaption(switches.Host));
    FHostView->Connect(switches.Host, switches.Port, switches.UserName, switches.Password, switches.Account,
                       switches.HostFolder, switches.ReceiveList.join(QLatin1Char(';')));
}

bool TfrmMain::QueueCommandLineTransfers(const TConnectionSwitches &switches)
{
    const auto makeItem = [&](const TCommandLineTransfer &transfer, TTransferDirection direction) {
        auto item = std::make_unique<TTransferItem>();
        item->Host = switches.Host.toStdString();
        item->Port = switches.Port;
        item->UserName = switches.UserName.toStdString();
        item->Password = switches.Password.toStdString();
        item->Account = switches.Account.toStdString();
        const std::string remote = transfer.RemoteFolder.toStdString();
        const std::string local = transfer.LocalFolder.toStdString();
        item->SourceFolder = direction == tdDownload ? remote : local;
        item->DestFolder = direction == tdDownload ? local : remote;
        item->Name = transfer.FileName.toStdString();
        item->Size = transfer.Size;
        item->Date = transfer.Date;
        item->Direction = direction;
        // A duplicate is refused with a message and stays with us, to be freed here.
        FQueue.Add(item);
    };

    // One run: a name refused at once must not end it before the others are queued.
    const TTransferItems::TRunHold hold(FQueue);
    bool queuedDownloads = false;
    if (!switches.ReceiveList.isEmpty() && !HasWildcards(switches.ReceiveList)) {
        for (const TCommandLineTransfer &transfer : CommandLineDownloads(switches))
            makeItem(transfer, tdDownload);
        queuedDownloads = true;
    }
    QStringList unreadable;
    const std::vector<TCommandLineTransfer> uploads = CommandLineUploads(switches, &unreadable);
    for (const TCommandLineTransfer &transfer : uploads)
        makeItem(transfer, tdUpload);
    // Skipped without a word when a user watches; a script must learn of it.
    if (FBatch) {
        for (const QString &file : unreadable)
            FBatch->Failed(QStringLiteral("Cannot read \"%1\": not sent").arg(file), bxTransferFailed);
    }
    if (FQueue.CountOf(tsPending) > 0) {
        if (mnuShowTransferInfo->isChecked())
            ShowProgressWindow();
        FQueue.ProcessNext();
    }
    return queuedDownloads;
}

void TfrmMain::BatchSelectionMade(THostView *view, int matched)
{
    FBatch->SelectionMade(matched, view->GetFolder());
    EndBatchWhenIdle();
}

// A batch run whose queue has nothing to do (nothing was queued, or all of it has ended)
// ends now: no end of a run will be reported.
void TfrmMain::EndBatchWhenIdle()
{
    if (FBatch && FQueue.IsIdle())
        FBatch->QueueIdle(FQueue);
    CloseWhenBatchFinished();
}

void TfrmMain::CloseWhenBatchFinished()
{
    if (!FBatch || !FBatch->Finished() || FBatchClosing)
        return;
    FBatchClosing = true;
    // Closing from inside a notification would free the sender under its own feet.
    QTimer::singleShot(0, this, &QWidget::close);
}

int TfrmMain::ExitCode() const
{
    return FBatch ? FBatch->ExitCode() : 0;
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FClosed) {
        FClosed = true;
        // Whatever had not arrived when the user closed the window counts as failed.
        if (FBatch)
            FBatch->Interrupt(FQueue);
        FormClose();
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::FormClose()
{
    if (FHostView)
        DetachHostView(FHostView);

    if (FOptions && FOptions->Bool(oiLogToFile)) {
        QString error;
        if (!reLog->SaveToFile(FOptions->LogFile(), &error))
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
    if (FLocalView)
        FState.LocalViewStyle = FLocalView->ViewStyle();
    if (FHostView)
        FState.HostViewStyle = FHostView->ViewStyle();
    FState.LogHeight = pnlTop->height();
    FStore->Save(FState, FLastSites);
    SaveColumnWidths(vsLocal);
    SaveColumnWidths(vsHost);
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
    return mnuShowTransferInfo->isChecked();
}

void TfrmMain::ShowProgressWindow()
{
    if (FProgressWindow && !FClosed)
        FProgressWindow->show();
}

void TfrmMain::ShowMessage(const QString &text)
{
    if (FBatch) {
        WriteToStandardError(text);
        return;
    }
    QMessageBox::information(this, tr("Ferrow"), text);
}
