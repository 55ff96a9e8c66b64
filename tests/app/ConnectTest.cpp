#include "app/Connecting.h"
#include "app/InternalViewer.h"
#include "app/Main.h"
#include "sites/Manager.h"
#include "sites/PasswordForm.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/URLForm.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class ConnectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WidgetTestApp();
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FFolder.isValid());
        QDir(FFolder.path()).mkdir("local");
        SetStartOptions(false);
    }

    static void SetStartOptions(bool showManager)
    {
        TOptions options;
        options.Load();
        options.SetBool(oiShowManager, showManager);
        ASSERT_TRUE(options.Save());
    }

    QString LocalFolder() const { return FFolder.filePath("local"); }

    std::unique_ptr<TfrmMain> MakeWindow(const QStringList &arguments = {})
    {
        auto window = std::make_unique<TfrmMain>(
            arguments, FTransfers.Queue(),
            std::make_unique<TWindowStateStore>(FFolder.filePath("ScrivelFerrow.ini")));
        window->show();
        return window;
    }

    // Connect, and in the site manager a site typed in as a user would, then OK.
    static void ConnectToNewSite(TfrmMain &window, const QString &name, const TTestFtpServer &server,
                                 const QString &hostFolder, const QString &password,
                                 const QString &localFolder = QString())
    {
        window.ConnectClick();
        TfrmManager *manager = window.SiteManager();
        ASSERT_TRUE(manager && manager->isVisible());
        manager->btnNewSite->click();
        manager->cmboSite->setEditText(name);
        manager->editHost->setText(QString::fromStdString(server.Host()));
        manager->editUser->setText(QString::fromStdString(server.User()));
        manager->editPassword->setText(password);
        manager->editPort->setText(QString::number(server.Port()));
        manager->editHostFolder->setText(hostFolder);
        manager->editLocalFolder[0]->setText(localFolder);
        manager->btnOK->click();
    }

    static bool WaitForListing(const THostView *view)
    {
        return WaitUntil([view] { return view->Connected() && !view->Animating() && view->ItemCount() > 0; },
                         30s);
    }

    static QStringList Names(const THostView *view)
    {
        QStringList names;
        for (int i = 0; i < view->ItemCount(); ++i)
            names << view->GetItemName(view->ListView()->Item(i));
        return names;
    }

    static QMenu *LastConnectionsMenu(const TfrmMain &window)
    {
        for (const QAction *menu : window.menuBar()->actions()) {
            if (menu->text() != "&File")
                continue;
            for (const QAction *entry : menu->menu()->actions()) {
                if (entry->menu() && entry->text() == "&Last Connections")
                    return entry->menu();
            }
        }
        return nullptr;
    }

    // The visible entries as the submenu shows them when it opens.
    static QList<QAction *> LastConnectionEntries(const TfrmMain &window)
    {
        QMenu *menu = LastConnectionsMenu(window);
        QList<QAction *> shown;
        if (!menu)
            return shown;
        Q_EMIT menu->aboutToShow();
        for (QAction *entry : menu->actions()) {
            if (entry->isVisible())
                shown << entry;
        }
        return shown;
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
    TGlobalTransferItems FTransfers;
};

// Records the steps OpenConnection asks of the window.
class TRecordingTarget : public TConnectTarget
{
public:
    bool Connected = false;
    std::optional<QString> Typed;
    QStringList Steps;

    bool ActiveRemoteConnected() const override { return Connected; }
    void OpenRemoteTab() override { Steps << "tab"; }
    void SetRemoteCaption(const QString &caption) override { Steps << "caption " + caption; }
    std::optional<QString> AskPassword() override
    {
        Steps << "prompt";
        return Typed;
    }
    void OpenLocalFolder(const QString &folder, bool activate) override
    {
        Steps << QStringLiteral("local %1%2").arg(folder, activate ? " shown" : "");
    }
    void ConnectActiveRemote(const TConnectRequest &r) override
    {
        Steps << QStringLiteral("connect %1@%2:%3%4 %5")
                     .arg(r.UserName, r.Host)
                     .arg(r.Port)
                     .arg(r.Folder, r.Password);
    }
    void AddLastConnection(const QString &siteName) override { Steps << "last " + siteName; }
};

class ConnectServerTest : public ConnectTest, public ::testing::WithParamInterface<TServerKind>
{};

} // namespace

TEST_P(ConnectServerTest, SitesLastConnectionsAndURLsEachConnectAndListTheirFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("top.txt", "top");
    server->PutFile("pub/inside.txt", "inside");
    const QString password = QString::fromStdString(server->Password());
    auto window = MakeWindow();

    // A site stored in the manager, with a host folder and a local folder.
    ConnectToNewSite(*window, "demo", *server, "/pub", password, LocalFolder());
    THostView *first = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(first)) << "no listing from " << server->KindName();
    EXPECT_EQ(first->GetFolder(), "/pub/");
    EXPECT_TRUE(Names(first).contains("inside.txt"));
    EXPECT_EQ(window->windowTitle(), "demo - Ferrow");
    EXPECT_EQ(window->HostTabs()->tabText(0), "demo");
    EXPECT_EQ(window->ActiveLocalView()->GetFolder(), LocalFolder() + '/') << "local folder 1 is shown";
    EXPECT_EQ(window->LocalTabs()->count(), 2);
    EXPECT_EQ(window->LastConnections().Site(0), "demo");
    EXPECT_EQ(TSiteStore(TSiteStore::DefaultFileName()).LastSite(), "demo");

    // A second site: a tab of its own, the first stays connected.
    ConnectToNewSite(*window, "second", *server, QString(), password);
    ASSERT_EQ(window->HostTabs()->count(), 2);
    THostView *second = window->ActiveHostView();
    ASSERT_NE(second, first);
    ASSERT_TRUE(WaitForListing(second));
    EXPECT_TRUE(Names(second).contains("top.txt"));
    EXPECT_TRUE(first->Connected());
    EXPECT_EQ(window->windowTitle(), "second - Ferrow");

    // Disconnected, it comes back from the Last Connections, in its own tab.
    window->DisconnectClick();
    ASSERT_TRUE(WaitUntil([&] { return window->HostTabs()->tabText(1) == "Disconnected"; }));
    const QList<QAction *> entries = LastConnectionEntries(*window);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), "&1 second");
    EXPECT_EQ(entries[1]->text(), "&2 demo");
    entries[0]->trigger();
    ASSERT_TRUE(WaitForListing(second));
    EXPECT_EQ(window->HostTabs()->count(), 2);
    EXPECT_EQ(window->windowTitle(), "second - Ferrow");

    // A typed URL: a third tab, named after the host, and no Last Connection.
    window->ConnectURLClick();
    TfrmURL *form = window->URLForm();
    ASSERT_TRUE(form && form->isVisible());
    const QString url = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/pub/")
                            .arg(QString::fromStdString(server->User()), password)
                            .arg(server->Port());
    form->cmboURL->setEditText(url);
    ASSERT_TRUE(form->btnOK->isEnabled());
    form->btnOK->click();
    ASSERT_EQ(window->HostTabs()->count(), 3);
    THostView *third = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(third));
    EXPECT_TRUE(Names(third).contains("inside.txt"));
    EXPECT_EQ(window->windowTitle(), "127.0.0.1 - Ferrow");
    EXPECT_EQ(LastConnectionEntries(*window).size(), 2);
    EXPECT_EQ(window->Options().URLs().value(0), url) << "the URL history, newest first";
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Servers, ConnectServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(ConnectingTest, StepsOfASiteAndOfAURL)
{
    TSite site;
    site.Name = "work";
    site.Host = " ftp.example.com ";
    site.Port = 2121;
    site.UserName = "bob";
    site.HostFolder = "/in/";
    site.LocalFolders = {"/tmp/one", "", "/tmp/three"};
    const std::optional<TConnectRequest> work = SiteConnectRequest(site, "me@example.com");
    ASSERT_TRUE(work);

    TRecordingTarget target;
    target.Connected = true;
    target.Typed = "typed";
    EXPECT_TRUE(OpenConnection(target, *work, true));
    EXPECT_EQ(target.Steps,
              (QStringList{"tab", "caption work", "prompt", "local /tmp/one shown", "local /tmp/three",
                           "connect bob@ftp.example.com:2121/in/ typed", "last work"}));

    // Without prompting, no password connects nothing, though the tab is named.
    TRecordingTarget quiet;
    EXPECT_FALSE(OpenConnection(quiet, *work, false));
    EXPECT_EQ(quiet.Steps, QStringList{"caption work"});

    // Anonymous sites log in with the address; URLs never become Last Connections.
    site.Anonymous = true;
    TRecordingTarget anonymous;
    EXPECT_TRUE(OpenConnection(anonymous, *SiteConnectRequest(site, "me@example.com"), true));
    EXPECT_TRUE(anonymous.Steps.contains("connect anonymous@ftp.example.com:2121/in/ me@example.com"));
    TURLParts parts;
    ASSERT_TRUE(SplitURL("ftp://u:p@host:21/dir/", QString(), parts));
    TRecordingTarget url;
    EXPECT_TRUE(OpenConnection(url, URLConnectRequest(parts, QString()), true));
    EXPECT_EQ(url.Steps, (QStringList{"caption host", "connect u@host:21/dir/ p"}));

    site.Host = "  ";
    EXPECT_FALSE(SiteConnectRequest(site, "me@example.com")) << "a site without a host (a deleted one)";
    EXPECT_EQ(URLHistoryWith({"ftp://b/", "FTP://A/", "ftp://c/"}, "ftp://a/"),
              (QStringList{"ftp://a/", "ftp://b/", "ftp://c/"}));
}

TEST_F(ConnectTest, TheCommandLineAsksForAMissingPasswordWithThePrompt)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("a.txt", "a");
    AnswerNextModalWindow([&server](QWidget &prompt) {
        auto *dialog = qobject_cast<TdlgPassword *>(&prompt);
        ASSERT_TRUE(dialog);
        dialog->editPassword->setText(QString::fromStdString(server.Password()));
        dialog->btnOK->click();
    });
    auto window = MakeWindow({"-c", QStringLiteral("127.0.0.1:%1").arg(server.Port()), "-u",
                              QString::fromStdString(server.User())});
    ASSERT_TRUE(WaitForListing(window->ActiveHostView()));
    window->close();
}

TEST_F(ConnectTest, ThePasswordPromptConnectsWithItsPasswordOrNotAtAll)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("a.txt", "a");
    auto window = MakeWindow();
    window->Options().SetBool(oiPromptForPass, true);

    AnswerNextModalWindow([](QWidget &prompt) {
        auto *dialog = qobject_cast<TdlgPassword *>(&prompt);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), "Enter a password");
        EXPECT_EQ(dialog->editPassword->echoMode(), QLineEdit::Password);
        dialog->btnCancel->click();
    });
    ConnectToNewSite(*window, "nopass", server, QString(), QString());
    THostView *view = window->ActiveHostView();
    ProcessEventsFor(300ms);
    EXPECT_FALSE(view->Connected());
    EXPECT_FALSE(view->EngineBusy()) << "nothing was started";
    EXPECT_EQ(window->HostTabs()->tabText(0), "nopass");
    EXPECT_FALSE(window->LastConnections().Any());

    // The same site from the manager again, and this time a password.
    AnswerNextModalWindow([&server](QWidget &prompt) {
        auto *dialog = qobject_cast<TdlgPassword *>(&prompt);
        ASSERT_TRUE(dialog);
        dialog->editPassword->setText(QString::fromStdString(server.Password()));
        dialog->btnOK->click();
    });
    window->ConnectClick();
    ASSERT_TRUE(window->SiteManager());
    EXPECT_EQ(window->SiteManager()->CurrentSite(), "nopass") << "the last site";
    window->SiteManager()->btnOK->click();
    ASSERT_TRUE(WaitForListing(view));
    EXPECT_EQ(window->LastConnections().Site(0), "nopass");
    window->close();
}

TEST_F(ConnectTest, LastConnectionsListNewestFirstAndADeletedSiteDoesNothing)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("a.txt", "a");
    auto window = MakeWindow();
    const QString password = QString::fromStdString(server.Password());
    for (const QString name : {"alpha", "beta", "gamma"}) {
        ConnectToNewSite(*window, name, server, QString(), password);
        ASSERT_TRUE(WaitForListing(window->ActiveHostView())) << name.toStdString();
    }
    EXPECT_EQ(window->HostTabs()->count(), 3);
    QList<QAction *> entries = LastConnectionEntries(*window);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0]->text(), "&1 gamma");
    EXPECT_EQ(entries[1]->text(), "&2 beta");
    EXPECT_EQ(entries[2]->text(), "&3 alpha");

    // A site deleted since: its entry stays and does nothing.
    TSiteStore(TSiteStore::DefaultFileName()).DeleteSite("beta");
    window->DisconnectClick();
    THostView *active = window->ActiveHostView();
    ASSERT_TRUE(WaitUntil([&] { return window->HostTabs()->tabText(2) == "Disconnected"; }));
    entries[1]->trigger();
    ProcessEventsFor(300ms);
    EXPECT_FALSE(active->Connected());
    EXPECT_FALSE(active->EngineBusy());
    EXPECT_EQ(window->HostTabs()->count(), 3);
    EXPECT_EQ(window->LastConnections().Site(0), "gamma");
    window->close();
}

TEST_F(ConnectTest, NewViewOfAConnectedTabLogsInAgainToTheSameFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("sub/inner.txt", "x");
    auto window = MakeWindow({"-c", QStringLiteral("127.0.0.1:%1").arg(server.Port()), "-u",
                              QString::fromStdString(server.User()), "-p",
                              QString::fromStdString(server.Password()), "-h", "/sub"});
    THostView *first = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(first));
    ASSERT_EQ(first->GetFolder(), "/sub/");

    window->HostNewViewClick();
    ASSERT_EQ(window->HostTabs()->count(), 2);
    THostView *copy = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(copy));
    EXPECT_EQ(copy->GetFolder(), "/sub/");
    EXPECT_EQ(window->HostTabs()->tabText(1), "127.0.0.1");
    EXPECT_TRUE(first->Connected());

    // From a tab that is not connected, New View asks the site manager.
    window->DisconnectClick();
    ASSERT_TRUE(WaitUntil([&] { return window->HostTabs()->tabText(1) == "Disconnected"; }));
    window->HostNewViewClick();
    EXPECT_EQ(window->HostTabs()->count(), 3);
    ASSERT_TRUE(window->SiteManager());
    EXPECT_TRUE(window->SiteManager()->isVisible());
    window->SiteManager()->btnCancel->click();
    window->close();
}

TEST_F(ConnectTest, AnHttpURLGoesToTheViewerAndIsNeverConnected)
{
    auto window = MakeWindow();
    window->ConnectURLClick();
    TfrmURL *form = window->URLForm();
    ASSERT_TRUE(form);
    form->cmboURL->setEditText("http://127.0.0.1:1/page.html");
    ASSERT_TRUE(form->btnOK->isEnabled());
    form->btnOK->click();
    ASSERT_TRUE(WaitUntil([&] { return window->ViewerShown(); }));
    EXPECT_EQ(window->Viewer()->Location(), QUrl("http://127.0.0.1:1/page.html"));
    EXPECT_EQ(window->HostTabs()->count(), 1);
    EXPECT_FALSE(window->ActiveHostView()->EngineBusy());
    EXPECT_TRUE(window->Options().URLs().isEmpty()) << "a web page is not an FTP URL to remember";
    window->close();
}

TEST_F(ConnectTest, TheManagerOpensAtStartWhenTheOptionsSaySo)
{
    SetStartOptions(true);
    auto window = MakeWindow();
    ASSERT_TRUE(WaitUntil([&] { return window->SiteManager() && window->SiteManager()->isVisible(); }, 10s));
    window->SiteManager()->btnCancel->click();
    window->close();

    // A host on the command line is connected to instead.
    auto commandLine = MakeWindow({"-c", "127.0.0.1:1"});
    ProcessEventsFor(200ms);
    EXPECT_FALSE(commandLine->SiteManager());
    commandLine->close();
}
