// Transfers between a local and a remote view: the selection walked folder by folder,
// the per-file questions and the items the queue receives, against real servers.

#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "views/FileList.h"
#include "views/LoclView.h"

#include "tests/support/FtpServers.h"
#include "tests/support/ScriptedQuestions.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TMessages : public TTransferHost
{
public:
    QStringList Messages;

    void SetApplicationTitle(const QString &) override {}
    void SetStatusText(const QString &) override {}
    bool ShowTransferInfo() const override { return false; }
    void ShowProgressWindow() override {}
    void StartActivity() override {}
    void ShowMessage(const QString &text) override { Messages << text; }
};

// What the queue was given, in the order it was given.
struct TAddedItem
{
    std::string Line; // "folder <dest><name>" or "<dest><name> @<offset>"
    std::string SourceFolder;
    std::int64_t Size = 0;
    TTransferDirection Direction = tdDownload;
    TTransferView *SourceView = nullptr;
    TTransferView *TargetView = nullptr;
};

class HostTransferTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        ASSERT_TRUE(LocalDir.isValid());
        Server = StartTestServer(GetParam());
        Server->MakeFolder("in");

        TTransferSettings settings;
        settings.Passive = true;
        settings.ConfirmOverwrites = true;
        settings.TryToResume = 0;
        Queue = std::make_unique<TTransferItems>(&Host);
        Queue->SetSettings(settings);
        QueueConnections += Queue->OnItemAdded.Connect([this](TTransferItems &, TTransferItem &item) {
            TAddedItem added;
            added.Line = item.IsFolder ? "folder " + item.DestFolder + item.Name
                                       : item.DestFolder + item.Name + " @" + std::to_string(item.RestartOffset);
            added.SourceFolder = item.SourceFolder;
            added.Size = item.Size;
            added.Direction = item.Direction;
            added.SourceView = item.SourceView;
            added.TargetView = item.TargetView;
            Added.push_back(added);
        });

        Local = std::make_unique<TLocalView>();
        Local->resize(500, 300);
        Local->show();
        Remote = std::make_unique<THostView>();
        Remote->resize(500, 300);
        Remote->show();
        Remote->FTP().SetPassive(true);
        Remote->SetSettings(&Queue->Settings());
        Remote->SetTransferQueue(Queue.get());
        Remote->SetQuestions(&Questions);
    }
    void TearDown() override
    {
        // Items still waiting end with their engines before the views and servers go.
        Queue.reset();
        Remote.reset();
        Local.reset();
        Server.reset();
    }

    void Settings(const std::function<void(TTransferSettings &)> &change)
    {
        TTransferSettings settings = Queue->Settings();
        change(settings);
        Queue->SetSettings(settings);
    }

    std::string LocalRoot() const { return QDir(LocalDir.path()).absolutePath().toStdString() + "/"; }
    QString LocalPath(const QString &relative) const { return QString::fromStdString(LocalRoot()) + relative; }
    void PutLocal(const QString &relative, const QByteArray &bytes) const
    {
        const QString path = LocalPath(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(WriteAll(path, bytes));
    }

    void ConnectRemoteTo(const std::string &folder)
    {
        Remote->Connect(QString::fromStdString(Server->Host()), Server->Port(),
                        QString::fromStdString(Server->User()), QString::fromStdString(Server->Password()),
                        QString(), QString::fromStdString(folder), QString());
        ASSERT_TRUE(WaitUntil([&] { return RemoteShows(folder); })) << Server->ProtocolLogText().toStdString();
    }
    bool RemoteShows(const std::string &folder) const
    {
        return Remote->Connected() && SameFolder(Remote->FolderBytes(), folder)
            && Remote->ListingCache().HasListing(folder) && !Remote->BuildingList() && !Remote->WaitingForFolder();
    }
    // Shows the local folder with all `count` entries listed and selected.
    void SelectAllLocal(const QString &relative, int count)
    {
        ASSERT_TRUE(Local->ChangeFolderAndWait(LocalPath(relative)));
        ASSERT_TRUE(WaitUntil([&] { return Local->ItemCount() == count; })) << Local->ItemCount();
        Local->SelectAll();
        ASSERT_EQ(Local->SelectedCount(), count);
    }
    // Selects the local entries with these names only.
    void SelectLocal(const QStringList &names)
    {
        std::vector<int> rows;
        for (int row = 0; row < Local->ItemCount(); ++row) {
            if (names.contains(Local->GetItemName(Local->ListView()->Item(row))))
                rows.push_back(row);
        }
        Local->ListView()->ClearSelection();
        Local->ListView()->SelectRows(rows);
        ASSERT_EQ(Local->SelectedCount(), names.size());
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (const TAddedItem &item : Added)
            lines.push_back(item.Line);
        return lines;
    }
    bool RunQueue() const
    {
        return WaitUntil([&] { return Queue->IsIdle(); });
    }
    QByteArray RemoteFile(const QString &relative) const { return ReadAll(Server->LocalPath(relative)); }

    QTemporaryDir LocalDir;
    std::unique_ptr<TTestFtpServer> Server;
    TMessages Host;
    TScriptedQuestions Questions;
    std::unique_ptr<TTransferItems> Queue;
    TScopedConnections QueueConnections;
    std::unique_ptr<TLocalView> Local;
    std::unique_ptr<THostView> Remote;
    std::vector<TAddedItem> Added;
};

TEST_P(HostTransferTest, UploadsANestedSelectionAndDownloadsItBack)
{
    const QByteArray a = Pattern(300 * 1024 + 7, 1);
    const QByteArray b = Pattern(90, 2);
    const QByteArray t = Pattern(70 * 1024, 3);
    const QByteArray d = Pattern(1, 4);
    PutLocal("up/a.bin", a);
    PutLocal("up/b.txt", b);
    PutLocal("up/tree/t.bin", t);
    PutLocal("up/tree/deeper/d.bin", d);
    ConnectRemoteTo("/in/");
    SelectAllLocal("up", 3);

    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    // Files of a level first, then each folder before what is inside it, depth first.
    EXPECT_THAT(Lines(), ElementsAre("/in/a.bin @0", "/in/b.txt @0", "folder /in/tree", "/in/tree/t.bin @0",
                                     "folder /in/tree/deeper", "/in/tree/deeper/d.bin @0"));
    const std::string up = LocalRoot() + "up/";
    ASSERT_EQ(Added.size(), 6u);
    EXPECT_EQ(Added[0].SourceFolder, up);
    EXPECT_EQ(Added[0].Size, a.size());
    EXPECT_EQ(Added[0].Direction, tdUpload);
    EXPECT_EQ(Added[0].SourceView, Local.get());
    EXPECT_EQ(Added[0].TargetView, Remote.get());
    EXPECT_EQ(Added[2].SourceFolder, "") << "a folder item has no source folder";
    EXPECT_EQ(Added[2].Size, 0);
    EXPECT_EQ(Added[3].SourceFolder, up + "tree/");
    EXPECT_EQ(Added[5].SourceFolder, up + "tree/deeper/");
    EXPECT_EQ(Local->GetFolder(), QString::fromStdString(up)) << "the local view walked back up";
    EXPECT_TRUE(Questions.Overwrites.empty());

    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(Queue->CountOf(tsDone), 6);
    EXPECT_EQ(RemoteFile("in/a.bin"), a);
    EXPECT_EQ(RemoteFile("in/b.txt"), b);
    EXPECT_EQ(RemoteFile("in/tree/t.bin"), t);
    EXPECT_EQ(RemoteFile("in/tree/deeper/d.bin"), d);

    // And back into an empty local folder, the remote view doing the walk.
    ASSERT_TRUE(QDir().mkpath(LocalPath("down")));
    ASSERT_TRUE(Local->ChangeFolderAndWait(LocalPath("down")));
    // The finished folder items left the remote view in the last folder made, which it
    // may still be on its way to; it takes no other folder before it gets there.
    ASSERT_TRUE(WaitUntil([&] { return !Remote->WaitingForFolder(); }));
    ASSERT_TRUE(Remote->ChangeFolderAndWait(QStringLiteral("/in/")));
    Remote->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return RemoteShows("/in/") && Remote->ItemCount() == 3; }));
    Remote->SelectAll();
    Added.clear();
    ASSERT_TRUE(Remote->TransferTo(Local.get()));
    const std::string down = LocalRoot() + "down/";
    EXPECT_THAT(Lines(), ElementsAre(down + "a.bin @0", down + "b.txt @0", "folder " + down + "tree",
                                     down + "tree/t.bin @0", "folder " + down + "tree/deeper",
                                     down + "tree/deeper/d.bin @0"));
    ASSERT_EQ(Added.size(), 6u);
    EXPECT_EQ(Added[3].SourceFolder, "/in/tree/");
    EXPECT_EQ(Added[3].Direction, tdDownload);
    EXPECT_EQ(Added[3].SourceView, Remote.get());
    EXPECT_EQ(Added[3].TargetView, Local.get());
    EXPECT_TRUE(RemoteShows("/in/")) << "the remote view walked back up";

    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(ReadAll(LocalPath("down/a.bin")), a);
    EXPECT_EQ(ReadAll(LocalPath("down/b.txt")), b);
    EXPECT_EQ(ReadAll(LocalPath("down/tree/t.bin")), t);
    EXPECT_EQ(ReadAll(LocalPath("down/tree/deeper/d.bin")), d);
    EXPECT_THAT(Host.Messages, IsEmpty());
}

// A site's folder goes up whole, ".htaccess" and all.
TEST_P(HostTransferTest, DotFilesGoUpWithTheirFolder)
{
    const QByteArray rules = "Options -Indexes\n";
    PutLocal("up/site/.htaccess", rules);
    ConnectRemoteTo("/in/");
    SelectAllLocal("up", 1);

    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    EXPECT_THAT(Lines(), ElementsAre("folder /in/site", "/in/site/.htaccess @0"));
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(RemoteFile("in/site/.htaccess"), rules);
}

TEST_P(HostTransferTest, ALocalLinkBackUpIsNotWalkedAgain)
{
    PutLocal("up/sub/f.bin", Pattern(10, 5));
    ASSERT_TRUE(QFile::link(LocalPath("up"), LocalPath("up/sub/loop")));
    ConnectRemoteTo("/in/");
    SelectAllLocal("up", 1);

    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    EXPECT_THAT(Lines(), ElementsAre("folder /in/sub", "/in/sub/f.bin @0"));
    EXPECT_EQ(Local->GetFolder(), LocalPath("up/")) << "the local view walked back up";
}

TEST_P(HostTransferTest, OverwriteQuestionsDecideOffsetsForOneDropAtATime)
{
    const QByteArray r = Pattern(3000, 5);
    const QByteArray y = Pattern(300, 6);
    const QByteArray z1 = Pattern(400, 7);
    const QByteArray z2 = Pattern(500, 8);
    PutLocal("up/r.bin", r);
    PutLocal("up/y.bin", y);
    PutLocal("up/z1.bin", z1);
    PutLocal("up/z2.bin", z2);
    // r.bin was cut short; the others are as large or larger than what is sent.
    Server->PutFile("in/r.bin", r.left(1000));
    Server->PutFile("in/y.bin", Pattern(700, 9));
    Server->PutFile("in/z1.bin", Pattern(400, 10));
    Server->PutFile("in/z2.bin", Pattern(500, 11));
    ConnectRemoteTo("/in/");
    SelectAllLocal("up", 4);

    Questions.Answers = {mrRetry, mrYes, mrYesToAll};
    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    ASSERT_EQ(Questions.Overwrites.size(), 3u) << "Yes to all answers z2.bin";
    EXPECT_EQ(Questions.Overwrites[0].FileName, "r.bin");
    EXPECT_EQ(Questions.Overwrites[0].ExistingSize, 1000);
    EXPECT_EQ(Questions.Overwrites[0].NewSize, 3000);
    EXPECT_EQ(Questions.Overwrites[1].FileName, "y.bin");
    EXPECT_EQ(Questions.Overwrites[1].ExistingSize, 700);
    EXPECT_EQ(Questions.Overwrites[2].FileName, "z1.bin");
    EXPECT_THAT(Lines(), ElementsAre("/in/r.bin @1000", "/in/y.bin @0", "/in/z1.bin @0", "/in/z2.bin @0"));
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(RemoteFile("in/r.bin"), r) << "continued after its first 1000 bytes";
    EXPECT_EQ(RemoteFile("in/y.bin"), y);
    EXPECT_EQ(RemoteFile("in/z1.bin"), z1);
    EXPECT_EQ(RemoteFile("in/z2.bin"), z2);

    // The next drop starts without the earlier Yes to all.
    ASSERT_TRUE(WaitUntil([&] { return RemoteShows("/in/"); }));
    SelectLocal({"z2.bin"});
    Added.clear();
    Questions.Overwrites.clear();
    Questions.Answers = {mrNo};
    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    ASSERT_EQ(Questions.Overwrites.size(), 1u);
    EXPECT_EQ(Questions.Overwrites[0].ExistingSize, 500) << "the remote list shows the uploaded file";
    EXPECT_THAT(Added, IsEmpty());
}

TEST_P(HostTransferTest, FilesInADescendedFolderAreDecidedAgainstThatFolder)
{
    Server->PutFile("in/same.bin", Pattern(100, 12));
    Server->PutFile("in/sub/same.bin", Pattern(100, 13));
    // Locally the top-level file is larger, the one below it smaller.
    PutLocal("dl/same.bin", Pattern(500, 14));
    PutLocal("dl/sub/same.bin", Pattern(10, 15));
    SelectAllLocal("dl", 2);
    ConnectRemoteTo("/in/");
    Remote->SelectAll();
    ASSERT_EQ(Remote->SelectedCount(), 2);

    Questions.Answers = {mrNo, mrNo};
    ASSERT_TRUE(Remote->TransferTo(Local.get()));
    ASSERT_EQ(Questions.Overwrites.size(), 2u);
    EXPECT_EQ(Questions.Overwrites[0].ExistingSize, 500);
    EXPECT_EQ(Questions.Overwrites[1].ExistingSize, 10) << "not the shown same.bin of the folder above";
    EXPECT_THAT(Lines(), ElementsAre("folder " + LocalRoot() + "dl/sub"));
}

TEST_P(HostTransferTest, RefusedDuplicatesAreSkippedAndTheDropGoesOn)
{
    // The queue is held by a first item whose server never answers, so everything the
    // views submit stays pending.
    TScriptedServer silent(TServerScript().Hang());
    TTransferItem *held = nullptr;
    {
        auto first = std::make_unique<TTransferItem>();
        first->Host = silent.Host();
        first->Port = silent.Port();
        first->UserName = "nobody";
        first->SourceFolder = "/";
        first->DestFolder = LocalRoot();
        first->Name = "never.bin";
        held = first.get();
        ASSERT_EQ(Queue->Add(first), 0);
    }
    Added.clear();
    PutLocal("up/a.bin", Pattern(10, 16));
    PutLocal("up/b.bin", Pattern(20, 17));
    PutLocal("up/F/inner.bin", Pattern(30, 18));
    PutLocal("up/G/g.bin", Pattern(40, 19));
    ConnectRemoteTo("/in/");
    SelectAllLocal("up", 4);
    SelectLocal({"a.bin", "F"});
    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    ASSERT_THAT(Lines(), ElementsAre("/in/a.bin @0", "folder /in/F", "/in/F/inner.bin @0"));
    ASSERT_EQ(held->Status(), tsInProgress);

    // A file that appears in F meanwhile is not sent: F itself is refused.
    PutLocal("up/F/new.bin", Pattern(50, 20));
    Added.clear();
    ASSERT_TRUE(WaitUntil([&] { return Local->ItemCount() == 4; }));
    Local->SelectAll();
    ASSERT_TRUE(Remote->TransferFrom(Local.get()));
    EXPECT_THAT(Lines(), ElementsAre("/in/b.bin @0", "folder /in/G", "/in/G/g.bin @0"));
    ASSERT_EQ(Host.Messages.size(), 2);
    EXPECT_EQ(Host.Messages[0], "\"a.bin\" is already in the transfer queue");
    EXPECT_EQ(Host.Messages[1], "\"F\" is already in the transfer queue");
    EXPECT_EQ(Queue->Count(), 7);
}

INSTANTIATE_TEST_SUITE_P(Servers, HostTransferTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(HostTransfer, NothingMovesWithoutAConnection)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile file(folder.filePath("a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a");
    file.close();
    TTransferItems queue;
    TScriptedQuestions questions;
    TLocalView local;
    THostView remote;
    remote.SetTransferQueue(&queue);
    remote.SetQuestions(&questions);
    ASSERT_TRUE(local.ChangeFolderAndWait(folder.path()));
    ASSERT_TRUE(WaitUntil([&] { return local.ItemCount() == 1; }));
    local.SelectAll();

    EXPECT_FALSE(remote.TransferTo(&local));
    EXPECT_FALSE(remote.TransferFrom(&local));
    EXPECT_FALSE(local.TransferTo(&remote)) << "the upload command goes through the remote view";
    EXPECT_FALSE(remote.TransferTo(nullptr));
    EXPECT_EQ(queue.Count(), 0);
}

} // namespace
