#include "app/CompareForm.h"
#include "app/Main.h"
#include "app/MessageWindow.h"
#include "app/OptionsForm.h"
#include "app/RemotePopup.h"
#include "sites/Manager.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/WidgetTests.h"
#include "transfers/TranMan.h"
#include "views/FileList.h"
#include "views/FileProp.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/TreeCombo.h"
#include "views/URLForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSet>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWhatsThis>

#include <gtest/gtest.h>

#include <map>

using namespace std::chrono_literals;

namespace {

class MainCommandsTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        QDir(FFolder.path()).mkdir("local");
    }

    QString LocalFolder() const { return Path("local"); }

    // Connected to `server`, with the local side on LocalFolder(), shown and listed.
    std::unique_ptr<TfrmMain> ConnectedWindow(const TTestFtpServer &server)
    {
        auto window = MakeWindow(ConnectArguments(server) + QStringList{"-l", LocalFolder()});
        window->show();
        EXPECT_TRUE(WaitForListing(window->ActiveHostView())) << "no listing from " << server.KindName();
        EXPECT_TRUE(WaitUntil([&] { return window->ActiveLocalView()->ItemCount() > 0; }));
        return window;
    }

};

class MainCommandsServerTest : public MainCommandsTest, public ::testing::WithParamInterface<TServerKind>
{};

int RowOf(const TCustomView &view, const QString &name)
{
    for (int row = 0; row < view.ItemCount(); ++row) {
        if (view.GetItemName(view.ListView()->Item(row)) == name)
            return row;
    }
    return -1;
}

void Select(TCustomView &view, const QStringList &names)
{
    view.ListView()->ClearSelection();
    for (const QString &name : names)
        view.ListView()->SelectRow(RowOf(view, name));
    view.ListView()->SetCurrentItem(view.ListView()->Item(names.isEmpty() ? 0 : RowOf(view, names.back())));
}

QMenu *Menu(const TfrmMain &window, const QString &title)
{
    for (const QAction *entry : window.menuBar()->actions()) {
        if (entry->text() == title)
            return entry->menu();
    }
    return nullptr;
}

QWidget *FocusedList(const TCustomView &view)
{
    return view.ListView()->CurrentView();
}

void FocusList(TfrmMain &window, const TCustomView &view)
{
    window.activateWindow();
    FocusedList(view)->setFocus();
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == FocusedList(view); }, 5s));
}

QToolButton *ToolbarButton(const TfrmMain &window, TCommand command)
{
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        if (button->defaultAction() == window.Action(command)
            && button->parentWidget()->objectName() == "pnlToolbar")
            return button;
    }
    return nullptr;
}

} // namespace

// The commands' enabling as the window applies it after the views' own reports: the
// commands are sampled at each report, never set by the test.
TEST_P(MainCommandsServerTest, CommandsFollowTheViewsReports)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "a");
    server->PutFile("b.txt", "bb");
    server->MakeFolder("sub");
    QFile local(QDir(LocalFolder()).filePath("up.txt"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly) && local.write("up") == 2);
    local.close();

    auto window =
        MakeWindow({"-c", QString::fromStdString(server->Host()) + ':' + QString::number(server->Port()),
                    "-u", QString::fromStdString(server->User()), "-p",
                    QString::fromStdString(server->Password()), "-l", LocalFolder()});
    const auto on = [&](TCommand command) { return window->Action(command)->isEnabled(); };
    using C = TCommand;
    const std::vector<TCommand> ready{C::Disconnect, C::Stop,    C::HostRefresh,      C::HostNewFolder,
                                      C::HostMask,   C::Compare, C::HostChangeFolder, C::HostEdit};
    const std::vector<TCommand> selection{C::Download, C::HostDelete, C::HostProperties};

    // Disconnected: nothing that needs a server.
    for (const TCommand command : ready)
        EXPECT_FALSE(on(command)) << int(command);
    for (const TCommand command : selection)
        EXPECT_FALSE(on(command)) << int(command);
    EXPECT_FALSE(on(C::HostRename));

    // Every busy report leaves the remote commands that touch the list disabled.
    THostView *view = window->ActiveHostView();
    int busyReports = 0;
    const QObject listener;
    QObject::connect(view, &TCustomView::StateReported, &listener, [&](TCustomView *, int state, int) {
        if (state != vsBusy)
            return;
        ++busyReports;
        for (const TCommand command :
             {C::HostRefresh, C::HostNewFolder, C::Compare, C::Download, C::HostRename})
            EXPECT_FALSE(on(command)) << "busy: " << int(command);
    });

    window->show();
    ASSERT_TRUE(
        WaitUntil([&] { return view->Connected() && !view->Animating() && RowOf(*view, "sub") >= 0; }, 30s));
    ASSERT_TRUE(WaitUntil([&] { return RowOf(*window->ActiveLocalView(), "up.txt") >= 0; }));
    EXPECT_GE(busyReports, 1);
    for (const TCommand command : ready)
        EXPECT_TRUE(on(command)) << "connected: " << int(command);
    for (const TCommand command : selection)
        EXPECT_FALSE(on(command)) << "nothing selected: " << int(command);

    Select(*view, {"a.txt"});
    for (const TCommand command : selection)
        EXPECT_TRUE(on(command)) << "one selected: " << int(command);
    EXPECT_TRUE(on(C::HostRename));
    Select(*view, {"a.txt", "b.txt"});
    for (const TCommand command : selection)
        EXPECT_TRUE(on(command)) << "two selected: " << int(command);
    EXPECT_FALSE(on(C::HostRename)) << "Rename takes one entry";

    TLocalView *localView = window->ActiveLocalView();
    // The local side's Delete and Rename are read from the rules: their commands are built elsewhere.
    EXPECT_FALSE(on(C::Upload) || window->LocalCommands().Delete || window->LocalCommands().Rename);
    Select(*localView, {"up.txt"});
    EXPECT_TRUE(on(C::Upload) && window->LocalCommands().Delete && window->LocalCommands().Rename);

    // A refresh makes the view busy and idle again through its own reports.
    busyReports = 0;
    window->Action(C::HostRefresh)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return busyReports > 0 && !view->Animating() && RowOf(*view, "sub") >= 0; }));
    EXPECT_TRUE(on(C::HostRefresh));

    // Download: the file arrives, and the end of the run stops the toolbar's activity.
    Select(*view, {"b.txt"});
    window->Action(C::Download)->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        return FTransfers.Queue().IsIdle() && QFileInfo(QDir(LocalFolder()).filePath("b.txt")).size() == 2;
    }));
    EXPECT_TRUE(WaitUntil([&] { return !window->ActivityShown(); }, 5s));

    QMenu *file = Menu(*window, "&File");
    ASSERT_NE(file, nullptr);
    QAction *disconnect = file->actions().at(3);
    ASSERT_EQ(disconnect->text(), "&Disconnect");
    disconnect->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !view->Connected() && !on(C::Disconnect); }));
    for (const TCommand command : ready)
        EXPECT_FALSE(on(command)) << "disconnected: " << int(command);
    for (const TCommand command : selection)
        EXPECT_FALSE(on(command)) << "disconnected: " << int(command);
    Select(*localView, {"up.txt"});
    EXPECT_FALSE(on(C::Upload)) << "nothing to upload to";
    EXPECT_TRUE(window->LocalCommands().Delete);
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Servers, MainCommandsServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

// Every entry of the File, Edit, Server, Options and Help menus once, through its QAction,
// with what it does checked on the server or in the window. (New Folder and Erase of the
// Server menu, its Edit with... and Mask files, Disconnect Transfer Connection, Help
// Contents and About have tests of their own in MainWindowTest and LaunchTest.)
TEST_F(MainCommandsTest, EveryMenuEntryDoesItsWork)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("file.txt", "file");
    server.PutFile("old name.txt", "rename me");
    QFile local(QDir(LocalFolder()).filePath("only here.txt"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly) && local.write("x") == 1);
    local.close();
    auto window = ConnectedWindow(server);
    THostView *view = window->ActiveHostView();
    TLocalView *localView = window->ActiveLocalView();
    // The entry `caption` of `menu`, which shows `keys`.
    const auto entry = [&](const QString &menu, const QString &caption,
                           const QString &keys = {}) -> QAction * {
        for (QAction *action : Menu(*window, menu)->actions()) {
            if (action->text() != caption)
                continue;
            EXPECT_EQ(action->shortcut(), QKeySequence(keys)) << caption.toStdString();
            return action;
        }
        ADD_FAILURE() << "no entry " << caption.toStdString() << " in " << menu.toStdString();
        return new QAction(window.get());
    };
    const auto idle = [view] { return view->Connected() && !view->Animating() && !view->EngineBusy(); };

    // File: the site manager and the URL dialog open without blocking the window.
    entry("&File", "&Connect", "Ctrl+Shift+C")->trigger();
    ASSERT_TRUE(window->SiteManager() && window->SiteManager()->isVisible());
    window->SiteManager()->reject();
    entry("&File", "Connect to &URL", "Ctrl+Shift+U")->trigger();
    ASSERT_TRUE(window->URLForm() && window->URLForm()->isVisible());
    window->URLForm()->reject();
    EXPECT_TRUE(WaitUntil([&] { return !window->SiteManager() && !window->URLForm(); }));
    EXPECT_TRUE(view->Connected()) << "cancelling leaves the connection alone";

    // Edit: Compare Folders selects what differs on both sides; Select All and Invert
    // Selection act on the list that has the focus.
    AnswerNextModalWindow([](QWidget &form) { dynamic_cast<TfrmCompareOptions &>(form).accept(); });
    entry("&Edit", "&Compare Folders")->trigger();
    EXPECT_EQ(localView->SelectedCount(), 1);
    EXPECT_EQ(view->SelectedCount(), 2) << "neither file is here";
    FocusList(*window, *view);
    entry("&Edit", "Select &All", "Ctrl+A")->trigger();
    EXPECT_EQ(view->SelectedCount(), view->ItemCount());
    EXPECT_EQ(localView->SelectedCount(), 1) << "the other side keeps its selection";
    entry("&Edit", "&Invert Selection", "Shift+Ctrl+A")->trigger();
    EXPECT_EQ(view->SelectedCount(), 0);

    // Server: Refresh shows what arrived since the listing, Rename renames on the server,
    // Properties shows the entry's properties.
    server.PutFile("new.txt", "new");
    entry("&Server", "&Refresh", "F5")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return idle() && RowOf(*view, "new.txt") >= 0; }));
    Select(*view, {"old name.txt"});
    entry("&Server", "Rena&me", "F2")->trigger();
    auto *editor = FocusedList(*view)->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setText("new name.txt");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return idle() && QFileInfo::exists(server.LocalPath("new name.txt")); }));
    EXPECT_FALSE(QFileInfo::exists(server.LocalPath("old name.txt")));
    Select(*view, {"file.txt"});
    QString shownName;
    AnswerNextModalWindow([&](QWidget &form) {
        shownName = dynamic_cast<TfrmProperties &>(form).lblFileName->text();
        form.close();
    });
    entry("&Server", "P&roperties", "Alt+Enter")->trigger();
    EXPECT_TRUE(shownName.contains("file.txt")) << shownName.toStdString();

    // Options.
    bool preferencesShown = false;
    AnswerNextModalWindow([&](QWidget &form) {
        preferencesShown = dynamic_cast<TfrmOptions *>(&form) != nullptr;
        dynamic_cast<QDialog &>(form).reject();
    });
    entry("&Options", "General &Preferences")->trigger();
    EXPECT_TRUE(preferencesShown);
    QAction *manager = entry("&Options", "View &Transfer Manager", "Ctrl+G");
    manager->trigger();
    EXPECT_TRUE(window->TransferManager()->isVisible() && manager->isChecked());
    manager->trigger();
    EXPECT_FALSE(window->TransferManager()->isVisible() || manager->isChecked());
    QAction *maximize = entry("&Options", "&Maximize Server Window", "Ctrl+M");
    maximize->trigger();
    EXPECT_TRUE(window->HostViewMaximized() && !window->LocalTabs()->isVisible());
    maximize->trigger();
    EXPECT_TRUE(!window->HostViewMaximized() && window->LocalTabs()->isVisible());
    QAction *log = entry("&Options", "View M&essages Window", "F9");
    EXPECT_TRUE(log->isChecked()) << "checked at start";
    log->trigger();
    EXPECT_FALSE(window->LogShown());
    EXPECT_EQ(window->TopPanelHeight(), window->ToolbarHeight() + kToolbarBar);
    log->trigger();
    EXPECT_TRUE(window->LogShown() && window->MessageWindow()->isVisible());
    QAction *viewer = entry("&Options", "View Internal &Viewer", "F10");
    viewer->trigger();
    EXPECT_TRUE(window->ViewerShown() && !window->MessageWindow()->isVisible());
    viewer->trigger();
    EXPECT_FALSE(window->ViewerShown());
    QAction *transfers = entry("&Options", "View &Transfers", "F12");
    EXPECT_TRUE(transfers->isChecked() && window->ShowTransferInfo()) << "checked at start";
    transfers->trigger();
    EXPECT_FALSE(window->ShowTransferInfo());

    // Help: What's This? answers a click on a part of the window.
    entry("&Help", "&What's This?")->trigger();
    EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
    QTest::mouseClick(ToolbarButton(*window, TCommand::Connect), Qt::LeftButton);
    const auto answerShown = [] {
        for (const QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->inherits("QWhatsThat"))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(answerShown, 5s));
    EXPECT_FALSE(window->SiteManager()) << "the click asks, it does not connect";
    QWhatsThis::hideText();
    QWhatsThis::leaveWhatsThisMode();

    // File: Stop, Disconnect and Exit.
    entry("&File", "&Stop", "Ctrl+Shift+S")->trigger();
    entry("&File", "&Disconnect", "Ctrl+Shift+D")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return window->windowTitle() == "Disconnected - Ferrow"; }));
    entry("&File", "&Exit", "Alt+F4")->trigger();
    EXPECT_FALSE(window->isVisible());
}

// A key that two window-wide actions claim does nothing at all in Qt.
void ExpectEachKeyClaimedOnce(const TfrmMain &window)
{
    std::map<QString, QString> owners;
    for (const QAction *action : window.findChildren<QAction *>()) {
        if (action->shortcut().isEmpty() || action->shortcutContext() == Qt::WidgetShortcut)
            continue;
        const QString key = action->shortcut().toString();
        const auto [owner, fresh] = owners.emplace(key, action->text());
        EXPECT_TRUE(fresh) << key.toStdString() << " is claimed by " << owner->second.toStdString() << " and "
                           << action->text().toStdString();
    }
}

TEST_F(MainCommandsTest, KeysAreEachClaimedOnce)
{
    const auto window = MakeWindow();
    ExpectEachKeyClaimedOnce(*window);
}

// The toolbar in both forms, switched by dragging the bar under it with the mouse; the
// form is remembered for the next start.
// "Show Tool Tips" off silences every hint of the program, the small toolbar's too.
TEST_F(MainCommandsTest, ShowToolTipsOffSilencesTheHints)
{
    TOptions options;
    options.Load();
    options.SetBool(oiShowToolTips, false);
    ASSERT_TRUE(options.Save());
    auto window = MakeWindow();
    window->show();
    window->SetLargeToolbar(false);
    QToolButton *button = ToolbarButton(*window, TCommand::Connect);
    ASSERT_NE(button, nullptr);
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button, &help);
    EXPECT_FALSE(QToolTip::isVisible());

    window.reset();
    options.SetBool(oiShowToolTips, true);
    ASSERT_TRUE(options.Save());
    window = MakeWindow();
    window->show();
    window->SetLargeToolbar(false);
    button = ToolbarButton(*window, TCommand::Connect);
    QApplication::sendEvent(button, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    QToolTip::hideText();
}

TEST_F(MainCommandsTest, DraggingTheBarSwitchesTheToolbarAndTheFormIsKept)
{
    auto window = MakeWindow();
    window->show();
    using C = TCommand;
    const std::vector<TCommand> order{C::Connect,
                                      C::ConnectURL,
                                      C::Stop,
                                      C::Disconnect,
                                      C::DisconnectTransferButton,
                                      C::ShowTransferManager,
                                      C::MaximizeHost,
                                      C::ShowLog,
                                      C::ShowViewer};
    const auto checkForm = [&](bool large) {
        const QSize size = large ? QSize(62, 58) : QSize(36, 30);
        // The window widens for the large form as its layout settles.
        const int lastAt = int(order.size() - 1) * size.width() + 4;
        EXPECT_TRUE(WaitUntil([&] { return ToolbarButton(*window, order.back())->x() == lastAt; }, 5s));
        EXPECT_EQ(window->ToolbarHeight(), large ? kToolbarLarge : kToolbarSmall);
        for (std::size_t i = 0; i < order.size(); ++i) {
            QToolButton *button = ToolbarButton(*window, order[i]);
            ASSERT_NE(button, nullptr) << i;
            EXPECT_EQ(button->size(), size) << i;
            EXPECT_EQ(button->x(), int(i) * size.width() + 4) << i;
            EXPECT_EQ(button->toolButtonStyle(),
                      large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
            if (large) {
                // The caption and the icon fit the button whole.
                const QSize text = QFontMetrics(button->font()).size(0, button->text());
                EXPECT_LE(text.width(), size.width() - 2) << button->text().toStdString();
                EXPECT_LE(text.height() + button->iconSize().height(), size.height() - 2)
                    << button->text().toStdString();
                EXPECT_FALSE(button->text().contains(QChar(0x2026))) << button->text().toStdString();
            }
            // Hints only in the small form.
            QToolTip::hideText();
            QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(button, &help);
            EXPECT_EQ(QToolTip::isVisible(), !large) << i;
        }
        QToolTip::hideText();
    };
    EXPECT_FALSE(ToolbarButton(*window, C::DisconnectTransferButton)->isEnabled());
    EXPECT_TRUE(ToolbarButton(*window, C::ShowLog)->isChecked()) << "down at start";
    checkForm(false);

    auto *bar = window->findChild<QWidget *>("barToolbar");
    ASSERT_NE(bar, nullptr);
    const auto drag = [&](int dy) {
        const QPoint start(bar->width() / 2, 1);
        QTest::mousePress(bar, Qt::LeftButton, {}, start);
        QTest::mouseMove(bar, start + QPoint(0, dy / 2));
        QTest::mouseMove(bar, start + QPoint(0, dy));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(0, dy));
    };
    drag(20);
    EXPECT_EQ(window->ToolbarHeight(), kToolbarSmall) << "a short drag keeps the small form";
    drag(40);
    checkForm(true);
    EXPECT_TRUE(window->LogShown()) << "the message window keeps its place below";
    drag(-20);
    EXPECT_EQ(window->ToolbarHeight(), kToolbarLarge);
    drag(-40);
    checkForm(false);
    drag(40);
    window->close();

    auto next = MakeWindow();
    next->show();
    EXPECT_EQ(next->ToolbarHeight(), kToolbarLarge) << "LargeToolBar was stored";
}

// The window without a mouse: Tab from the local list through the centre to the remote
// list, the lists' own keys acting on the list that has the focus, and the pop-up of the
// focused list on Shift+F10.
TEST_F(MainCommandsTest, KeyboardReachesBothSidesAndTheirKeysActWhereTheFocusIs)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("sub/inner.txt", "inner");
    server.PutFile("top.txt", "top");
    QFile local(QDir(LocalFolder()).filePath("here.txt"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly) && local.write("x") == 1);
    local.close();
    ASSERT_TRUE(QDir(LocalFolder()).mkdir("folder"));
    auto window = ConnectedWindow(server);
    THostView *view = window->ActiveHostView();
    TLocalView *localView = window->ActiveLocalView();
    const auto idle = [view] { return view->Connected() && !view->Animating() && !view->EngineBusy(); };
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };

    // Upload and Download take part only while they can act.
    Select(*localView, {"here.txt"});
    Select(*view, {"top.txt"});
    FocusList(*window, *localView);
    QWidgetList visited;
    for (int i = 0; i < 60 && (visited.isEmpty() || visited.back() != FocusedList(*localView)); ++i) {
        press(Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QStringList names;
    for (const QWidget *widget : visited)
        names << (widget ? QString(widget->metaObject()->className()) + '/' + widget->objectName() : "none");
    ASSERT_EQ(visited.back(), FocusedList(*localView))
        << "Tab comes round to the local list: " << names.join(' ').toStdString();
    std::map<TCommand, QToolButton *> centre;
    for (QToolButton *button : window->findChildren<QToolButton *>()) {
        for (const TCommand command : {TCommand::Upload, TCommand::Download}) {
            if (button->defaultAction() == window->Action(command))
                centre[command] = button;
        }
        EXPECT_FALSE(button->parentWidget()->objectName() == "pnlToolbar" && visited.contains(button))
            << "the toolbar's commands have menu entries and keys";
    }
    const QWidgetList order{
        window->LocalTabs()->tabBar(), centre[TCommand::Upload], centre[TCommand::Download],
        window->HostTreeCombo(),       FocusedList(*view),       window->HostTabs()->tabBar(),
        window->MessageWindow()};
    for (qsizetype i = 0; i < order.size(); ++i) {
        EXPECT_GE(visited.indexOf(order[i]), 0) << "stop " << i << " is never reached";
        if (i > 0) {
            EXPECT_LT(visited.indexOf(order[i - 1]), visited.indexOf(order[i])) << "stop " << i;
        }
    }

    // The remote list: Enter opens a folder, Backspace goes back up, F5 lists again.
    FocusList(*window, *view);
    Select(*view, {"sub"});
    press(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return idle() && RowOf(*view, "inner.txt") >= 0; }));
    EXPECT_EQ(view->GetFolder(), "/sub/");
    EXPECT_TRUE(window->Action(TCommand::HostUp)->isEnabled());
    press(Qt::Key_Backspace);
    ASSERT_TRUE(WaitUntil([&] { return idle() && RowOf(*view, "top.txt") >= 0; }));
    EXPECT_FALSE(window->Action(TCommand::HostUp)->isEnabled()) << "at the top";
    server.PutFile("later.txt", "later");
    press(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return idle() && RowOf(*view, "later.txt") >= 0; }));

    // The local list: Enter opens a folder, Backspace goes back up.
    FocusList(*window, *localView);
    Select(*localView, {"folder"});
    press(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return localView->GetFolder().endsWith("/folder/"); }));
    press(Qt::Key_Backspace);
    ASSERT_TRUE(WaitUntil([&] { return RowOf(*localView, "here.txt") >= 0; }));

    // F2 renames in the list that has the focus, not on the other side.
    FocusList(*window, *localView);
    Select(*localView, {"here.txt"});
    press(Qt::Key_F2);
    EXPECT_TRUE(localView->ListView()->IsEditing());
    EXPECT_FALSE(view->ListView()->IsEditing());
    press(Qt::Key_Escape);
    EXPECT_TRUE(WaitUntil([&] { return !localView->ListView()->IsEditing(); }, 5s));

    // Shift+F10 opens the remote list's pop-up with its default entry.
    FocusList(*window, *view);
    Select(*view, {"top.txt"});
    press(Qt::Key_F10, Qt::ShiftModifier);
    auto *popup = window->findChild<TRemotePopup *>();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return popup->isVisible(); }, 5s));
    EXPECT_FALSE(window->ViewerShown()) << "F10's own command stays out of it";
    popup->hide();
    ExpectEachKeyClaimedOnce(*window); // the pop-up's entries too
    window->close();
}

// Stop is open while the engine logs in, before the login is through, and ends the last
// attempt of a server that never answers (an earlier attempt would be followed by the next).
TEST_F(MainCommandsTest, StopEndsALoginThatHangs)
{
    TOptions options;
    options.Load();
    options.SetText(oiRetries, "1");
    ASSERT_TRUE(options.Save());
    TScriptedServer silent(TServerScript().Hang());
    auto window =
        MakeWindow({"-c", QString::fromStdString(silent.Host()) + ':' + QString::number(silent.Port()), "-u",
                    "user", "-p", "secret"});
    QAction *stop = window->Action(TCommand::Stop);
    EXPECT_FALSE(stop->isEnabled());
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return stop->isEnabled(); }, 10s)) << "Stop while logging in";
    EXPECT_FALSE(window->Action(TCommand::HostRefresh)->isEnabled());
    stop->trigger();
    EXPECT_TRUE(
        WaitUntil([&] { return !stop->isEnabled() && !window->ActiveHostView()->EngineBusy(); }, 10s));
    EXPECT_FALSE(window->ActiveHostView()->Connected());
    window->close();
}
