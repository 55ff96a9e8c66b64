// The queue against real FTP servers (pyftpdlib and vsftpd), each started on 127.0.0.1
// for one test.

#include "transfers/Transfer.h"

#include "tests/support/FtpServers.h"
#include "tests/transfers/TransferTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace {

TConnection ConnectionTo(const TTestFtpServer &server)
{
    TConnection connection;
    connection.Host = server.Host();
    connection.Port = server.Port();
    connection.User = server.User();
    connection.Password = server.Password();
    return connection;
}

class TransferServerTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        TestApp();
        FSavedRetries = TFTPComponent::RetryCount;
        TFTPComponent::RetryCount = 1;
        Server = StartTestServer(GetParam());
        Connection = ConnectionTo(*Server);
        Queue = std::make_unique<TTransferItems>(&Host);
        Recorder = std::make_unique<TQueueRecorder>(*Queue);
        ASSERT_TRUE(LocalDir.isValid());
        Local = QDir(LocalDir.path()).absolutePath().toStdString() + "/";
    }
    void TearDown() override
    {
        Queue.reset();
        Server.reset();
        if (FSavedRetries)
            TFTPComponent::RetryCount = FSavedRetries;
    }

    int Add(std::unique_ptr<TTransferItem> item)
    {
        const int index = Queue->Add(item);
        EXPECT_GE(index, 0);
        return index;
    }
    std::unique_ptr<TTransferItem> Download(const std::string &remoteFolder, const std::string &localFolder,
                                            const std::string &name, std::int64_t size, std::int64_t offset = 0)
    {
        return MakeItem(Connection, tdDownload, remoteFolder, localFolder, name, size, offset);
    }
    std::unique_ptr<TTransferItem> Upload(const std::string &localFolder, const std::string &remoteFolder,
                                          const std::string &name, std::int64_t size, std::int64_t offset = 0)
    {
        return MakeItem(Connection, tdUpload, localFolder, remoteFolder, name, size, offset);
    }
    QString LocalPath(const std::string &relative) const { return QString::fromStdString(Local + relative); }
    bool PutLocal(const std::string &relative, const QByteArray &bytes) const
    {
        const QString path = LocalPath(relative);
        return QDir().mkpath(QFileInfo(path).path()) && WriteAll(path, bytes);
    }
    QByteArray Remote(const QString &relative) const { return ReadAll(Server->LocalPath(relative)); }
    // The commands the engines sent that start with one of the prefixes, in order.
    std::vector<std::string> Sent(std::initializer_list<const char *> prefixes) const
    {
        std::vector<std::string> lines;
        for (const std::string &line : Recorder->Log) {
            for (const char *prefix : prefixes) {
                if (line.rfind(prefix, 0) == 0)
                    lines.push_back(line);
            }
        }
        return lines;
    }
    QString Name() const { return QString::fromStdString(Server->KindName()); }

    std::unique_ptr<TTestFtpServer> Server;
    TConnection Connection;
    TRecordingHost Host;
    std::unique_ptr<TTransferItems> Queue;
    std::unique_ptr<TQueueRecorder> Recorder;
    QTemporaryDir LocalDir;
    std::string Local;

private:
    int FSavedRetries = 0;
};

} // namespace

TEST_P(TransferServerTest, MixedUploadsAndDownloadsOfNestedFolders)
{
    const QByteArray top = Pattern(300 * 1024 + 17, 1);
    const QByteArray inSub = Pattern(70 * 1024, 2);
    const QByteArray deep = Pattern(5, 3);
    ASSERT_TRUE(PutLocal("up/top.bin", top));
    ASSERT_TRUE(PutLocal("up/sub/in-sub.dat", inSub));
    ASSERT_TRUE(PutLocal("up/sub/deeper/deep.bin", deep));
    ASSERT_TRUE(PutLocal("up/sub/deeper/empty.bin", QByteArray()));
    const QByteArray x = Pattern(1024 * 1024 + 3, 4);
    const QByteArray y = Pattern(4096, 5);
    const QByteArray w = Pattern(1, 6);
    Server->PutFile("down/x.bin", x);
    Server->PutFile("down/nested/y.dat", y);
    Server->PutFile("down/nested/z/w.bin", w);
    ASSERT_TRUE(QDir().mkpath(LocalPath("dl")));

    TRecordingView remoteView;
    TRecordingView localView;
    std::vector<std::unique_ptr<TTransferItem>> items;
    // In the order a view submits them: each folder item before the files inside it.
    items.push_back(Upload(Local + "up/", "/", "top.bin", top.size()));
    items.push_back(MakeFolderItem(Connection, tdUpload, "/", "sub"));
    items.push_back(Download("/down/", Local + "dl/", "x.bin", x.size()));
    items.push_back(Upload(Local + "up/sub/", "/sub/", "in-sub.dat", inSub.size()));
    items.push_back(MakeFolderItem(Connection, tdDownload, Local + "dl/", "nested"));
    items.push_back(Download("/down/nested/", Local + "dl/nested/", "y.dat", y.size()));
    items.push_back(MakeFolderItem(Connection, tdUpload, "/sub/", "deeper"));
    items.push_back(Upload(Local + "up/sub/deeper/", "/sub/deeper/", "deep.bin", deep.size()));
    items.push_back(Upload(Local + "up/sub/deeper/", "/sub/deeper/", "empty.bin", 0));
    items.push_back(MakeFolderItem(Connection, tdDownload, Local + "dl/nested/", "z"));
    items.push_back(Download("/down/nested/z/", Local + "dl/nested/z/", "w.bin", w.size()));
    for (auto &item : items) {
        item->TargetView = item->Direction == tdUpload ? &remoteView : &localView;
        Add(std::move(item));
    }
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(Queue->CountOf(tsDone), Queue->Count()) << Recorder->Errors.size() << " errors";
    EXPECT_EQ(Remote("top.bin"), top);
    EXPECT_EQ(Remote("sub/in-sub.dat"), inSub);
    EXPECT_EQ(Remote("sub/deeper/deep.bin"), deep);
    EXPECT_TRUE(QFileInfo(Server->LocalPath("sub/deeper/empty.bin")).isFile());
    EXPECT_EQ(QFileInfo(Server->LocalPath("sub/deeper/empty.bin")).size(), 0);
    EXPECT_EQ(ReadAll(LocalPath("dl/x.bin")), x);
    EXPECT_EQ(ReadAll(LocalPath("dl/nested/y.dat")), y);
    EXPECT_EQ(ReadAll(LocalPath("dl/nested/z/w.bin")), w);

    // One logged-on connection carried everything.
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(Sent({"USER "}).size(), 1u);
    EXPECT_EQ(Queue->FilesDone(), Queue->Count());
    EXPECT_EQ(Queue->BytesDone(), top.size() + inSub.size() + deep.size() + x.size() + y.size() + w.size());
    EXPECT_EQ(Queue->BytesRemaining(), 0);
    EXPECT_EQ(Queue->PercentDone(), 100);

    // The destination views were told about every new entry.
    ASSERT_EQ(remoteView.Entries.size(), 6u);
    EXPECT_EQ(remoteView.Entries[0].Folder, "/");
    EXPECT_EQ(remoteView.Entries[0].Name, "top.bin");
    EXPECT_EQ(remoteView.Entries[0].Size, top.size());
    EXPECT_EQ(remoteView.Entries[1].Name, "sub");
    EXPECT_EQ(remoteView.Entries[1].Attributes, std::uint32_t(faFolder));
    ASSERT_EQ(localView.Entries.size(), 5u);
    EXPECT_EQ(localView.Entries[0].Name, "x.bin");
}

TEST_P(TransferServerTest, ResumesInBothDirections)
{
    const QByteArray remoteWhole = Pattern(1024 * 1024 + 123, 11);
    Server->PutFile("big.bin", remoteWhole);
    ASSERT_TRUE(PutLocal("big.bin", remoteWhole.left(400000)));
    const QByteArray localWhole = Pattern(900 * 1024 + 5, 12);
    ASSERT_TRUE(PutLocal("up.bin", localWhole));
    Server->PutFile("up.bin", localWhole.left(300000));

    Add(Download("/", Local, "big.bin", remoteWhole.size(), 400000));
    Add(Upload(Local, "/", "up.bin", localWhole.size(), 300000));
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(Queue->CountOf(tsDone), 2);
    EXPECT_EQ(ReadAll(LocalPath("big.bin")), remoteWhole);
    EXPECT_EQ(Remote("up.bin"), localWhole);
    const TTransferItem *download = Queue->Items(0);
    const TTransferItem *upload = Queue->Items(1);
    EXPECT_EQ(download->PercentDone(), 100);
    EXPECT_EQ(upload->PercentDone(), 100);
    ASSERT_EQ(Queue->EngineCount(), 1);
    if (!Queue->Engines(0)->CanResume()) {
        // pyftpdlib refuses REST in ASCII mode, the type of a new session, so the login's
        // probe finds no restart support: both files travel whole, and the counts say so.
        EXPECT_EQ(GetParam(), TServerKind::Pyftpdlib);
        EXPECT_TRUE(Sent({"REST "}).empty());
        EXPECT_EQ(download->RestartOffset, 0);
        EXPECT_EQ(download->BytesDone(), remoteWhole.size());
        EXPECT_EQ(upload->BytesDone(), localWhole.size());
        return;
    }
    EXPECT_EQ(Sent({"REST "}), (std::vector<std::string>{"REST 400000", "REST 300000"}));
    EXPECT_EQ(download->BytesDone(), remoteWhole.size() - 400000);
    EXPECT_EQ(upload->BytesDone(), localWhole.size() - 300000);
    EXPECT_EQ(Queue->BytesDone(), remoteWhole.size() - 400000 + localWhole.size() - 300000);
}

TEST_P(TransferServerTest, ResumeStartsNoFurtherThanTheLocalBytes)
{
    const QByteArray whole = Pattern(200000, 13);
    Server->PutFile("gone.bin", whole);
    Server->PutFile("short.bin", whole);
    ASSERT_TRUE(PutLocal("short.bin", whole.left(1000)));
    // An offset taken from a listing that is out of date: the local file is shorter, or
    // gone. Resuming there would leave a hole of zeros.
    Add(Download("/", Local, "short.bin", whole.size(), 50000));
    Add(Download("/", Local, "gone.bin", whole.size(), 50000));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(ReadAll(LocalPath("short.bin")), whole);
    EXPECT_EQ(ReadAll(LocalPath("gone.bin")), whole);
    if (Queue->Engines(0)->CanResume()) {
        EXPECT_EQ(Sent({"REST "}), std::vector<std::string>{"REST 1000"});
    }
}

TEST_P(TransferServerTest, WrongPasswordFailsTheItemAndTheNextOneRuns)
{
    Server->PutFile("a.bin", "alpha");
    auto wrong = Download("/", Local, "a.bin", 5);
    wrong->Password = "not-the-password";
    Add(std::move(wrong));
    Add(Download("/", Local, "a.bin", 5));
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(Queue->Items(0)->Status(), tsFailed);
    EXPECT_TRUE(Recorder->HasEvent("error 0 Could not log on to 127.0.0.1"));
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("a.bin")), "alpha");
    // Other connection data made another engine, freed when its item ended (the pool
    // held two then); the first one stays.
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(Queue->Items(1)->Engine(), nullptr);
}

TEST_P(TransferServerTest, MissingRemoteFileFailsAndTheNextOneRuns)
{
    Server->PutFile("there.bin", "here I am");
    // Both are to replace local files: the refused one must leave its file whole.
    ASSERT_TRUE(PutLocal("missing.bin", "the only copy"));
    ASSERT_TRUE(PutLocal("there.bin", "an older and longer copy"));
    Add(Download("/", Local, "missing.bin", 100));
    Add(Download("/", Local, "absent.bin", 100));
    Add(Download("/", Local, "there.bin", 9));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsFailed);
    EXPECT_EQ(Queue->Items(1)->Status(), tsFailed);
    EXPECT_TRUE(Recorder->HasEvent("error 0 Unable to complete transfer"));
    EXPECT_EQ(ReadAll(LocalPath("missing.bin")), "the only copy");
    EXPECT_FALSE(QFileInfo::exists(LocalPath("absent.bin"))) << "no empty file for a refused download";
    EXPECT_TRUE(Recorder->Finished.size() == 1 && Recorder->Finished[0] == "there.bin");
    EXPECT_EQ(Queue->Items(2)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("there.bin")), "here I am");
    EXPECT_EQ(Queue->FilesDone(), 1);
}

TEST_P(TransferServerTest, CancelAllLeavesNothingBehindAndTheQueueGoesOn)
{
    // The abort may catch the engine between sending a login command and reading its
    // reply; it then waits for the time-out before it gives up the login.
    const int savedTimeout = TFTPComponent::TimeoutMS;
    TFTPComponent::TimeoutMS = 5000;
    const auto restoreTimeout = qScopeGuard([savedTimeout] { TFTPComponent::TimeoutMS = savedTimeout; });
    Server->PutFile("a.bin", Pattern(1000));
    Server->PutFile("b.bin", Pattern(1000));
    Add(Download("/", Local, "a.bin", 1000));
    Add(Download("/", Local, "b.bin", 1000));
    // What the progress window's Cancel does, before the first login is through.
    TTransferItem *running = Queue->Items(0);
    Queue->Items(1)->SetStatus(tsCancelled);
    running->Cancel();
    running->SetStatus(tsCancelled);
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsCancelled), 2);
    EXPECT_FALSE(QFileInfo::exists(LocalPath("b.bin")));
    EXPECT_TRUE(Sent({"RETR "}).empty());

    // Re-submitted, the cancelled item runs.
    Queue->Items(1)->SetStatus(tsPending);
    EXPECT_TRUE(Queue->ProcessNext());
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("b.bin")), Pattern(1000));
    EXPECT_EQ(Queue->Items(0)->Status(), tsCancelled);
}

TEST_P(TransferServerTest, AnItemFreedWhileItsEngineLogsOnHearsNothingAndTheQueueGoesOn)
{
    Server->PutFile("a.bin", "alpha");
    Add(Download("/", Local, "a.bin", 5));
    ASSERT_EQ(Queue->EngineCount(), 1);
    const TFTPComponent *engine = Queue->Engines(0);
    // Still logging on: everything the engine reports from here on is for a freed item.
    delete Queue->Items(0);
    ASSERT_TRUE(WaitUntil([&] { return engine->LoggedIn() && !engine->Busy(); }));
    EXPECT_EQ(Queue->Count(), 0);

    Add(Download("/", Local, "a.bin", 5));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("a.bin")), "alpha");
}

TEST_P(TransferServerTest, AConnectionOpenedAheadIsTheOneItsItemsUse)
{
    Server->PutFile("a.bin", "alpha");
    Server->PutFile("b.bin", "bravo");
    const auto prepare = [this](TTransferItems &queue, const std::string &password) {
        queue.PrepareEngine(Connection.Host, Connection.Port, "", password, Connection.User);
    };
    // Taken over while it logs on: one logon, and its lines reach the queue's log.
    prepare(*Queue, Connection.Password);
    ASSERT_EQ(Queue->EngineCount(), 1);
    prepare(*Queue, Connection.Password);
    EXPECT_EQ(Queue->EngineCount(), 1) << "the pool already had one";
    Add(Download("/", Local, "a.bin", 5));
    Add(Download("/", Local, "b.bin", 5));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsDone), 2);
    EXPECT_EQ(ReadAll(LocalPath("b.bin")), "bravo");
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(Sent({"USER "}).size(), 1u);
    EXPECT_EQ(Recorder->Connects, 1);

    // Taken over once the logon is known to have worked, perhaps before the engine is idle.
    TTransferItems second(&Host);
    TQueueRecorder secondLog(second);
    prepare(second, Connection.Password);
    ASSERT_TRUE(WaitUntil([&] { return second.Engines(0)->LoggedIn(); }));
    std::unique_ptr<TTransferItem> item = Download("/", Local + "sub/", "a.bin", 5);
    ASSERT_TRUE(QDir().mkpath(LocalPath("sub")));
    ASSERT_GE(second.Add(item), 0);
    ASSERT_TRUE(RunToIdle(second));
    EXPECT_EQ(second.Items(0)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("sub/a.bin")), "alpha");
    EXPECT_EQ(secondLog.LogLines("USER ").size(), 1u);

    // A logon that failed is the item's failure, or the item logs on again and fails itself.
    TTransferItems third(&Host);
    TQueueRecorder thirdLog(third);
    prepare(third, "not-the-password");
    auto wrong = Download("/", Local + "sub/", "b.bin", 5);
    wrong->Password = "not-the-password";
    ASSERT_GE(third.Add(wrong), 0);
    ASSERT_TRUE(RunToIdle(third));
    EXPECT_EQ(third.Items(0)->Status(), tsFailed);
    EXPECT_TRUE(thirdLog.HasEvent("error 0 Could not log on to 127.0.0.1"));
    EXPECT_FALSE(QFileInfo::exists(LocalPath("sub/b.bin")));
}

TEST_P(TransferServerTest, MoveChangesTheOrderOfProcessing)
{
    for (const char *name : {"a", "b", "c", "d"})
        Server->PutFile(name, name);
    for (const char *name : {"a", "b", "c", "d"})
        Add(Download("/", Local, name, 1));
    Queue->Move(3, 1); // d before b; a already runs
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Recorder->Finished, (std::vector<std::string>{"a", "d", "b", "c"}));
    EXPECT_EQ(Sent({"RETR "}), (std::vector<std::string>{"RETR /a", "RETR /d", "RETR /b", "RETR /c"}));
}

TEST_P(TransferServerTest, DuplicatesAreRefusedUntilTheFirstIsDone)
{
    Server->PutFile("a.bin", "first");
    Add(Download("/", Local, "a.bin", 5));
    auto duplicate = Download("/", Local, "a.bin", 5);
    EXPECT_EQ(Queue->Add(duplicate), -1);
    EXPECT_EQ(Host.Messages, QStringList{"\"a.bin\" is already in the transfer queue"});
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Add(duplicate), 1);
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsDone), 2);
    EXPECT_EQ(Sent({"RETR "}).size(), 2u);
}

TEST_P(TransferServerTest, LowercaseUploadsKeepTheLocalName)
{
    TTransferSettings settings;
    settings.ForceLowerCase = true;
    Queue->SetSettings(settings);
    ASSERT_TRUE(PutLocal("MiXeD.BIN", "mixed"));
    Add(Upload(Local, "/", "MiXeD.BIN", 5));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsDone);
    EXPECT_EQ(Queue->Items(0)->Name, "mixed.bin");
    EXPECT_EQ(Remote("mixed.bin"), "mixed");
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("MiXeD.BIN")));
    EXPECT_TRUE(QFileInfo::exists(LocalPath("MiXeD.BIN")));
}

TEST_P(TransferServerTest, AutoTypeSendsListedExtensionsAsAscii)
{
    ASSERT_TRUE(PutLocal("notes.txt", "no line ends here"));
    ASSERT_TRUE(PutLocal("data.bin", Pattern(333)));
    ASSERT_TRUE(PutLocal("README", "plain"));
    ASSERT_TRUE(PutLocal("INDEX.HTM", "<p>x</p>"));
    for (const char *name : {"notes.txt", "data.bin", "README", "INDEX.HTM"})
        Add(Upload(Local, "/", name, 1));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsDone), 4);
    EXPECT_EQ(Sent({"TYPE ", "STOR "}), (std::vector<std::string>{"TYPE A", "STOR /notes.txt", "TYPE I",
                                                                  "STOR /data.bin", "STOR /README", "TYPE A",
                                                                  "STOR /INDEX.HTM"}));
    EXPECT_EQ(Remote("data.bin"), Pattern(333));
    EXPECT_EQ(Remote("notes.txt"), "no line ends here");
}

TEST_P(TransferServerTest, DownloadSizeFromTheServerCorrectsTheItem)
{
    const QByteArray bytes = Pattern(12345, 21);
    Server->PutFile("sized.bin", bytes);
    Add(Download("/", Local, "sized.bin", 10));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(ReadAll(LocalPath("sized.bin")), bytes);
    if (GetParam() == TServerKind::Vsftpd) {
        // vsftpd names the size in its 150 reply.
        EXPECT_EQ(Queue->Items(0)->Size, bytes.size());
        EXPECT_TRUE(Recorder->HasEvent("size sized.bin"));
    } else {
        EXPECT_EQ(Queue->Items(0)->Size, 10);
    }
    EXPECT_EQ(Queue->BytesRemaining(), Queue->Items(0)->Size - bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Servers, TransferServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(TransferTwoServersTest, ItemsForTwoServersInARowUseAPoolOfTwo)
{
    TestApp();
    const TServerKind secondKind =
        UnavailableReason(TServerKind::Vsftpd).empty() ? TServerKind::Vsftpd : TServerKind::Pyftpdlib;
    const auto first = StartTestServer(TServerKind::Pyftpdlib);
    const auto second = StartTestServer(secondKind);
    first->PutFile("one.bin", "from the first");
    second->PutFile("two.bin", "from the second");
    first->PutFile("three.bin", "first again");
    QTemporaryDir local;
    const std::string folder = QDir(local.path()).absolutePath().toStdString() + "/";

    TTransferItems queue;
    TQueueRecorder recorder(queue);
    std::vector<int> poolSizes;
    std::vector<TFTPComponent *> engines;
    const TScopedConnection finished =
        queue.OnItemFinished.Connect([&](TTransferItems &sender, TTransferItem &item) {
            poolSizes.push_back(sender.EngineCount());
            engines.push_back(item.Engine());
        });
    auto one = MakeItem(ConnectionTo(*first), tdDownload, "/", folder, "one.bin", 14);
    auto two = MakeItem(ConnectionTo(*second), tdDownload, "/", folder, "two.bin", 15);
    auto three = MakeItem(ConnectionTo(*first), tdDownload, "/", folder, "three.bin", 11);
    queue.Add(one);
    queue.Add(two);
    queue.Add(three);
    ASSERT_TRUE(RunToIdle(queue));

    EXPECT_EQ(queue.CountOf(tsDone), 3);
    EXPECT_EQ(ReadAll(QString::fromStdString(folder + "one.bin")), "from the first");
    EXPECT_EQ(ReadAll(QString::fromStdString(folder + "two.bin")), "from the second");
    EXPECT_EQ(ReadAll(QString::fromStdString(folder + "three.bin")), "first again");
    // The second server got an engine of its own, freed when its item ended; the first
    // server's engine stayed logged on for the third item.
    EXPECT_EQ(poolSizes, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(engines[0], engines[2]);
    EXPECT_EQ(queue.Items(1)->Engine(), nullptr);
    ASSERT_EQ(queue.EngineCount(), 1);
    EXPECT_EQ(queue.Engines(0)->Port(), first->Port());
    EXPECT_EQ(recorder.LogLines("USER ").size(), 2u);
}
