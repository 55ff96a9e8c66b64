#pragma once

#include "app/CommandRules.h"
#include "app/Options.h"
#include "app/WindowState.h"
#include "transfers/Transfer.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QToolButton;
class QWidget;
class TCustomView;
class TDragBar;
class THostView;
class TLocalView;
class TMessageWindow;
class TQuestionWindows;
class TTreeCombo;
class TBatchQuestions;
class TBatchRun;
struct TConnectionSwitches;

// The main window: the toolbar and the message window at the top, local views on the
// left and remote views on the right, each side a row of tabs, and the commands that
// drive them. It follows the active remote view through the views' state codes.
class TfrmMain : public QMainWindow, public TTransferHost
{
    Q_OBJECT

public:
    // `arguments` are the process arguments without the program name. The window
    // restores its state from `store` and creates the long-lived windows after itself.
    TfrmMain(const QStringList &arguments, TTransferItems &queue,
             std::unique_ptr<TWindowStateStore> store = std::make_unique<TWindowStateStore>(),
             QWidget *parent = nullptr);
    ~TfrmMain() override;

    // "-?" was given: the usage window is shown instead of this window.
    bool UsageRequested() const { return FUsageRequested; }
    // Shows the window in the stored state (normal, minimised or maximised).
    void ShowInStoredState();
    // Brings the window forward when another copy of the program asks for it.
    void BringToFront();

    const QString &IniFileName() const { return FIniFileName; }
    const QString &SitesFileName() const { return FSitesFileName; }
    bool ExitWhenDone() const { return FExitWhenDone; }
    // The program's exit code: a run started with "-x" tells whether everything arrived.
    int ExitCode() const;
    TOptions &Options() { return *FOptions; }
    TTransferItems &Queue() { return FQueue; }

    // The views and the tabs, for the commands and for tests.
    THostView *ActiveHostView() const { return FHostView; }
    TLocalView *ActiveLocalView() const { return FLocalView; }
    QTabWidget *HostTabs() const { return pgctrlHost; }
    QTabWidget *LocalTabs() const { return pgctrlLocal; }
    TMessageWindow *MessageWindow() const { return reLog; }
    TTreeCombo *HostTreeCombo() const { return cmboHostTree; }
    const TRemoteCommands &RemoteCommands() const { return FRemoteCommands; }
    const TLocalCommands &LocalCommands() const { return FLocalCommands; }
    const TConnectedViews &ConnectedViews() const { return FConnectedViews; }
    bool BusyIndicatorShown() const;
    bool LogShown() const;
    bool HostViewMaximized() const;
    int TopPanelHeight() const;
    int ToolbarHeight() const;
    const TLastConnections &LastConnections() const { return FLastSites; }
    QAction *StopAction() const { return mnuStop; }
    QAction *DisconnectAction() const { return mnuDisconnect; }

    THostView *NewHostView();
    TLocalView *NewLocalView();
    void SaveColumnWidths(TViewSide side);
    void LoadColumnWidths(TViewSide side);
    void AddLastConnection(const QString &siteName);

    // Commands.
    void StopClick();
    void DisconnectClick();
    void HostNewViewClick();
    void HostCloseViewClick();
    void LocalNewViewClick();
    void LocalCloseViewClick();
    void HostRefreshClick();
    void LocalRefreshClick();
    void HostUpClick();
    void LocalUpClick();
    void HostChangeFolderClick();
    void LocalChangeFolderClick();
    void SelectAllClick();
    void InvertSelectionClick();
    void SetHostViewStyle(int style);
    void SetLocalViewStyle(int style);
    void SetLogShown(bool shown);
    void SetHostViewMaximized(bool maximized);
    void SetLargeToolbar(bool large);

    // The status handler of every view and of the progress window.
    void ViewUpdateState(TCustomView *sender, int state, int count);

    // TTransferHost
    void SetApplicationTitle(const QString &title) override;
    void SetStatusText(const QString &text) override;
    bool ShowTransferInfo() const override;
    void ShowProgressWindow() override;
    void ShowMessage(const QString &text) override;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // The views panel's width changes share out between both sides.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormActivate();
    void FormClose();
    void CreateLayout();
    void CreateMenus();
    void CreateLongLivedWindows();
    QWidget *CreateToolbar();
    QWidget *CreateSide(bool host);
    void RunCommandLine();
    bool QueueCommandLineTransfers(const TConnectionSwitches &switches);
    void BatchSelectionMade(THostView *view, int matched);
    void EndBatchWhenIdle();
    void CloseWhenBatchFinished();

    void HostTabChanged(int index);
    void LocalTabChanged(int index);
    void AttachHostView(THostView *view);
    void DetachHostView(THostView *view);
    void AttachLocalView(TLocalView *view);
    void HostLog(THostView *sender, const QString &message, const QColor &color);
    void LocalFolderChanged(TCustomView *sender);
    void UpdateRemoteCommands();
    void UpdateLocalCommands(int selected);
    void UpdateBusyIndicator();
    void UpdateCloseButtons();
    void PlayEventSound(TOptionId sound) const;
    void ShowLocalFolderInCombo();
    TCustomView *FocusedView() const;
    QString ActiveHostCaption() const;
    void DragTopPanel(QPoint delta);
    void DragCentre(QPoint delta);
    void DragToolbar(QPoint delta);
    void ShowTransferManager(bool shown);
    void ShowPreferences();
    void PromptPassword(QString &password);

    TTransferItems &FQueue;
    std::unique_ptr<TWindowStateStore> FStore;
    const QStringList FArguments;
    TMainWindowState FState;

    // Part of the program's state, in the order it is set up.
    QString FIniFileName;
    QString FSitesFileName;
    QString FProgramFolder;
    QString FHtmlEditor;
    TLastConnections FLastSites;
    THostView *FHostView = nullptr;
    TLocalView *FLocalView = nullptr;
    // Asks every remote view's overwrite and restart questions.
    std::unique_ptr<TQuestionWindows> FQuestions;
    bool FActivated = false;
    bool FExitWhenDone = false;
    // Only in a run started with "-x".
    std::unique_ptr<TBatchRun> FBatch;
    std::unique_ptr<TBatchQuestions> FBatchQuestions;
    bool FBatchClosing = false;
    bool FUsageRequested = false;
    bool FShown = false;
    bool FClosed = false;

    TConnectedViews FConnectedViews;
    TRemoteCommands FRemoteCommands;
    TLocalCommands FLocalCommands;
    int FRememberedLogHeight = 0;
    int FTopDragStart = 0;
    int FCentreDragStart = 0;
    int FToolbarDragStart = 0;

    // The long-lived windows, created after this one in this order.
    std::unique_ptr<TOptions> FOptions;
    std::unique_ptr<QWidget> FProgressWindow;
    std::unique_ptr<QWidget> FTransferManager;

    // Top panel.
    QWidget *pnlTop = nullptr;
    QWidget *pnlToolbar = nullptr;
    TDragBar *barToolbar = nullptr;
    TMessageWindow *reLog = nullptr;
    TDragBar *splTop = nullptr;
    QToolButton *btnConnect = nullptr;
    QToolButton *btnConnectURL = nullptr;
    QToolButton *btnStop = nullptr;
    QToolButton *btnDisconnect = nullptr;
    QToolButton *btnDisconnectTransfer = nullptr;
    QToolButton *btnTransferManager = nullptr;
    QToolButton *btnMaximizeHost = nullptr;
    QToolButton *btnShowLog = nullptr;
    QToolButton *btnShowViewer = nullptr;
    QLabel *aviActivity = nullptr;

    // Views panel.
    QWidget *pnlViews = nullptr;
    QWidget *pnlLocal = nullptr;
    TDragBar *pnlCentre = nullptr;
    QWidget *pnlHost = nullptr;
    QWidget *pnlHostSpacer = nullptr;
    QWidget *pnlLocalTools = nullptr;
    QWidget *pnlHostTools = nullptr;
    QComboBox *cmboLocalTree = nullptr;
    TTreeCombo *cmboHostTree = nullptr;
    QTabWidget *pgctrlLocal = nullptr;
    QTabWidget *pgctrlHost = nullptr;
    QProgressBar *aniBusy = nullptr;
    QToolButton *btnLocalUp = nullptr, *btnLocalChangeFolder = nullptr, *btnLocalViewStyle = nullptr;
    QToolButton *btnLocalNewView = nullptr, *btnLocalCloseView = nullptr;
    QToolButton *btnLocalEdit = nullptr, *btnLocalRefresh = nullptr, *btnLocalNewFolder = nullptr;
    QToolButton *btnLocalRename = nullptr, *btnLocalDelete = nullptr, *btnLocalMask = nullptr;
    QToolButton *btnHostUp = nullptr, *btnHostChangeFolder = nullptr, *btnHostViewStyle = nullptr;
    QToolButton *btnHostNewView = nullptr, *btnHostCloseView = nullptr;
    QToolButton *btnHostEdit = nullptr, *btnHostRefresh = nullptr, *btnHostNewFolder = nullptr;
    QToolButton *btnHostRename = nullptr, *btnHostDelete = nullptr, *btnHostMask = nullptr;
    QToolButton *btnUpload = nullptr, *btnDownload = nullptr;
    QMenu *popLocalViewStyle = nullptr;
    QMenu *popHostViewStyle = nullptr;
    QLabel *lblStatus0 = nullptr;
    QLabel *lblStatus1 = nullptr;

    // Menus.
    QAction *mnuConnect = nullptr, *mnuConnectURL = nullptr, *mnuStop = nullptr;
    QAction *mnuDisconnect = nullptr, *mnuDisconnectTransfer = nullptr, *mnuExit = nullptr;
    QMenu *mnuLastConnections = nullptr;
    QAction *mnuLastSites[TLastConnections::Count] = {};
    QAction *mnuCompare = nullptr, *mnuSelectAll = nullptr, *mnuInvertSelection = nullptr;
    QAction *mnuLocalRefresh = nullptr, *mnuLocalErase = nullptr, *mnuLocalRename = nullptr;
    QAction *mnuLocalProperties = nullptr;
    QAction *mnuServerEdit = nullptr, *mnuServerRefresh = nullptr, *mnuServerNewFolder = nullptr;
    QAction *mnuServerRename = nullptr, *mnuServerErase = nullptr, *mnuServerMask = nullptr;
    QAction *mnuServerProperties = nullptr;
    QAction *mnuPreferences = nullptr, *mnuShowTransferManager = nullptr, *mnuMaximizeHost = nullptr;
    QAction *mnuShowLog = nullptr, *mnuShowViewer = nullptr, *mnuShowTransferInfo = nullptr;
};
