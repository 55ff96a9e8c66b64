#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "transfers/TransferSettings.h"
#include "views/FileList.h"
#include "views/HostListModel.h"
#include "views/TreeCombo.h"

#include "tests/support/FtpServers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/WidgetTests.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QStandardItem>
#include <QStandardItemModel>

#include <algorithm>

namespace {

using ::testing::ElementsAre;

// A remote view on screen with the shared tree combo, recording what it reports.
class TViewProbe
{
public:
    explicit TViewProbe(std::unique_ptr<TFTPComponent> engine = nullptr)
    {
        View = std::make_unique<THostView>(nullptr, std::move(engine));
        View->resize(640, 400);
        View->show();
        Combo = std::make_unique<TTreeCombo>();
        View->SetTreeCombo(Combo.get());
        View->FTP().SetPassive(true);
        QObject::connect(View.get(), &TCustomView::StateReported, [this](TCustomView *, int state, int) {
            if (state != vsStatus)
                States.push_back(state);
        });
        QObject::connect(View.get(), &THostView::LogLineAdded,
                         [this](THostView *, const QString &text, const QColor &color) {
                             ++LogEvents;
                             Logged.push_back({text, color});
                         });
    }
    ~TViewProbe()
    {
        // The engine ends before the server goes.
        View.reset();
    }

    // The folder is shown from its cached listing.
    bool Shows(const std::string &folder) const
    {
        const auto listing = View->ListingCache().Listing(folder);
        return listing && SameFolder(View->FolderBytes(), folder) && View->Model()->Listing() == listing
            && !View->BuildingList() && !View->WaitingForFolder();
    }
    bool WaitShows(const std::string &folder) const
    {
        return WaitUntil([&] { return Shows(folder); });
    }

    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (int row = 0; row < View->ItemCount(); ++row)
            captions.push_back(View->GetItemName(View->ListView()->Item(row)).toStdString());
        return captions;
    }
    QModelIndex ItemNamed(const std::string &caption) const
    {
        for (int row = 0; row < View->ItemCount(); ++row) {
            const QModelIndex item = View->ListView()->Item(row);
            if (View->GetItemName(item).toStdString() == caption)
                return item;
        }
        return QModelIndex();
    }
    // Commands the engine sent (green log lines) that begin with `prefix`.
    int CommandsSent(const QString &prefix) const
    {
        const QColor green = LogColor(clLogCommand);
        return int(std::count_if(View->LogEntries().Lines().begin(), View->LogEntries().Lines().end(),
                                 [&](const TViewLogLine &line) {
                                     return line.Color == green && line.Text.startsWith(prefix);
                                 }));
    }

    std::unique_ptr<THostView> View;
    std::unique_ptr<TTreeCombo> Combo;
    std::vector<int> States;
    int LogEvents = 0;
    std::vector<TViewLogLine> Logged;
};

// ---- Against the real servers ----

class HostViewServerTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        Server = StartTestServer(GetParam());
        Server->PutFile("a.txt", "x");
        Server->PutFile("b.doc", QByteArray(2000, 'b'));
        Server->PutFile("c.bin", QByteArray(10000, 'c'));
        Server->PutFile("docs/readme.txt", "hello");
        Server->PutFile("docs/guide.doc", "guide");
        Server->PutFile("docs/sub/deep.txt", "deep");
        Server->MakeFolder("zeta");
        ASSERT_TRUE(QFile::link("docs", Server->LocalPath("lnk")));
        Server->HandOver(Server->LocalPath("lnk"));
        Probe = std::make_unique<TViewProbe>();
    }
    void TearDown() override
    {
        Probe.reset();
        Server.reset();
    }

    THostView &View() { return *Probe->View; }
    std::string LogText() const
    {
        std::string text;
        for (const TViewLogLine &line : Probe->View->LogEntries().Lines())
            text += line.Text.toStdString() + "\n";
        return text;
    }

    void ConnectTo(const QString &folder = QString(), const QString &files = QString())
    {
        View().Connect(QString::fromStdString(Server->Host()), Server->Port(),
                       QString::fromStdString(Server->User()), QString::fromStdString(Server->Password()),
                       QString(), folder, files);
    }
    void ConnectAndShowRoot()
    {
        ConnectTo();
        ASSERT_TRUE(Probe->WaitShows("/")) << "states: " << ::testing::PrintToString(Probe->States);
    }
    // Goes into a folder of the list and waits for its listing.
    void Enter(const std::string &caption, const std::string &expectedFolder)
    {
        const QModelIndex item = Probe->ItemNamed(caption);
        ASSERT_TRUE(item.isValid()) << caption;
        ASSERT_TRUE(View().EnterFolder(item));
        ASSERT_TRUE(Probe->WaitShows(expectedFolder))
            << LogText() << ::testing::PrintToString(Probe->States) << Server->ProtocolLogText().toStdString();
    }

    std::unique_ptr<TTestFtpServer> Server;
    std::unique_ptr<TViewProbe> Probe;
};

TEST_P(HostViewServerTest, ConnectReportsItsStatesInOrder)
{
    ConnectAndShowRoot();
    // Connecting, connected, logged in, waiting for the listing, the listing's data
    // connection ended, the list is filled.
    EXPECT_THAT(Probe->States, ElementsAre(vsBusy, vsConnected, vsLoggedIn, vsBusy, vsIdle, vsIdle));
    EXPECT_TRUE(View().Connected());
    EXPECT_TRUE(View().ListView()->isEnabled());
    EXPECT_EQ(View().GetFolder(), "/");
    EXPECT_THAT(Probe->Captions(), ElementsAre("docs", "lnk", "zeta", "a.txt", "b.doc", "c.bin"));
    EXPECT_EQ(View().PanelText(1), "6 Entries, 11.7KB");
    EXPECT_EQ(View().PanelText(2), "0 Items Selected, 0 Bytes");
    EXPECT_GT(View().LogEntries().Count(), 0);
    EXPECT_EQ(Probe->LogEvents, View().LogEntries().Count());

    View().Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return Probe->States.back() == vsDisconnected; }));
    EXPECT_FALSE(View().ListView()->isEnabled());
    EXPECT_EQ(View().ItemCount(), 0);
    EXPECT_EQ(View().ListingCache().Count(), 0);
    EXPECT_EQ(View().LogEntries().Count(), 0);
    EXPECT_TRUE(Probe->Combo->IsEmpty());
    EXPECT_TRUE(View().PanelText(1).isEmpty());
}

TEST_P(HostViewServerTest, WrongPasswordReportsLoginFailure)
{
    // The engine retries a refused login; no need to wait between attempts here.
    struct TNoRetryDelay
    {
        int Saved = TFTPComponent::RetryDelaySeconds.exchange(0);
        ~TNoRetryDelay() { TFTPComponent::RetryDelaySeconds = Saved; }
    } noRetryDelay;
    View().Connect(QString::fromStdString(Server->Host()), Server->Port(),
                   QString::fromStdString(Server->User()), QStringLiteral("wrong"), QString(), QString(), QString());
    ASSERT_TRUE(WaitUntil([&] {
        return std::find(Probe->States.begin(), Probe->States.end(), vsLoginFailed) != Probe->States.end();
    }));
    EXPECT_EQ(Probe->States.front(), vsBusy);
    EXPECT_EQ(std::count(Probe->States.begin(), Probe->States.end(), vsLoggedIn), 0);
}

TEST_P(HostViewServerTest, StartFolderAndLinkedFolders)
{
    ConnectTo(QStringLiteral("/docs"));
    ASSERT_TRUE(Probe->WaitShows("/docs/"));
    EXPECT_THAT(Probe->Captions(), ElementsAre("sub", "guide.doc", "readme.txt"));
    ASSERT_TRUE(View().FolderUp());
    ASSERT_TRUE(Probe->WaitShows("/"));
    // A link whose target looks like a folder is a folder everywhere.
    const QModelIndex link = Probe->ItemNamed("lnk");
    EXPECT_TRUE(View().IsFolder(link));
    EXPECT_TRUE(View().IsLink(link));
    EXPECT_EQ(View().Model()->data(link.siblingAtColumn(THostListModel::colType), Qt::DisplayRole).toString(),
              "Shortcut to docs");
    EXPECT_TRUE(View().KnownFolders().Contains("/lnk/"));
    ASSERT_TRUE(View().EnterFolder(link));
    // The view shows the folder the server reports: vsftpd names the link's target.
    const std::string reported = GetParam() == TServerKind::Vsftpd ? "/docs/" : "/lnk/";
    ASSERT_TRUE(Probe->WaitShows(reported)) << LogText();
    EXPECT_THAT(Probe->Captions(), ElementsAre("sub", "guide.doc", "readme.txt"));
}

TEST_P(HostViewServerTest, CachedFoldersCostNoServerTraffic)
{
    ConnectAndShowRoot();
    Enter("docs", "/docs/");
    Enter("sub", "/docs/sub/");
    EXPECT_THAT(Probe->Captions(), ElementsAre("deep.txt"));
    const int lines = View().LogEntries().Count();
    const int lists = Probe->CommandsSent("LIST");
    EXPECT_EQ(lists, 3);

    ASSERT_TRUE(View().FolderUp());
    EXPECT_TRUE(Probe->Shows("/docs/")) << "served from the cache at once";
    ASSERT_TRUE(View().FolderUp());
    EXPECT_TRUE(Probe->Shows("/"));
    ASSERT_TRUE(View().ChangeFolder(QStringLiteral("/docs/sub")));
    EXPECT_TRUE(Probe->Shows("/docs/sub/"));
    // Folder paths ignore letter case in the cache.
    ASSERT_TRUE(View().ChangeFolder(QStringLiteral("/DOCS/")));
    EXPECT_TRUE(Probe->Shows("/docs/"));
    EXPECT_EQ(View().LogEntries().Count(), lines) << "nothing was sent";

    // The root is left alone by FolderUp.
    ASSERT_TRUE(View().ChangeFolder(QStringLiteral("/")));
    ASSERT_TRUE(View().FolderUp());
    EXPECT_TRUE(Probe->Shows("/"));
    EXPECT_EQ(View().LogEntries().Count(), lines);
}

TEST_P(HostViewServerTest, RefreshDropsOnlyTheCurrentFolder)
{
    ConnectAndShowRoot();
    Enter("docs", "/docs/");
    Enter("sub", "/docs/sub/");
    ASSERT_TRUE(View().FolderUp());
    Server->PutFile("docs/new.txt", "n");
    EXPECT_THAT(Probe->Captions(), ElementsAre("sub", "guide.doc", "readme.txt"));

    View().Refresh();
    EXPECT_FALSE(View().ListingCache().Contains("/docs/"));
    EXPECT_TRUE(View().ListingCache().HasListing("/docs/sub/"));
    EXPECT_TRUE(View().ListingCache().HasListing("/"));
    ASSERT_TRUE(Probe->WaitShows("/docs/"));
    EXPECT_THAT(Probe->Captions(), ElementsAre("sub", "guide.doc", "new.txt", "readme.txt"));
    EXPECT_EQ(Probe->CommandsSent("LIST"), 4);
}

TEST_P(HostViewServerTest, MasksFilterFilesWithoutAskingTheServer)
{
    ConnectAndShowRoot();
    const int lines = View().LogEntries().Count();
    View().SetMask(QStringLiteral("*.TXT"));
    EXPECT_EQ(View().GetMask(), "*.txt");
    EXPECT_EQ(View().PanelText(0), "*.txt");
    EXPECT_THAT(Probe->Captions(), ElementsAre("docs", "lnk", "zeta", "a.txt"));
    View().SetMask(QStringLiteral("*.doc; c.*"));
    EXPECT_EQ(View().GetMask(), "*.doc;c.*");
    EXPECT_THAT(Probe->Captions(), ElementsAre("docs", "lnk", "zeta", "b.doc", "c.bin"));
    View().SetMask(QStringLiteral("*.*"));
    EXPECT_EQ(View().GetMask(), "*.*");
    EXPECT_EQ(View().ItemCount(), 6);
    EXPECT_EQ(View().LogEntries().Count(), lines);
}

TEST_P(HostViewServerTest, SortsByEveryColumnBothWays)
{
    ConnectAndShowRoot();
    using V = std::vector<std::string>;
    const auto sortBy = [&](int column) {
        View().ColumnClick(column);
        return Probe->Captions();
    };
    EXPECT_EQ(View().SortColumn(), 1);
    EXPECT_EQ(sortBy(1), (V{"c.bin", "b.doc", "a.txt", "zeta", "lnk", "docs"}));
    EXPECT_EQ(View().SortColumn(), -1);
    EXPECT_EQ(sortBy(2), (V{"docs", "lnk", "zeta", "a.txt", "b.doc", "c.bin"}));
    // Size twice: descending, folders at the bottom.
    EXPECT_EQ(sortBy(2), (V{"c.bin", "b.doc", "a.txt", "zeta", "lnk", "docs"}));
    const V byType = sortBy(3);
    EXPECT_EQ(V(byType.begin(), byType.begin() + 3), (V{"docs", "lnk", "zeta"}));
    const V byTypeDown = sortBy(3);
    EXPECT_EQ(V(byTypeDown.begin() + 3, byTypeDown.end()), (V{"zeta", "lnk", "docs"}));
    EXPECT_EQ(V(byTypeDown.begin(), byTypeDown.begin() + 3), V(byType.rbegin(), byType.rbegin() + 3));
    // Dates: folders first then last; within each group the dates run the same way.
    const auto datesRun = [&](bool ascending) {
        for (int row = 1; row < View().ItemCount(); ++row) {
            const QModelIndex a = View().ListView()->Item(row - 1);
            const QModelIndex b = View().ListView()->Item(row);
            if (View().IsFolder(a) != View().IsFolder(b)) {
                if (View().IsFolder(a) != ascending)
                    return false;
            } else if (ascending ? View().GetItemDate(b) < View().GetItemDate(a)
                                 : View().GetItemDate(a) < View().GetItemDate(b)) {
                return false;
            }
        }
        return true;
    };
    sortBy(4);
    EXPECT_EQ(View().SortColumn(), 4);
    EXPECT_TRUE(datesRun(true));
    sortBy(4);
    EXPECT_EQ(View().SortColumn(), -4);
    EXPECT_TRUE(datesRun(false));
}

TEST_P(HostViewServerTest, SortingKeepsTheSelection)
{
    ConnectAndShowRoot();
    View().ListView()->SelectRow(3); // a.txt
    View().ColumnClick(2);
    View().ColumnClick(2);
    const QModelIndexList selected = View().SelectedItems();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(View().GetItemName(selected.first()), "a.txt");
    EXPECT_EQ(View().PanelText(2), "1 Item Selected, 1 Byte");
}

TEST_P(HostViewServerTest, TreeComboHoldsTheFoldersSeen)
{
    ConnectAndShowRoot();
    Enter("docs", "/docs/");
    Enter("sub", "/docs/sub/");
    TTreeCombo &combo = *Probe->Combo;
    ASSERT_NE(combo.RootNode(), nullptr);
    EXPECT_EQ(combo.RootNode()->text(), "Server");
    std::vector<std::string> top;
    for (int row = 0; row < combo.RootNode()->rowCount(); ++row)
        top.push_back(combo.RootNode()->child(row)->text().toStdString());
    EXPECT_THAT(top, ElementsAre("docs", "lnk", "zeta"));
    ASSERT_NE(combo.Node("/docs/sub/"), nullptr);
    EXPECT_EQ(combo.SelectedPath(), "/docs/sub/");
    EXPECT_FALSE(combo.AtTop());
    // Folders seen but never listed are dimmed.
    EXPECT_FALSE(combo.Node("/zeta/")->data(TTreeCombo::ListedRole).toBool());
    EXPECT_TRUE(combo.Node("/docs/")->data(TTreeCombo::ListedRole).toBool());

    // Choosing a node goes there.
    combo.AddPath("/", '/', true, nullptr);
    View().TreeComboChange();
    EXPECT_TRUE(Probe->Shows("/"));
    EXPECT_TRUE(combo.AtTop());
    combo.AddPath("/zeta/", '/', true, nullptr);
    View().TreeComboChange();
    ASSERT_TRUE(Probe->WaitShows("/zeta/"));
    EXPECT_TRUE(combo.Node("/zeta/")->data(TTreeCombo::ListedRole).toBool());
    EXPECT_EQ(View().ItemCount(), 0);
}

TEST_P(HostViewServerTest, RenamesOnTheServerUpdateTheCache)
{
    ConnectAndShowRoot();
    Enter("docs", "/docs/");
    Enter("sub", "/docs/sub/");
    ASSERT_TRUE(View().ChangeFolder(QStringLiteral("/")));

    // A file moved into another cached folder.
    View().FTP().Rename("/a.txt", "/docs/moved.txt");
    ASSERT_TRUE(WaitUntil([&] { return !Probe->ItemNamed("a.txt").isValid(); }));
    EXPECT_TRUE(Probe->Shows("/"));
    const auto docs = View().ListingCache().Listing("/docs/");
    ASSERT_TRUE(docs);
    EXPECT_GE(FindEntry(*docs, "moved.txt"), 0);

    // A folder renamed: its cached subtree follows.
    View().FTP().Rename("/docs", "/papers");
    ASSERT_TRUE(WaitUntil([&] { return Probe->ItemNamed("papers").isValid(); }));
    EXPECT_FALSE(Probe->ItemNamed("docs").isValid());
    EXPECT_TRUE(View().ListingCache().HasListing("/papers/sub/"));
    EXPECT_FALSE(View().ListingCache().Contains("/docs/"));
    EXPECT_TRUE(View().KnownFolders().Contains("/papers/sub/"));
    ASSERT_NE(Probe->Combo->Node("/papers/sub/"), nullptr);
    EXPECT_EQ(Probe->Combo->Node("/docs/"), nullptr);

    const int lists = Probe->CommandsSent("LIST");
    ASSERT_TRUE(View().ChangeFolder(QStringLiteral("/papers/sub/")));
    EXPECT_TRUE(Probe->Shows("/papers/sub/"));
    EXPECT_THAT(Probe->Captions(), ElementsAre("deep.txt"));
    EXPECT_EQ(Probe->CommandsSent("LIST"), lists);
}

TEST_P(HostViewServerTest, UpdateEntryShowsTheNewFile)
{
    ConnectAndShowRoot();
    View().UpdateEntry("/", "upload.bin", 0, 4096, TDateTime::Now());
    EXPECT_TRUE(Probe->ItemNamed("upload.bin").isValid());
    EXPECT_EQ(View().GetItemSize(Probe->ItemNamed("upload.bin")), 4096);
    // A new folder elsewhere takes the view there.
    View().UpdateEntry("/docs", "made", faFolder, 0, TDateTime::Now());
    ASSERT_TRUE(Probe->WaitShows("/docs/"));
}

TEST_P(HostViewServerTest, ItemUrlsAndNames)
{
    ConnectAndShowRoot();
    const QModelIndex item = Probe->ItemNamed("a.txt");
    EXPECT_EQ(View().GetItemPath(item), "/a.txt");
    EXPECT_EQ(View().GetItemURL(item), QStringLiteral("ftp://%1:%2@127.0.0.1:%3/a.txt")
                                           .arg(QString::fromStdString(Server->User()),
                                                QString::fromStdString(Server->Password()))
                                           .arg(Server->Port()));
    EXPECT_EQ(View().GetItemSize(item), 1);
}

TEST_P(HostViewServerTest, LogKeepsThe800NewestLines)
{
    ConnectAndShowRoot();
    const int before = Probe->LogEvents;
    // Each folder change logs the command and the reply.
    for (int i = 0; i < 450; ++i)
        View().FTP().SetCurrentFolder("/");
    ASSERT_TRUE(WaitUntil([&] { return Probe->LogEvents >= before + 900; }));
    EXPECT_EQ(View().LogEntries().Count(), 800);
    const TViewLogLine &last = View().LogEntries().Lines().back();
    EXPECT_TRUE(last.Text.startsWith("250")) << last.Text.toStdString();
    EXPECT_EQ(last.Color, LogColor(clLogReply));
}

TEST_P(HostViewServerTest, ChangeFolderAndWaitEndsForMissingFolders)
{
    ConnectAndShowRoot();
    EXPECT_TRUE(View().ChangeFolderAndWait(QStringLiteral("/docs/sub")));
    EXPECT_TRUE(Probe->Shows("/docs/sub/"));
    // The server stays where it was and names that folder; the wait ends.
    EXPECT_FALSE(View().ChangeFolderAndWait(QStringLiteral("/no/such/folder")));
    ASSERT_TRUE(Probe->WaitShows("/docs/sub/"));
}

TEST_P(HostViewServerTest, FilesGivenAtConnectAreSelectedAndHandedOver)
{
    std::vector<TCustomView *> asked;
    const QObject owner;
    View().SetTransferTarget(&owner, [&](TCustomView *sender) -> TCustomView * {
        asked.push_back(sender);
        return nullptr;
    });
    ConnectTo(QString(), QStringLiteral("a.txt;C.BIN"));
    ASSERT_TRUE(Probe->WaitShows("/"));
    ASSERT_EQ(View().SelectedCount(), 2);
    EXPECT_EQ(View().GetItemName(View().SelectedItems()[0]), "a.txt");
    EXPECT_EQ(View().GetItemName(View().SelectedItems()[1]), "c.bin");
    // Neither is a folder: the owner is asked at once.
    EXPECT_THAT(asked, ElementsAre(&View()));
}

TEST_P(HostViewServerTest, ALogonStartedBeforeTheViewIsTakenOverByItsFirstConnect)
{
    const auto logOnEarly = [&](const QString &account) {
        auto engine = std::make_unique<TFTPComponent>();
        engine->SetPassive(true);
        engine->HoldNotifications();
        StartHostLogon(*engine,
                       {QString::fromStdString(Server->Host()), Server->Port(),
                        QString::fromStdString(Server->User()), QString::fromStdString(Server->Password()),
                        account},
                       TTransferSettings{});
        return engine;
    };
    // The command as received; pyftpdlib also logs "USER 'name' logged in".
    const QByteArray userCommand = QByteArray("USER ") + QByteArray::fromStdString(Server->User());
    const auto users = [&] { return Server->ProtocolLogText().count(userCommand); };

    // The logon ends while events are processed; the view hears of it only once it
    // connects, and then of all of it: one logon, listed and selected as usual.
    Probe = std::make_unique<TViewProbe>(logOnEarly(QString()));
    ASSERT_TRUE(WaitUntil([&] { return !View().FTP().Busy() && View().FTP().NotificationsPending(); }));
    EXPECT_TRUE(Probe->States.empty());
    EXPECT_EQ(View().LogEntries().Count(), 0);
    ConnectTo(QStringLiteral("docs"), QStringLiteral("guide.doc"));
    ASSERT_TRUE(Probe->WaitShows("/docs/")) << LogText();
    EXPECT_THAT(Probe->States, ElementsAre(vsBusy, vsConnected, vsLoggedIn, vsBusy, vsIdle, vsIdle));
    EXPECT_EQ(Probe->CommandsSent(QStringLiteral("USER")), 1);
    EXPECT_EQ(users(), 1);
    ASSERT_EQ(View().SelectedCount(), 1);
    EXPECT_EQ(View().GetItemName(View().SelectedItems()[0]), "guide.doc");

    // Other connection data: that logon is dropped unheard and the view logs on itself.
    Probe = std::make_unique<TViewProbe>(logOnEarly(QStringLiteral("elsewhere")));
    ASSERT_TRUE(WaitUntil([&] { return users() == 2 && !View().FTP().Busy(); }));
    ConnectTo();
    ASSERT_TRUE(Probe->WaitShows("/")) << LogText();
    EXPECT_THAT(Probe->States, ElementsAre(vsBusy, vsConnected, vsLoggedIn, vsBusy, vsIdle, vsIdle));
    EXPECT_EQ(Probe->CommandsSent(QStringLiteral("USER")), 1);
    EXPECT_EQ(users(), 3);
    EXPECT_TRUE(View().FTP().Account().empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, HostViewServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

// ---- Replies no real server gives ----

// The engine's login dialogue: welcome, USER, PASS, SYST and the restart probe in
// binary mode.
TServerScript LoginScript(const std::string &systReply)
{
    TServerScript script;
    script.Reply("220 Scripted server ready")
        .Answer("USER joe", "331 Password required")
        .Answer("PASS secret", "230 Logged in")
        .Answer("SYST", systReply)
        .Answer("TYPE I", "200 Binary")
        .Answer("REST 100", "350 Restarting at 100")
        .Answer("REST 0", "350 Restarting at 0");
    return script;
}

TEST(HostViewScripted, BackslashFolderReplySwitchesTheSeperator)
{
    const std::string dosListing = "01-02-20  10:15AM       <DIR>          SUB\r\n"
                                   "01-02-20  10:15AM                 1234 FILE.TXT\r\n";
    TScriptedServer server(LoginScript("215 Windows_NT")
                               .Answer("PWD", "257 \"C:\\DATA\" is current directory.")
                               .Passive()
                               .Answer("LIST", "150 Opening data connection")
                               .DataSend(dosListing)
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Answer("CWD C:\\DATA\\SUB\\", "250 CWD command successful")
                               .Answer("PWD", "257 \"C:\\DATA\\SUB\" is current directory.")
                               .Passive()
                               .Answer("LIST", "150 Opening data connection")
                               .DataSend("01-02-20  10:15AM                    7 INNER.TXT\r\n")
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Hang());
    TViewProbe probe;
    THostView &view = *probe.View;
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QStringLiteral("joe"),
                 QStringLiteral("secret"), QString(), QString(), QString());
    ASSERT_TRUE(probe.WaitShows("C:\\DATA\\")) << ::testing::PrintToString(server.ReceivedCommands());
    EXPECT_EQ(view.Seperator(), QLatin1Char('\\'));
    EXPECT_EQ(view.GetFolder(), "C:\\DATA\\");
    EXPECT_THAT(probe.Captions(), ElementsAre("SUB", "FILE.TXT"));
    EXPECT_EQ(view.GetItemPath(probe.ItemNamed("FILE.TXT")), "C:\\DATA\\FILE.TXT");
    EXPECT_TRUE(view.KnownFolders().Contains("C:\\DATA\\SUB\\"));

    ASSERT_TRUE(view.EnterFolder(probe.ItemNamed("SUB")));
    ASSERT_TRUE(probe.WaitShows("C:\\DATA\\SUB\\")) << ::testing::PrintToString(server.ReceivedCommands());
    EXPECT_THAT(probe.Captions(), ElementsAre("INNER.TXT"));
    ASSERT_TRUE(view.FolderUp());
    EXPECT_TRUE(probe.Shows("C:\\DATA\\"));
    EXPECT_THAT(server.Failures(), ::testing::IsEmpty());
    ASSERT_NE(probe.Combo->Node("C:\\DATA\\SUB\\"), nullptr);
}

TEST(HostViewScripted, ErrorsEndTheBusyStateAndAreLoggedInRed)
{
    TScriptedServer server(LoginScript("215 UNIX Type: L8")
                               .Answer("PWD", "257 \"/\"")
                               .Expect("PASV")
                               .Reset());
    TViewProbe probe;
    THostView &view = *probe.View;
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QStringLiteral("joe"),
                 QStringLiteral("secret"), QString(), QString(), QString());
    ASSERT_TRUE(WaitUntil([&] {
        return std::find(probe.States.begin(), probe.States.end(), vsDisconnected) != probe.States.end();
    }));
    const auto error = std::find(probe.States.begin(), probe.States.end(), vsError);
    ASSERT_NE(error, probe.States.end()) << ::testing::PrintToString(probe.States);
    EXPECT_EQ(*(error - 1), vsIdle);
    const auto red = std::find_if(probe.Logged.begin(), probe.Logged.end(), [](const TViewLogLine &line) {
        return line.Text.startsWith("Error: ");
    });
    ASSERT_NE(red, probe.Logged.end());
    EXPECT_EQ(red->Color, QColor(255, 0, 0));
    EXPECT_FALSE(view.Connected());
    EXPECT_EQ(view.ListingCache().Count(), 0);
}

TEST(HostViewScripted, StopEndsAWaitForAFolder)
{
    TScriptedServer server(LoginScript("215 UNIX Type: L8")
                               .Hang());
    TViewProbe probe;
    THostView &view = *probe.View;
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QStringLiteral("joe"),
                 QStringLiteral("secret"), QString(), QString(), QString());
    ASSERT_TRUE(WaitUntil([&] { return view.WaitingForFolder(); }));
    EXPECT_FALSE(view.ChangeFolder(QStringLiteral("/elsewhere"))) << "refused while waiting";
    view.Stop();
    EXPECT_FALSE(view.WaitingForFolder());
}

} // namespace
