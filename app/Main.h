#pragma once

#include "app/Actions.h"
#include "app/Launcher.h"
#include "app/CommandRules.h"
#include "app/Options.h"
#include "app/WindowState.h"
#include "transfers/Transfer.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class TRemotePopup;
class TLocalPopup;
class QTabWidget;
class TCustomView;
class TCommandLineRun;
class TDragBar;
class TfrmManager;
class TfrmURL;
class THintSwitch;
struct TConnectRequest;
class TFetchedFiles;
class TInternalViewer;
class THostView;
class TLocalView;
class TMessageWindow;
class TQuestionWindows;
class TSidePanel;
class TTopPanel;
class TfrmTransfer;
class TfrmTransferMngr;
class TViewsPanel;
class TTreeCombo;
class TViewTabs;

// The main window: the toolbar and the message window at the top, the local side on the
// left and the remote side on the right, each a row of view tabs. It composes the sides,
// their tabs and the commands, and routes the views' status reports to the enabling
// rules; it follows the active remote view through the views' state codes.
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
    bool ExitWhenDone() const;
    // The program's exit code: a run started with "-x" tells whether everything arrived.
    int ExitCode() const;
    TOptions &Options() { return *FOptions; }
    TTransferItems &Queue() { return FQueue; }

    // The views and the tabs, for the commands and for tests.
    THostView *ActiveHostView() const;
    TLocalView *ActiveLocalView() const;
    QTabWidget *HostTabs() const;
    QTabWidget *LocalTabs() const;
    TMessageWindow *MessageWindow() const;
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
    QAction *StopAction() const { return FActions->Action(TCommand::Stop); }
    QAction *Action(TCommand command) const { return FActions->Action(command); }
    TfrmTransfer *ProgressWindow() const { return FProgressWindow.get(); }
    TfrmTransferMngr *TransferManager() const { return FTransferManager.get(); }

    // `engine`: see THostView's constructor.
    THostView *NewHostView(std::unique_ptr<TFTPComponent> engine = nullptr);
    TLocalView *NewLocalView();
    void AddLastConnection(const QString &siteName);
    // The active remote tab's caption, and through it the window's.
    void SetHostCaption(const QString &caption);

    // MainConnect.cpp: opening connections. Connect and Connect to URL open their
    // window and return; the connection starts when the user confirms it.
    void ConnectClick();
    void ConnectURLClick();
    void LastConnectionClick(int slot);
    // Every http:// URL the user opens goes here.
    void OpenHttpUrl(const QString &url);
    // Shows a local folder on a tab of its own (or the tab already showing it); false
    // when the folder does not exist.
    bool OpenLocalFolder(const QString &path, bool activate);
    // The site manager and the URL dialog while they are open.
    TfrmManager *SiteManager() const;
    TfrmURL *URLForm() const;

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
    void HostNewFolderClick();
    void LocalChangeFolderClick();
    void SelectAllClick();
    void InvertSelectionClick();
    void CompareClick();
    void SetHostViewStyle(int style);
    void SetLocalViewStyle(int style);
    void SetLogShown(bool shown);
    void SetHostViewMaximized(bool maximized);
    void SetLargeToolbar(bool large);

    // MainSendTo.cpp: the remote pop-up's Send To entries.
    void SendToHostClick();
    void SendToLocalClick();
    void SendToClipboardClick(bool urls);
    // Chooses the folder Any Local Folder... (Copy) downloads into, empty when cancelled;
    // a folder-browse dialog unless replaced (tests).
    std::function<QString(const QString &title, const QString &start)> ChooseDestinationFolder;

    // MainViewer.cpp: masks, the internal viewer, other programs and help.
    TInternalViewer *Viewer() const;
    bool ViewerShown() const;
    void SetViewerShown(bool shown);
    // Shows a web page in the internal viewer (an http:// URL of the URL dialog).
    void ShowInViewer(const QUrl &url);
    bool ActivityShown() const;
    // The top panel's height, as dragging the bar under it sets it.
    void SetTopPanelHeight(int height);
    void LocalMaskClick();
    void HostMaskClick();
    void LocalEditClick(bool editor);
    // MainLocal.cpp: the local side's file commands, on the active local view.
    void LocalNewFolderClick();
    void LocalRenameClick();
    void LocalDeleteClick();
    void LocalCutClick();
    void LocalCopyClick();
    void LocalPasteClick();
    void LocalPropertiesClick();
    // The local list's pop-up, made on first use; its entries follow the active view.
    TLocalPopup &LocalPopup();
    void HostFetchClick(int mode);
    void HelpContentsClick();
    // The remote view's fetched copies.
    TFetchedFiles &FetchedFiles() const { return *FFetchedFiles; }

    // The status handler of every view and of the progress window.
    void ViewUpdateState(TCustomView *sender, int state, int count);

    // TTransferHost
    void SetApplicationTitle(const QString &title) override;
    void SetStatusText(const QString &text) override;
    bool ShowTransferInfo() const override;
    void ShowProgressWindow() override;
    void ShowMessage(const QString &text) override;
    void StartActivity() override;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Every widget's Tab comes here: the stops are the window's own, not creation order.
    bool focusNextPrevChild(bool next) override;

private:
    // MainCommands.cpp: the command table, the menus and the commands' own steps.
    std::vector<TCommandRow> CommandTable();
    void CreateMenus();
    void ShowTransferManager(bool shown);
    void ShowTransferInfoChanged(bool shown);
    void ShowPreferences();
    // The options that take effect in the window at once.
    void ApplyWindowOptions();
    void ShowAbout();
    TCustomView *FocusedView() const;
    // MainViewer.cpp.
    void CreateViewerCommands();
    void UpdateEditEntries(TViewSide side);
    void FileOpened(TCustomView *sender, const QModelIndex &item);
    void ViewerFollowSelection(TCustomView *sender);
    QUrl RemoteEntryUrl(const QModelIndex &item) const;
    QString ViewerProgram() const;
    void ConnectViewerAndLaunches(TCustomView *view);

    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormActivate();
    void FormClose();
    void CreateLayout();
    void CreateLongLivedWindows();

    void HostViewActivated(TCustomView *previous, TCustomView *current);
    void LocalViewActivated(TCustomView *current);
    void HostViewClosing(TCustomView *view);
    void HostLog(THostView *sender, const QString &message, const QColor &color);
    void LocalFolderShown(TCustomView *sender);
    // The remote list's pop-up, made on first use; its entries follow the active view.
    TRemotePopup &HostPopup();
    void CreateHostPopup();
    void ShowHostPopup(const QPoint &globalPos);
    void CreateLocalCommands();
    void ShowLocalPopup(const QPoint &globalPos);
    void UpdateLocalPaste();
    void HostFileOpened();
    void ShowLocalFolderInCombo();
    void UpdateRemoteCommands();
    void UpdateLocalCommands(int selected);
    void UpdateCloseButtons();
    // The stops of the Tab key, from the local side through the centre to the remote
    // side and the log.
    QList<QWidget *> TabStops() const;
    void SetWindowCaption(const QString &tabCaption);
    void PlayEventSound(TOptionId sound) const;
    void DragTopPanel(QPoint delta);
    void ManagerClosed(int result);
    void URLFormClosed(int result);
    void OpenConnection(const TConnectRequest &request);

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
    // Asks every remote view's overwrite and restart questions.
    std::unique_ptr<TQuestionWindows> FQuestions;
    TScopedConnection FRestartsUnconfirmed;
    TCommandLineRun *FRun = nullptr;
    TLauncher FLauncher{this};
    TFetchedFiles *FFetchedFiles = nullptr;
    bool FActivated = false;
    bool FUsageRequested = false;
    bool FShown = false;
    bool FClosed = false;

    TConnectedViews FConnectedViews;
    TRemoteCommands FRemoteCommands;
    TLocalCommands FLocalCommands;
    int FTopDragStart = 0;

    // The long-lived windows, created after this one in this order.
    std::unique_ptr<TOptions> FOptions;
    std::unique_ptr<TfrmTransfer> FProgressWindow;
    std::unique_ptr<TfrmTransferMngr> FTransferManager;

    TActionRegistry *FActions = nullptr;
    // Freed first: the views' last reports must not reach a window that is half gone.
    std::unique_ptr<TViewTabs> FLocalTabs;
    std::unique_ptr<TViewTabs> FHostTabs;

    TTopPanel *pnlTop = nullptr;
    TDragBar *splTop = nullptr;
    TViewsPanel *pnlViews = nullptr;
    TSidePanel *pnlLocal = nullptr;
    TSidePanel *pnlHost = nullptr;
    QComboBox *cmboLocalTree = nullptr;
    TTreeCombo *cmboHostTree = nullptr;
    QLabel *lblStatus0 = nullptr;
    QLabel *lblStatus1 = nullptr;
    QMenu *mnuLastConnections = nullptr;
    TRemotePopup *popHost = nullptr;
    TLocalPopup *popLocal = nullptr;
    THintSwitch *FHints = nullptr;
    QAction *mnuLastSites[TLastConnections::Count] = {};
    // Open while the user chooses a connection.
    QPointer<TfrmManager> FManager;
    QPointer<TfrmURL> FURLForm;
};
