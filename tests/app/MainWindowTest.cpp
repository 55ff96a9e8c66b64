#include "app/Main.h"
#include "app/MessageWindow.h"
#include "app/ProgramIcon.h"
#include "app/RemotePopup.h"
#include "transfers/Confirm.h"
#include "transfers/Restart.h"
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/TreeCombo.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QApplication>
#include <QStatusBar>
#include <QScreen>
#include <QLabel>
#include <QInputDialog>
#include <QMenuBar>
#include <QToolButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;

namespace {

class MainWindowTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        QDir(FFolder.path()).mkdir("local");
    }

    QString LocalFolder() const { return Path("local"); }

    // Records every state code the view reports, beside the window, while `listener` lives.
    static void RecordStates(THostView *view, std::vector<int> &codes, const QObject &listener)
    {
        QObject::connect(view, &TCustomView::StateReported, &listener, [&codes](TCustomView *, int state, int) {
            if (state != vsStatus)
                codes.push_back(state);
        });
    }
};

class MainWindowServerTest : public MainWindowTest, public ::testing::WithParamInterface<TServerKind>
{
};

QString MessageText(const TfrmMain &window)
{
    return window.MessageWindow()->toPlainText();
}

// The view's stored lines as the message window shows them (a line may hold breaks).
QString LogText(const THostView &view)
{
    QStringList lines;
    for (const TViewLogLine &line : view.LogEntries().Lines())
        lines << line.Text;
    return lines.join('\n').remove('\r');
}

// The entry `caption` of the menu `title`.
QAction *MenuEntry(const TfrmMain &window, const QString &title, const QString &caption)
{
    for (const QAction *menu : window.menuBar()->actions()) {
        if (menu->text() != title || !menu->menu())
            continue;
        for (QAction *entry : menu->menu()->actions()) {
            if (entry->text() == caption)
                return entry;
        }
    }
    return nullptr;
}

// Every button of the window that shows `action`.
std::vector<QToolButton *> ButtonsOf(const TfrmMain &window, const QAction *action)
{
    std::vector<QToolButton *> buttons;
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        if (button->defaultAction() == action)
            buttons.push_back(button);
    }
    return buttons;
}

QColor MessageLineColor(const TfrmMain &window, int line)
{
    const QTextBlock block = window.MessageWindow()->document()->findBlockByNumber(line);
    return block.begin().fragment().charFormat().foreground().color();
}

} // namespace

TEST_P(MainWindowServerTest, CommandLineConnectsWithStateCodesInOrder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "hello");

    auto window = MakeWindow(ConnectArguments(*server));
    THostView *view = window->ActiveHostView();
    std::vector<int> codes;
    const QObject listener;
    RecordStates(view, codes, listener);
    EXPECT_FALSE(window->RemoteCommands().Disconnect);

    window->show();
    ASSERT_TRUE(WaitForListing(view)) << "no listing from " << server->KindName();
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(codes[0], vsBusy);
    EXPECT_EQ(codes[1], vsConnected);
    EXPECT_EQ(codes[2], vsLoggedIn);
    EXPECT_EQ(codes.back(), vsIdle);
    EXPECT_EQ(window->windowTitle(), "127.0.0.1 - Ferrow");
    EXPECT_EQ(window->ConnectedViews().Count(), 1);
    EXPECT_TRUE(window->HostTreeCombo()->isEnabled());
    EXPECT_FALSE(window->BusyIndicatorShown());
    EXPECT_TRUE(window->RemoteCommands().Disconnect);
    EXPECT_TRUE(window->RemoteCommands().FolderCommands);
    EXPECT_TRUE(window->StopAction()->isEnabled());
    EXPECT_TRUE(MessageText(*window).contains("230")) << "the login shows in the message window";

    // A menu entry and its button are one command: a status report sets both.
    QAction *disconnect = MenuEntry(*window, "&File", "&Disconnect");
    QAction *refresh = MenuEntry(*window, "&Server", "&Refresh");
    ASSERT_TRUE(disconnect && refresh);
    ASSERT_EQ(ButtonsOf(*window, disconnect).size(), 1u) << "the toolbar's Disconnect";
    ASSERT_EQ(ButtonsOf(*window, refresh).size(), 1u) << "the remote side's Refresh";
    for (const QAction *action : {disconnect, refresh})
        EXPECT_TRUE(action->isEnabled() && ButtonsOf(*window, action)[0]->isEnabled())
            << action->text().toStdString();

    codes.clear();
    window->DisconnectClick();
    ASSERT_TRUE(WaitUntil([&] { return !codes.empty() && codes.back() == vsDisconnected; }));
    EXPECT_EQ(window->windowTitle(), "Disconnected - Ferrow");
    EXPECT_EQ(window->HostTabs()->tabText(0), "Disconnected");
    EXPECT_EQ(window->ConnectedViews().Count(), 0);
    EXPECT_FALSE(window->HostTreeCombo()->isEnabled());
    EXPECT_FALSE(window->RemoteCommands().Disconnect);
    for (const QAction *action : {disconnect, refresh})
        EXPECT_FALSE(action->isEnabled() || ButtonsOf(*window, action)[0]->isEnabled())
            << action->text().toStdString();
    window->close();
}

TEST_P(MainWindowServerTest, WildcardReceiveListDownloadsWhatTheMaskSelects)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "alpha");
    server->PutFile("b.TXT", "beta");
    server->PutFile("c.bin", "gamma");

    auto window = MakeWindow(ConnectArguments(*server) << "-r" << "*.txt" << "-l" << LocalFolder());
    THostView *view = window->ActiveHostView();
    TCustomView *target = nullptr;
    view->SetTransferTarget(window.get(), [&](TCustomView *) -> TCustomView * {
        target = window->ActiveLocalView();
        return target;
    });
    window->show();
    ASSERT_TRUE(WaitForListing(view));
    ASSERT_TRUE(WaitUntil([&] { return target != nullptr; }));
    EXPECT_EQ(target, window->ActiveLocalView()) << "the selection goes to the local view";
    QStringList selected;
    for (const QModelIndex &item : view->SelectedItems())
        selected << view->GetItemName(item);
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"a.txt", "b.TXT"}));
    EXPECT_EQ(window->ActiveLocalView()->GetFolder(), LocalFolder() + '/');

    TTransferItems &queue = FTransfers.Queue();
    ASSERT_EQ(queue.Count(), 2) << "one download per selected file";
    ASSERT_TRUE(WaitUntil([&] { return queue.IsIdle(); }));
    EXPECT_EQ(queue.CountOf(tsDone), 2);
    EXPECT_EQ(ReadAll(LocalFolder() + "/a.txt"), "alpha");
    EXPECT_EQ(ReadAll(LocalFolder() + "/b.TXT"), "beta");
    EXPECT_FALSE(QFile::exists(LocalFolder() + "/c.bin"));
    window->close();
}

TEST_P(MainWindowServerTest, AnFtpLinkConnectsAndShowsItsFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("top.txt", "top");
    server->PutFile("dir/inner.txt", "inner");

    // What the desktop runs for a clicked link: the whole URL as one argument.
    const QString url = QStringLiteral("ftp://%1:%2@%3:%4/dir/")
                            .arg(QString::fromStdString(server->User()), QString::fromStdString(server->Password()),
                                 QString::fromStdString(server->Host()), QString::number(server->Port()));
    auto window = MakeWindow({url});
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(WaitForListing(view)) << "no listing from " << server->KindName();
    EXPECT_EQ(view->GetFolder(), "/dir/");
    QStringList names;
    for (int i = 0; i < view->ItemCount(); ++i)
        names << view->GetItemName(view->ListView()->Item(i));
    EXPECT_TRUE(names.contains("inner.txt")) << names.join(", ").toStdString();
    EXPECT_FALSE(names.contains("top.txt"));
    EXPECT_EQ(window->windowTitle(), "127.0.0.1 - Ferrow");
    window->close();
}

TEST_P(MainWindowServerTest, DownloadedFilesShowAsTheyAreOnDisk)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("big.bin", QByteArray(100 * 1024, 'b'));
    server->PutFile("notes.txt", "not selected");

    auto window = MakeWindow(ConnectArguments(*server) << "-r" << "*.bin" << "-l" << LocalFolder());
    THostView *view = window->ActiveHostView();
    view->SetTransferTarget(window.get(), [&](TCustomView *) -> TCustomView * { return window->ActiveLocalView(); });
    window->show();
    ASSERT_TRUE(WaitForListing(view));
    TTransferItems &queue = FTransfers.Queue();
    ASSERT_TRUE(WaitUntil([&] { return queue.Count() == 1 && queue.IsIdle(); }));
    ASSERT_EQ(queue.CountOf(tsDone), 1);

    TLocalView *local = window->ActiveLocalView();
    const auto localItem = [local] { return local->Model()->IndexOf("big.bin"); };
    ASSERT_TRUE(WaitUntil([&] {
        return localItem().siblingAtColumn(TLocalFolderModel::colSize).data().toString() == "100KB";
    })) << "the list shows the file as it ended, not as it began";
    EXPECT_EQ(local->GetItemSize(localItem()), 100 * 1024);

    for (const QModelIndex &item : {localItem(), view->ListView()->Item(0)})
        EXPECT_FALSE(item.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).isNull());

    for (const QLabel *panel : window->statusBar()->findChildren<QLabel *>())
        EXPECT_FALSE(panel->text().startsWith("Logging on")) << "logging on is over";
    window->close();
}

TEST_P(MainWindowServerTest, ServerMenuMakesAFolderAndErasesIt)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("keep.txt", "keep");
    auto window = MakeWindow(ConnectArguments(*server));
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(WaitForListing(view));
    const auto shows = [view](const QString &caption) {
        for (int row = 0; row < view->ItemCount(); ++row) {
            if (view->GetItemName(view->ListView()->Item(row)) == caption)
                return row;
        }
        return -1;
    };

    AnswerNextModalWindow([](QWidget &dialog) {
        auto &input = dynamic_cast<QInputDialog &>(dialog);
        EXPECT_EQ(input.windowTitle(), "Create a new folder");
        EXPECT_EQ(input.labelText(), "New Folder to create");
        input.setTextValue("made");
        input.accept();
    });
    MenuEntry(*window, "&Server", "&Create New Folder")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shows("made") >= 0 && !view->Animating(); }));
    EXPECT_TRUE(QFileInfo(server->LocalPath("made")).isDir());

    view->ListView()->ClearSelection();
    view->ListView()->SelectRow(shows("made"));
    QAction *erase = MenuEntry(*window, "&Server", "&Erase");
    ASSERT_TRUE(WaitUntil([&] { return erase->isEnabled(); }));
    AnswerNextModalWindow([](QWidget &dialog) { dynamic_cast<TfrmConfirm &>(dialog).btnYes->click(); });
    erase->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !view->Deleting() && !view->Animating() && shows("keep.txt") >= 0 && shows("made") < 0; }));
    EXPECT_FALSE(QFileInfo::exists(server->LocalPath("made")));
    window->close();
}

TEST_P(MainWindowServerTest, DoubleClickDownloadsAndThePopupFetchesNow)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "alpha");
    auto window = MakeWindow(ConnectArguments(*server) << "-l" << LocalFolder());
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(WaitForListing(view));
    view->ListView()->SelectRow(0);
    view->ListView()->SetCurrentItem(view->ListView()->Item(0));
    ASSERT_TRUE(WaitUntil([&] { return window->RemoteCommands().Download; }));
    const QString local = QDir(LocalFolder()).filePath("a.txt");

    // "HostDblClk" is Download by default.
    view->ListDblClick(Qt::NoModifier);
    ASSERT_TRUE(WaitUntil([&] { return FTransfers.Queue().Count() == 1 && FTransfers.Queue().IsIdle(); }));
    EXPECT_EQ(ReadAll(local), "alpha");

    ASSERT_TRUE(QFile::remove(local));
    emit view->ListView()->ContextMenuRequested(window->mapToGlobal(QPoint(10, 10)));
    auto *popup = window->findChild<TRemotePopup *>();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->defaultAction(), popup->mnuDownload);
    EXPECT_TRUE(popup->mnuDownloadNow->isEnabled());
    EXPECT_TRUE(popup->mnuOpen->isEnabled());
    popup->close();
    popup->mnuDownloadNow->trigger();
    ASSERT_TRUE(WaitUntil([&] { return ReadAll(local) == "alpha"; }));
    EXPECT_EQ(FTransfers.Queue().Count(), 1) << "fetched by the view's own engine, not queued";
    window->close();
}

TEST_F(MainWindowTest, TransferWindowsFollowTheirCommandsDuringARealDownload)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("one.bin", Pattern(64 * 1024, 1));
    server.PutFile("two.bin", Pattern(32 * 1024, 2));
    auto window = MakeWindow(ConnectArguments(server) << "-r" << "*.bin" << "-l" << LocalFolder());
    THostView *view = window->ActiveHostView();
    view->SetTransferTarget(window.get(), [&](TCustomView *) -> TCustomView * { return window->ActiveLocalView(); });
    TfrmTransfer *progress = window->ProgressWindow();
    TfrmTransferMngr *manager = window->TransferManager();
    QAction *showManager = window->Action(TCommand::ShowTransferManager);
    QAction *showTransfers = window->Action(TCommand::ShowTransferInfo);
    QAction *disconnect = window->Action(TCommand::DisconnectTransfer);
    EXPECT_EQ(showManager->shortcut(), QKeySequence("Ctrl+G"));
    EXPECT_EQ(showTransfers->shortcut(), QKeySequence("F12"));
    EXPECT_TRUE(showTransfers->isChecked());
    window->show();

    showManager->trigger();
    EXPECT_TRUE(manager->isVisible());
    bool progressShown = false;
    TScopedConnection watch = FTransfers.Queue().OnItemProgress.Connect(
        [&](TTransferItems &, TTransferItem &) { progressShown = progressShown || progress->isVisible(); });
    ASSERT_TRUE(WaitForListing(view));
    TTransferItems &queue = FTransfers.Queue();
    ASSERT_TRUE(WaitUntil([&] { return queue.Count() == 2 && queue.IsIdle() && !progress->isVisible(); }));
    EXPECT_TRUE(progressShown) << "the progress window shows while files arrive";
    EXPECT_EQ(queue.CountOf(tsDone), 2);
    ASSERT_TRUE(WaitUntil([&] { return manager->Model().rowCount() == 2; }));
    EXPECT_EQ(manager->Model().index(1, TTransferListModel::colStatus).data().toString(), "Done");
    EXPECT_TRUE(disconnect->isEnabled()) << "the queue's connection stays open";

    // The close box hides the manager and pops the toolbar button up.
    manager->close();
    EXPECT_FALSE(showManager->isChecked());
    for (const QToolButton *button : ButtonsOf(*window, showManager))
        EXPECT_FALSE(button->isChecked());
    showManager->trigger();
    EXPECT_TRUE(manager->isVisible());
    showManager->trigger();
    EXPECT_FALSE(manager->isVisible());

    // Checking View Transfers shows the window only while there is work.
    showTransfers->trigger();
    EXPECT_FALSE(showTransfers->isChecked());
    showTransfers->trigger();
    EXPECT_FALSE(progress->isVisible());

    disconnect->trigger();
    EXPECT_EQ(queue.EngineCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return !disconnect->isEnabled(); }));
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Servers, MainWindowServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST_F(MainWindowTest, TabSwitchesRebuildEachViewsOwnLog)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("first.txt", "1");
    server.MakeFolder("second");
    server.PutFile("second/x.txt", "2");

    auto window = MakeWindow(ConnectArguments(server));
    window->show();
    THostView *first = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(first));

    THostView *second = window->NewHostView();
    EXPECT_EQ(window->HostTabs()->count(), 2);
    EXPECT_TRUE(window->MessageWindow()->IsEmpty()) << "a new view starts with an empty message window";
    second->Connect(QString::fromStdString(server.Host()), server.Port(), QString::fromStdString(server.User()),
                    QString::fromStdString(server.Password()), QString(), "/second", QString());
    ASSERT_TRUE(WaitForListing(second));
    EXPECT_EQ(window->ConnectedViews().Count(), 2);
    EXPECT_EQ(MessageText(*window), LogText(*second));

    // A line of an inactive view stays out of the message window.
    const QString before = MessageText(*window);
    first->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return !first->Animating(); }));
    EXPECT_EQ(MessageText(*window), before);

    window->HostTabs()->setCurrentIndex(0);
    EXPECT_EQ(window->ActiveHostView(), first);
    EXPECT_EQ(MessageText(*window), LogText(*first));
    int block = 0;
    for (const TViewLogLine &line : first->LogEntries().Lines()) {
        ASSERT_EQ(MessageLineColor(*window, block), line.Color) << line.Text.toStdString();
        block += int(QString(line.Text).remove('\r').count('\n')) + 1;
    }

    window->HostTabs()->setCurrentIndex(1);
    EXPECT_EQ(MessageText(*window), LogText(*second));

    // Closing the active tab shows the one before it, and the count follows.
    window->HostCloseViewClick();
    EXPECT_EQ(window->HostTabs()->count(), 1);
    EXPECT_EQ(window->ActiveHostView(), first);
    EXPECT_EQ(window->ConnectedViews().Count(), 1);
    EXPECT_EQ(MessageText(*window), LogText(*first));
    window->close();
}

TEST_F(MainWindowTest, ProgramIconComesInEverySize)
{
    // Built into the program, so a copy run from its build folder has it too.
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48, 64, 128, 256})
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
}

TEST_F(MainWindowTest, StartsWithOneViewPerSideAndCloseViewDisabled)
{
    auto window = MakeWindow();
    EXPECT_EQ(window->HostTabs()->count(), 1);
    EXPECT_EQ(window->LocalTabs()->count(), 1);
    EXPECT_EQ(window->windowTitle(), "Disconnected - Ferrow");
    EXPECT_EQ(window->HostTabs()->tabText(0), "Disconnected");
    EXPECT_FALSE(window->RemoteCommands().Stop);

    // Closing the only tab is not possible.
    window->HostCloseViewClick();
    window->LocalCloseViewClick();
    EXPECT_EQ(window->HostTabs()->count(), 1);
    EXPECT_EQ(window->LocalTabs()->count(), 1);

    // Closing the first of three local tabs activates the last one left.
    window->NewLocalView();
    TLocalView *third = window->NewLocalView();
    window->LocalTabs()->setCurrentIndex(0);
    window->LocalCloseViewClick();
    EXPECT_EQ(window->LocalTabs()->count(), 2);
    EXPECT_EQ(window->ActiveLocalView(), third);
    EXPECT_EQ(window->LocalTabs()->currentIndex(), 1);
}

TEST_F(MainWindowTest, DontShowAgainInTheRestartQuestionStopsTheQuestionForEveryView)
{
    auto window = MakeWindow();
    ASSERT_TRUE(window->Options().Bool(oiConfirmRestarts));
    ASSERT_TRUE(FTransfers.Queue().Settings().ConfirmRestarts);
    THostView *second = window->NewHostView();
    EXPECT_EQ(&second->Questions(), &window->ActiveHostView()->Questions()) << "one set of windows";

    AnswerNextModalWindow([](QWidget &question) {
        auto &restart = dynamic_cast<TfrmRestart &>(question);
        restart.cbDontShowAgain->setChecked(true);
        restart.btnNo->click();
    });
    EXPECT_EQ(second->Questions().AskRestart("big.iso"), 7);
    EXPECT_FALSE(window->Options().Bool(oiConfirmRestarts));
    EXPECT_FALSE(FTransfers.Queue().Settings().ConfirmRestarts) << "in force for the next file";
}

TEST_F(MainWindowTest, ShowLogAndMaximizeHostView)
{
    auto window = MakeWindow();
    window->show();
    const int height = window->TopPanelHeight();
    ASSERT_TRUE(window->LogShown());
    window->SetLogShown(false);
    EXPECT_FALSE(window->LogShown());
    EXPECT_EQ(window->TopPanelHeight(), window->ToolbarHeight() + kToolbarBar);
    window->SetLogShown(true);
    EXPECT_EQ(window->TopPanelHeight(), height);

    window->SetHostViewMaximized(true);
    EXPECT_TRUE(window->HostViewMaximized());
    window->SetHostViewMaximized(false);
    EXPECT_FALSE(window->HostViewMaximized());
    window->close();
}

TEST_F(MainWindowTest, StateStylesAndColumnWidthsSurviveARestart)
{
    {
        auto window = MakeWindow();
        window->show();
        window->SetHostViewStyle(lsDetails);
        window->SetLocalViewStyle(lsDetails);
        window->SetLargeToolbar(true);
        window->ActiveHostView()->ListView()->Header()->resizeSection(0, 211);
        window->ActiveHostView()->ListView()->Header()->resizeSection(3, 97);
        window->ActiveLocalView()->ListView()->Header()->resizeSection(1, 123);
        window->setGeometry(40, 50, 700, 520);
        window->AddLastConnection("Home");
        window->AddLastConnection("Work");
        window->AddLastConnection("Home");
        window->close();
    }
    const TMainWindowState stored = TWindowStateStore(RegistryFile()).LoadMainWindow();
    EXPECT_EQ(stored.State, wssNormal);
    EXPECT_EQ(stored.Width, 700);
    EXPECT_EQ(stored.Height, 520);
    EXPECT_EQ(stored.HostViewStyle, lsDetails);
    EXPECT_EQ(stored.LocalViewStyle, lsDetails);
    EXPECT_GE(stored.ToolBarMin, 60);

    auto window = MakeWindow();
    EXPECT_EQ(window->ActiveHostView()->ViewStyle(), lsDetails);
    EXPECT_EQ(window->ActiveLocalView()->ViewStyle(), lsDetails);
    EXPECT_EQ(window->ToolbarHeight(), kToolbarLarge);
    EXPECT_EQ(window->ActiveHostView()->ListView()->Header()->sectionSize(0), 211);
    EXPECT_EQ(window->ActiveHostView()->ListView()->Header()->sectionSize(3), 97);
    EXPECT_EQ(window->ActiveLocalView()->ListView()->Header()->sectionSize(1), 123);
    EXPECT_EQ(window->LastConnections().Site(0), "Home");
    EXPECT_EQ(window->LastConnections().Site(1), "Work");
    EXPECT_EQ(window->LastConnections().Site(2), "");

    // A new view takes the side's stored widths and the current style.
    THostView *second = window->NewHostView();
    EXPECT_EQ(second->ViewStyle(), lsDetails);
    EXPECT_EQ(second->ListView()->Header()->sectionSize(0), 211);

    window->SetLocalViewStyle(lsLargeIcons);
    window->SetHostViewStyle(lsList);
    window->close();
    window = MakeWindow();
    EXPECT_EQ(window->ActiveLocalView()->ViewStyle(), lsLargeIcons);
    EXPECT_EQ(window->ActiveHostView()->ViewStyle(), lsList);
}

namespace {

// The panels of a view's status bar, left to right, each clear of the next.
void ExpectPanelsApart(const TCustomView &view, const char *when)
{
    QList<QLabel *> panels = view.StatusBar()->findChildren<QLabel *>();
    std::sort(panels.begin(), panels.end(), [](QLabel *a, QLabel *b) { return a->x() < b->x(); });
    ASSERT_EQ(panels.size(), 4);
    for (qsizetype i = 0; i + 1 < panels.size(); ++i)
        EXPECT_LE(panels[i]->geometry().right(), panels[i + 1]->geometry().left())
            << when << ": \"" << panels[i]->text().toStdString() << "\" runs into \""
            << panels[i + 1]->text().toStdString() << "\"";
    EXPECT_LE(panels.back()->geometry().right(), view.StatusBar()->width()) << when;
}

} // namespace

TEST_F(MainWindowTest, OpensAtAWorkableSizeAndBothSidesShareTheWidth)
{
    auto window = MakeWindow({"-l", LocalFolder()});
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->size(), DefaultMainWindowBounds(available).size());
    EXPECT_EQ(window->size(), QSize(available.width() * 2 / 3, available.height() * 2 / 3));
    EXPECT_EQ(window->geometry().center(), available.center());

    window->show();
    QApplication::processEvents();
    TLocalView *local = window->ActiveLocalView();
    THostView *host = window->ActiveHostView();
    ASSERT_TRUE(WaitUntil([&] { return !local->PanelText(1).isEmpty(); }));
    ExpectPanelsApart(*local, "default size");
    ExpectPanelsApart(*host, "default size");

    const int localWidth = local->width();
    const int hostWidth = host->width();
    EXPECT_LE(std::abs(localWidth - hostWidth), 6) << "both sides start alike";
    window->resize(window->width() + 300, window->height());
    ASSERT_TRUE(WaitUntil([&] { return local->width() > localWidth && host->width() - hostWidth < 300; }));
    EXPECT_NEAR(local->width() - localWidth, 150, 2);
    EXPECT_NEAR(host->width() - hostWidth, 150, 2);

    window->showMaximized();
    ASSERT_TRUE(WaitUntil([&] { return window->isMaximized(); }, 5s));
    window->showNormal();
    ASSERT_TRUE(WaitUntil([&] { return !window->isMaximized(); }, 5s));
    QApplication::processEvents();
    ExpectPanelsApart(*local, "restored from maximised");
    window->close();
}

TEST_F(MainWindowTest, ClosingMaximisedKeepsTheNormalBounds)
{
    ASSERT_LE(MakeWindow()->minimumSizeHint().width(), 640) << "the stored default width must fit";
    {
        auto window = MakeWindow();
        window->setGeometry(30, 40, 640, 480);
        window->show();
        window->close();
    }
    {
        auto window = MakeWindow();
        window->showMaximized();
        ASSERT_TRUE(WaitUntil([&] { return window->isMaximized(); }, 5s));
        window->close();
    }
    const TMainWindowState stored = TWindowStateStore(RegistryFile()).LoadMainWindow();
    EXPECT_EQ(stored.State, wssMaximized);
    EXPECT_EQ(stored.Width, 640);
    EXPECT_EQ(stored.Height, 480);
}
