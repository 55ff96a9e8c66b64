// The remote view's own file operations against real servers: fetches, the recursive
// delete with its question, rename in place, new folder and the permissions change.

#include "views/HostView.h"

#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "transfers/Confirm.h"
#include "views/FileList.h"
#include "views/FileProp.h"
#include "views/LoclView.h"

#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"

#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HostFileOpsTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        ASSERT_TRUE(LocalDir.isValid());
        Server = StartTestServer(GetParam());
        Remote = std::make_unique<THostView>();
        Remote->resize(500, 300);
        Remote->show();
        Remote->FTP().SetPassive(true);
    }
    void TearDown() override
    {
        Remote.reset();
        for (const QString &path : TempCopies)
            QFile::remove(path);
        Server.reset();
    }

    void Connect(const std::string &folder = "/")
    {
        Remote->Connect(QString::fromStdString(Server->Host()), Server->Port(),
                        QString::fromStdString(Server->User()), QString::fromStdString(Server->Password()),
                        QString(), QString::fromStdString(folder), QString());
        ASSERT_TRUE(WaitUntil([&] { return Shows(folder); })) << Server->ProtocolLogText().toStdString();
    }
    bool Shows(const std::string &folder) const
    {
        return Remote->Connected() && SameFolder(Remote->FolderBytes(), folder)
               && Remote->ListingCache().HasListing(folder) && !Remote->BuildingList()
               && !Remote->WaitingForFolder();
    }
    QStringList Captions() const
    {
        QStringList captions;
        for (int row = 0; row < Remote->ItemCount(); ++row)
            captions << Remote->GetItemName(Remote->ListView()->Item(row));
        return captions;
    }
    void Select(const QStringList &names)
    {
        std::vector<int> rows;
        for (int row = 0; row < Remote->ItemCount(); ++row) {
            if (names.contains(Remote->GetItemName(Remote->ListView()->Item(row))))
                rows.push_back(row);
        }
        Remote->ListView()->ClearSelection();
        Remote->ListView()->SelectRows(rows);
        ASSERT_EQ(Remote->SelectedCount(), names.size()) << Captions().join(',').toStdString();
        Remote->ListView()->SetCurrentItem(Remote->ListView()->Item(rows.front()));
    }
    // The commands of the view's log that begin with one of `verbs`.
    std::vector<std::string> Sent(const QStringList &verbs) const
    {
        std::vector<std::string> sent;
        for (const TViewLogLine &line : Remote->LogEntries().Lines()) {
            for (const QString &verb : verbs) {
                if (line.Text.startsWith(verb + ' '))
                    sent.push_back(line.Text.toStdString());
            }
        }
        return sent;
    }
    // Deletes the selection answering the question with Yes; returns the question's text.
    QString DeleteConfirmed()
    {
        QString asked;
        AnswerNextModalWindow([&asked](QWidget &window) {
            auto &confirm = dynamic_cast<TfrmConfirm &>(window);
            asked = confirm.windowTitle() + " | " + confirm.lblPrompt->text();
            confirm.btnYes->click();
        });
        EXPECT_TRUE(Remote->DeleteSelected(true));
        EXPECT_TRUE(WaitUntil(
            [&] { return !Remote->Deleting() && Shows(Remote->FolderBytes()) && !Remote->EngineBusy(); }));
        return asked;
    }
    bool ServerHas(const QString &relative) const { return QFileInfo::exists(Server->LocalPath(relative)); }
    int ServerMode(const QString &relative) const
    {
        struct stat info
        {};
        return ::stat(QFile::encodeName(Server->LocalPath(relative)).constData(), &info) == 0
                   ? int(info.st_mode & 0777)
                   : -1;
    }

    QTemporaryDir LocalDir;
    std::unique_ptr<TTestFtpServer> Server;
    std::unique_ptr<THostView> Remote;
    QStringList TempCopies;
};

TEST_P(HostFileOpsTest, FetchesAndUploadNowMoveFilesByteForByte)
{
    const QByteArray a = Pattern(300 * 1024 + 5, 1);
    const QByteArray c = Pattern(1000, 2);
    Server->PutFile("a.bin", a);
    Server->PutFile("b.bin", Pattern(10, 3));
    Server->PutFile("c.bin", c);
    Server->PutFile("sub/inner.bin", Pattern(10, 4));
    TLocalView local;
    ASSERT_TRUE(local.ChangeFolderAndWait(LocalDir.path()));
    Connect();
    std::vector<std::pair<QStringList, int>> fetched;
    QObject::connect(
        Remote.get(), &THostView::FilesFetched,
        [&fetched](THostView *, const QStringList &files, int mode) { fetched.emplace_back(files, mode); });

    // A folder in the selection is not fetched as a file.
    Select({"c.bin", "sub", "a.bin"});
    ASSERT_TRUE(Remote->FetchSelected(&local, 2));
    ASSERT_TRUE(WaitUntil([&] { return fetched.size() == 1; }));
    const QString into = QDir(LocalDir.path()).absolutePath() + '/';
    EXPECT_THAT(fetched[0].first, ElementsAre(into + "a.bin", into + "c.bin"));
    EXPECT_EQ(fetched[0].second, 2);
    EXPECT_EQ(ReadAll(into + "a.bin"), a);
    EXPECT_EQ(ReadAll(into + "c.bin"), c);
    EXPECT_FALSE(QFileInfo::exists(into + "sub"));

    Select({"c.bin", "a.bin"});
    ASSERT_TRUE(Remote->FetchSelected(&local, 3));
    ASSERT_TRUE(WaitUntil([&] { return fetched.size() == 2; }));
    TempCopies = fetched[1].first;
    const QDir temp(TempFolder());
    ASSERT_FALSE(temp.path().isEmpty());
    EXPECT_THAT(fetched[1].first, ElementsAre(temp.filePath("a.bin"), temp.filePath("c.bin")));
    EXPECT_EQ(fetched[1].second, 3);
    EXPECT_EQ(ReadAll(temp.filePath("a.bin")), a);
    EXPECT_EQ(ReadAll(temp.filePath("c.bin")), c);

    // Upload now sends the first selected local file and shows it.
    const QByteArray up = Pattern(70 * 1024 + 3, 5);
    ASSERT_TRUE(WriteAll(into + "up.bin", up));
    ASSERT_TRUE(WaitUntil([&] { return local.ItemCount() == 3; }));
    local.ListView()->ClearSelection();
    for (int row = 0; row < local.ItemCount(); ++row) {
        if (local.GetItemName(local.ListView()->Item(row)) == "up.bin")
            local.ListView()->SelectRow(row);
    }
    ASSERT_TRUE(Remote->UploadSelected(&local));
    ASSERT_TRUE(WaitUntil([&] { return Captions().contains("up.bin") && !Remote->EngineBusy(); }));
    EXPECT_EQ(ReadAll(Server->LocalPath("up.bin")), up);
    EXPECT_EQ(fetched.size(), 2u) << "an upload reports no fetch";
}

TEST_P(HostFileOpsTest, AFetchThatFailsDoesNotHoldUpTheOthers)
{
    Server->PutFile("a.bin", "a");
    Server->PutFile("b.bin", "b");
    Server->PutFile("c.bin", "c");
    TLocalView local;
    ASSERT_TRUE(local.ChangeFolderAndWait(LocalDir.path()));
    Connect();
    QStringList fetched;
    QObject::connect(Remote.get(), &THostView::FilesFetched,
                     [&fetched](THostView *, const QStringList &files, int) { fetched = files; });

    // Gone from the server after the view listed it.
    ASSERT_TRUE(QFile::remove(Server->LocalPath("b.bin")));
    Select({"a.bin", "b.bin", "c.bin"});
    ASSERT_TRUE(Remote->FetchSelected(&local, 2));
    ASSERT_TRUE(WaitUntil([&] { return !fetched.isEmpty(); }));
    const QString into = QDir(LocalDir.path()).absolutePath() + '/';
    EXPECT_THAT(fetched, ElementsAre(into + "a.bin", into + "c.bin"));
    EXPECT_EQ(ReadAll(into + "c.bin"), "c");
    EXPECT_TRUE(Remote->ListView()->isEnabled());
}

TEST_P(HostFileOpsTest, DeletingATreeRemovesFilesBeforeTheirFolderInnermostFirst)
{
    Server->PutFile("top/f1.txt", "1");
    Server->PutFile("top/inner/f2.txt", "2");
    Server->PutFile("top/inner/deep/f3.txt", "3");
    Server->MakeFolder("top/inner/empty");
    Server->PutFile("other.txt", "keep");
    Connect();

    // No keeps everything.
    Select({"top"});
    AnswerNextModalWindow([](QWidget &window) { dynamic_cast<TfrmConfirm &>(window).btnNo->click(); });
    EXPECT_FALSE(Remote->DeleteSelected(true));
    EXPECT_THAT(Sent({"DELE", "RMD"}), IsEmpty());

    Select({"top"});
    EXPECT_EQ(DeleteConfirmed(),
              "Confirm Folder Delete | Are you sure you want to remove the folder top and all its contents?");
    EXPECT_THAT(Sent({"DELE", "RMD"}),
                ElementsAre("DELE /top/f1.txt", "DELE /top/inner/f2.txt", "DELE /top/inner/deep/f3.txt",
                            "RMD /top/inner/deep", "RMD /top/inner/empty", "RMD /top/inner", "RMD /top"));
    EXPECT_FALSE(ServerHas("top"));
    EXPECT_TRUE(ServerHas("other.txt"));
    EXPECT_THAT(Captions(), ElementsAre("other.txt"));
    EXPECT_FALSE(Remote->ListingCache().Contains("/top/inner/"));
}

TEST_P(HostFileOpsTest, ALinkToAFolderIsDeletedAsALinkNotItsContents)
{
    Server->PutFile("target/keep.txt", "keep");
    Server->MakeFolder("holder");
    ASSERT_TRUE(QFile::link("target", Server->LocalPath("ln")));
    ASSERT_TRUE(QFile::link("../target", Server->LocalPath("holder/ln2")));
    Server->HandOver(Server->LocalPath("ln"));
    Server->HandOver(Server->LocalPath("holder/ln2"));
    Connect();

    Select({"ln", "holder"});
    EXPECT_EQ(DeleteConfirmed(),
              "Confirm Multiple File Delete | Are you sure you want to delete these 2 items?");
    EXPECT_THAT(Sent({"DELE", "RMD"}), ElementsAre("DELE /ln", "DELE /holder/ln2", "RMD /holder"));
    EXPECT_FALSE(QFileInfo(Server->LocalPath("ln")).isSymLink());
    EXPECT_FALSE(ServerHas("holder"));
    EXPECT_EQ(ReadAll(Server->LocalPath("target/keep.txt")), "keep");
}

TEST_P(HostFileOpsTest, AFolderTheDeleteCannotEnterKeepsItsParentAndTheShownFolder)
{
    Server->PutFile("outer/a.txt", "a");
    Server->PutFile("keep1.txt", "1");
    Server->PutFile("keepdir/keep2.txt", "2");
    Connect();

    // The folder goes away on the server after the view listed it: the descent ends in
    // the folder the server stays in, whose entries must not be taken for the vanished one's.
    Select({"outer"});
    ASSERT_TRUE(QDir(Server->LocalPath("outer")).removeRecursively());
    DeleteConfirmed();
    EXPECT_THAT(Sent({"DELE", "RMD"}), IsEmpty());
    EXPECT_TRUE(ServerHas("keep1.txt"));
    EXPECT_TRUE(ServerHas("keepdir/keep2.txt"));
    EXPECT_THAT(Captions(), ElementsAre("keepdir", "keep1.txt"));
}

TEST_P(HostFileOpsTest, AFolderTheUserMayNotEnterIsNotDeletedFrom)
{
    if (GetParam() == TServerKind::Pyftpdlib)
        GTEST_SKIP() << "pyftpdlib runs as the test's user, root here, whom no folder mode keeps out";
    Server->PutFile("outer/locked/secret.txt", "s");
    Server->PutFile("outer/sibling.txt", "x");
    ASSERT_EQ(::chmod(QFile::encodeName(Server->LocalPath("outer/locked")).constData(), 0), 0);
    Connect();

    Select({"outer"});
    DeleteConfirmed();
    ::chmod(QFile::encodeName(Server->LocalPath("outer/locked")).constData(), 0755);
    EXPECT_THAT(Sent({"DELE", "RMD"}), ElementsAre("DELE /outer/sibling.txt"));
    EXPECT_EQ(ReadAll(Server->LocalPath("outer/locked/secret.txt")), "s");
    EXPECT_TRUE(ServerHas("outer"));
    EXPECT_THAT(Captions(), ElementsAre("outer"));
}

TEST_P(HostFileOpsTest, StopEndsTheDeleteWalk)
{
    Server->PutFile("top/d1/f.txt", "1");
    Server->PutFile("top/d2/f.txt", "2");
    Server->PutFile("top/d3/f.txt", "3");
    Connect();
    QObject::connect(Remote.get(), &TCustomView::FileChanging, [this](TCustomView *, const QString &url) {
        if (url.endsWith("/top/d1/f.txt"))
            Remote->Stop();
    });

    Select({"top"});
    EXPECT_TRUE(Remote->DeleteSelected(false));
    ASSERT_TRUE(WaitUntil([&] { return !Remote->Deleting() && Shows("/") && !Remote->EngineBusy(); }));
    EXPECT_TRUE(ServerHas("top/d2/f.txt"));
    EXPECT_TRUE(ServerHas("top/d3/f.txt"));
    EXPECT_THAT(Sent({"RMD"}), IsEmpty());
}

TEST_P(HostFileOpsTest, RenamingInPlaceSendsOnlyANewSafeName)
{
    Server->PutFile("old.txt", "content");
    Connect();
    const auto editTo = [this](const QString &text) {
        ProcessEventsFor(std::chrono::milliseconds(50)); // the last editor goes
        Select({Remote->GetItemName(Remote->ListView()->Item(0))});
        Remote->BeginRename();
        auto *editor = Remote->ListView()->CurrentView()->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
    };

    editTo("old.txt");
    editTo("");
    editTo("../escape.txt");
    ProcessEventsFor(std::chrono::milliseconds(200));
    EXPECT_THAT(Sent({"RNFR"}), IsEmpty());
    EXPECT_EQ(Remote->LastError(), "A name cannot contain a slash or a line break.");

    editTo("new name.txt");
    ASSERT_TRUE(WaitUntil([&] { return Captions() == QStringList{"new name.txt"}; }))
        << Captions().join(',').toStdString();
    EXPECT_EQ(ReadAll(Server->LocalPath("new name.txt")), "content");
    EXPECT_FALSE(ServerHas("old.txt"));

    EXPECT_TRUE(Remote->RenameItem("new name.txt", "again.txt"));
    ASSERT_TRUE(WaitUntil([&] { return ServerHas("again.txt") && Captions() == QStringList{"again.txt"}; }));
    EXPECT_FALSE(Remote->RenameItem("again.txt", ".."));
}

TEST_P(HostFileOpsTest, NewFolderIsMadeByItsFullPathAndShown)
{
    Server->MakeFolder("pub");
    Connect("/pub/");
    EXPECT_TRUE(Remote->CreateFolder(Remote->GetFolder() + "made here", false));
    ASSERT_TRUE(WaitUntil([&] { return Captions().contains("made here"); }));
    EXPECT_TRUE(QFileInfo(Server->LocalPath("pub/made here")).isDir());

    EXPECT_FALSE(Remote->CreateFolder(Remote->GetFolder() + "..", false));
    EXPECT_FALSE(Remote->CreateFolder(Remote->GetFolder() + "a\r\nDELE x", false));
    EXPECT_THAT(Sent({"MKD"}), ElementsAre("MKD /pub/made here"));
}

TEST_P(HostFileOpsTest, PropertiesChangePermissionsOnlyWhenABoxWasClicked)
{
    Server->PutFile("a.sh", Pattern(2048));
    Server->PutFile("b.txt", "b");
    ::chmod(QFile::encodeName(Server->LocalPath("a.sh")).constData(), 0755);
    ::chmod(QFile::encodeName(Server->LocalPath("b.txt")).constData(), 0644);
    Connect();

    Select({"a.sh"});
    QString single;
    AnswerNextModalWindow([&single](QWidget &window) {
        auto &properties = dynamic_cast<TfrmProperties &>(window);
        single = properties.windowTitle() + " | " + properties.lblSize->text() + " | "
                 + properties.lblLocation->text();
        properties.accept();
    });
    EXPECT_TRUE(Remote->ShowProperties());
    EXPECT_EQ(single, "a.sh Properties | 2KB (2048 Bytes) | (Server Root)");

    Select({"a.sh", "b.txt"});
    QStringList seen;
    AnswerNextModalWindow([&seen](QWidget &window) {
        auto &properties = dynamic_cast<TfrmProperties &>(window);
        seen << properties.windowTitle() << properties.lblFileName->text() << properties.lblDate->text();
        for (QCheckBox *box : properties.cbPermissions)
            seen << QString::number(box->checkState());
        properties.cbPermissions[4]->click(); // group write
        properties.cbPermissions[2]->click(); // owner execute: mixed, now set for both
        properties.accept();
    });
    EXPECT_TRUE(Remote->ShowProperties());
    EXPECT_EQ(seen.join(' '), "a.sh,... Properties 2 Files, 0 Folders Multiple Dates 2 2 1 2 0 1 2 0 1");
    ASSERT_TRUE(WaitUntil([&] { return Sent({"SITE"}).size() == 2 && ServerMode("b.txt") == 0764; }))
        << std::oct << ServerMode("b.txt");
    EXPECT_EQ(ServerMode("a.sh"), 0775);

    // OK without a click sends nothing.
    AnswerNextModalWindow([](QWidget &window) { dynamic_cast<TfrmProperties &>(window).accept(); });
    Remote->ShowProperties();
    ProcessEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(Sent({"SITE"}).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Servers, HostFileOpsTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(HostFileOps, NothingHappensWithoutAConnectionOrASelection)
{
    THostView remote;
    TLocalView local;
    EXPECT_FALSE(remote.FetchSelected(&local, 2));
    EXPECT_FALSE(remote.UploadSelected(&local));
    EXPECT_FALSE(remote.DeleteSelected(false));
    EXPECT_FALSE(remote.ShowProperties());
    EXPECT_FALSE(remote.CreateFolder("/x", false));
    EXPECT_FALSE(remote.RenameItem("a", "b"));
}

} // namespace
