// The queue's own rules, against a server that never answers (so the first item stays
// in progress) and against scripted servers for replies no real server gives.

#include "transfers/Transfer.h"

#include "tests/support/ScriptedServer.h"
#include "tests/transfers/TransferTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// One passive download of `bytes` that the server completes; a held one sends its bytes
// only after TScriptedServer::Release().
TServerScript Served(TServerScript script, const std::string &path, const std::string &bytes,
                     bool held = false)
{
    script.Passive().Answer("RETR " + path, "150 Opening data connection");
    if (held)
        script.Hold();
    return script.DataSend(bytes).DataClose().Reply("226 Transfer complete");
}

bool Received(const TScriptedServer &server, const std::string &command)
{
    const std::vector<std::string> commands = server.ReceivedCommands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// Waits for the server to receive a command without processing this thread's events.
bool ReceivedWhileBusy(const TScriptedServer &server, const std::string &command)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Received(server, command) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return Received(server, command);
}

// Welcomes the client and then never answers, so a login waits.
TServerScript SilentServer()
{
    return TServerScript().Reply("220 Welcome").Hang();
}

TServerScript LoginScript()
{
    return TServerScript()
        .Reply("220 Scripted")
        .Answer("USER", "331 Password please")
        .Answer("PASS", "230 Logged in")
        .Answer("TYPE I", "200 Type set to I")
        .Answer("REST 100", "350 Restarting at 100")
        .Answer("REST 0", "350 Restarting at 0");
}

class TransferQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        FSavedRetries = TFTPComponent::RetryCount;
        TFTPComponent::RetryCount = 1;
        Queue = std::make_unique<TTransferItems>(&Host);
        Recorder = std::make_unique<TQueueRecorder>(*Queue);
        ASSERT_TRUE(Local.isValid());
        LocalFolder = QDir(Local.path()).absolutePath().toStdString() + "/";
    }
    void TearDown() override
    {
        Queue.reset();
        TFTPComponent::RetryCount = FSavedRetries;
    }

    TConnection Connection(const TScriptedServer &server) const
    {
        TConnection connection;
        connection.Port = server.Port();
        return connection;
    }
    int Add(std::unique_ptr<TTransferItem> item)
    {
        const int index = Queue->Add(item);
        EXPECT_EQ(index < 0, item != nullptr);
        return index;
    }
    QString LocalPath(const std::string &name) const { return QString::fromStdString(LocalFolder + name); }

    TRecordingHost Host;
    std::unique_ptr<TTransferItems> Queue;
    std::unique_ptr<TQueueRecorder> Recorder;
    QTemporaryDir Local;
    std::string LocalFolder;

private:
    int FSavedRetries = 3;
};

} // namespace

TEST(TransferTextsTest, StatusTextsAndMulDiv)
{
    EXPECT_EQ(TransferStatusText(tsPending, tdDownload), "Download Pending");
    EXPECT_EQ(TransferStatusText(tsPending, tdUpload), "Upload Pending");
    EXPECT_EQ(TransferStatusText(tsInProgress, tdUpload), "");
    EXPECT_EQ(TransferStatusText(tsDone, tdUpload), "Done");
    EXPECT_EQ(TransferStatusText(tsCancelled, tdDownload), "Cancelled");
    EXPECT_EQ(TransferStatusText(tsFailed, tdDownload), "Aborted due to Error");

    EXPECT_EQ(MulDiv(100, 300, 600), 50);
    EXPECT_EQ(MulDiv(100, 1, 3), 33);
    EXPECT_EQ(MulDiv(100, 2, 3), 67); // rounded
    EXPECT_EQ(MulDiv(5, 1, 2), 3);    // halves away from zero
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(7, 8, 0), -1);
    // 100 x 5 TiB does not overflow.
    EXPECT_EQ(MulDiv(100, 5LL << 40, 10LL << 40), 50);
}

TEST(TransferItemTest, ItemWithoutQueue)
{
    TestApp();
    TTransferItem item;
    EXPECT_EQ(item.Status(), tsPending);
    EXPECT_EQ(item.IndexInQueue(), -1);
    EXPECT_EQ(item.PercentDone(), 0); // nothing to move
    item.Size = 100;
    item.RestartOffset = 100;
    EXPECT_EQ(item.PercentDone(), 0);
    item.SetStatus(tsCancelled);
    EXPECT_EQ(item.Status(), tsCancelled);
}

TEST_F(TransferQueueTest, FirstAddStartsOneItemAndLaterAddsWait)
{
    TScriptedServer server(SilentServer());
    const TConnection connection = Connection(server);
    EXPECT_EQ(Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, "a.bin", 100)), 0);
    ASSERT_EQ(Queue->Count(), 1);
    TTransferItem *first = Queue->Items(0);
    EXPECT_EQ(first->Owner(), Queue.get());
    EXPECT_EQ(first->Status(), tsInProgress);
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(first->Engine(), Queue->Engines(0));
    EXPECT_EQ(Host.StatusTexts, QStringList{"Logging on to 127.0.0.1..."});
    EXPECT_EQ(Host.Titles.value(0), "Ferrow");
    EXPECT_EQ(Host.ProgressWindowShown, 0); // the menu check is off

    Host.TransferInfoChecked = true;
    EXPECT_EQ(Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, "b.bin", 50)), 1);
    EXPECT_EQ(Queue->Items(1)->Status(), tsPending);
    EXPECT_EQ(Queue->CountOf(tsInProgress), 1);
    EXPECT_EQ(Queue->CountOf(tsPending), 1);
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(Host.ProgressWindowShown, 0) << "adding behind a running item starts nothing";
    EXPECT_EQ(Queue->Items(1)->IndexInQueue(), 1);
    EXPECT_EQ(Queue->FindFirst(tsPending), Queue->Items(1));
    EXPECT_EQ(Queue->FindFirst(tsDone), nullptr);
    EXPECT_FALSE(Queue->ProcessNext()); // one at a time
    EXPECT_EQ(Host.ProgressWindowShown, 1);
    EXPECT_EQ((std::vector<std::string>{"added a.bin", "status a.bin 1", "started a.bin", "added b.bin"}),
              Recorder->Events);
}

TEST_F(TransferQueueTest, DuplicatesOfWaitingOrRunningItemsAreRefused)
{
    TScriptedServer server(SilentServer());
    const TConnection connection = Connection(server);
    const auto item = [&](const std::string &name, std::int64_t offset = 0,
                          TTransferDirection direction = tdDownload) {
        auto made = MakeItem(connection, direction, "/pub/", LocalFolder, name, 100, offset);
        made->Date = TDateTime(45000.25);
        return made;
    };
    ASSERT_EQ(Add(item("a.bin")), 0); // runs
    ASSERT_EQ(Add(item("b.bin")), 1); // waits

    for (const char *name : {"a.bin", "b.bin"}) {
        auto duplicate = item(name);
        EXPECT_EQ(Queue->Add(duplicate), -1) << name;
        ASSERT_NE(duplicate, nullptr) << "the caller keeps a refused item";
        EXPECT_EQ(Host.Messages.back(), QStringLiteral("\"%1\" is already in the transfer queue").arg(name));
    }
    EXPECT_EQ(Queue->Count(), 2);
    EXPECT_EQ(Host.Messages.size(), 2);

    // Another offset, direction, size, date or connection makes another transfer.
    EXPECT_GE(Add(item("b.bin", 10)), 0);
    EXPECT_GE(Add(item("b.bin", 0, tdUpload)), 0);
    auto otherDate = item("b.bin");
    otherDate->Date = TDateTime(45000.5);
    EXPECT_GE(Add(std::move(otherDate)), 0);
    auto otherUser = item("b.bin");
    otherUser->UserName = "someone";
    EXPECT_GE(Add(std::move(otherUser)), 0);
    // Names compare with their case.
    EXPECT_GE(Add(item("B.bin")), 0);

    // Once the waiting item no longer waits, the same transfer may be queued again.
    Queue->Items(1)->SetStatus(tsCancelled);
    EXPECT_GE(Add(item("b.bin")), 0);
    EXPECT_EQ(Host.Messages.size(), 2);
}

TEST_F(TransferQueueTest, RunTotalsAndCountsFollowAddsAndStatusChanges)
{
    std::uint64_t now = 1000;
    Queue->SetClock([&now] { return now; });
    TScriptedServer server(SilentServer());
    const TConnection connection = Connection(server);
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, "a.bin", 100));
    EXPECT_EQ(Queue->StartTick(), 1000u);
    EXPECT_EQ(Queue->Items(0)->StartTick(), 1000u);

    now = 4000;
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, "b.bin", 50));
    // The run goes on: its start stays, the new size is added.
    EXPECT_EQ(Queue->StartTick(), 1000u);
    EXPECT_EQ(Queue->BytesRemaining(), 150);
    EXPECT_EQ(Queue->BytesDone(), 0);
    EXPECT_EQ(Queue->ElapsedTicks(), 3000u);
    EXPECT_EQ(Queue->Items(0)->ElapsedTicks(), 3000u);
    EXPECT_EQ(Queue->PercentDone(), 0);

    TTransferItem *second = Queue->Items(1);
    second->SetStatus(tsCancelled);
    second->SetStatus(tsCancelled); // no change, no event
    EXPECT_EQ(std::count(Recorder->Events.begin(), Recorder->Events.end(), "status b.bin 3"), 1);
    EXPECT_EQ(Queue->CountOf(tsCancelled), 1);
    EXPECT_EQ(Queue->CountOf(tsPending), 0);
    second->SetStatus(tsPending); // re-submitted
    EXPECT_EQ(Queue->CountOf(tsPending), 1);
    EXPECT_EQ(Queue->BytesRemaining(), 150) << "a re-submitted item is not counted again";
    std::int64_t total = 0;
    for (int status = 0; status < TransferStatusCount; ++status)
        total += Queue->CountOf(TTransferStatus(status));
    EXPECT_EQ(total, Queue->Count());
}

TEST_F(TransferQueueTest, MoveChangesTheOrderOfProcessing)
{
    TScriptedServer server(SilentServer());
    const TConnection connection = Connection(server);
    for (const char *name : {"a", "b", "c", "d"})
        Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, name));
    const auto order = [this] {
        std::string names;
        for (int i = 0; i < Queue->Count(); ++i)
            names += Queue->Items(i)->Name;
        return names;
    };
    Queue->Move(0, 2);
    EXPECT_EQ(order(), "bcad");
    Queue->Move(3, 1);
    EXPECT_EQ(order(), "bdca");
    Queue->Move(2, 2);
    Queue->Move(-1, 2);
    Queue->Move(1, 9);
    EXPECT_EQ(order(), "bdca");
    EXPECT_EQ(Queue->FindFirst(tsPending)->Name, "b");
    EXPECT_EQ(Queue->Items(3)->IndexInQueue(), 3);
    Queue->Move(0, 3);
    EXPECT_EQ(Queue->FindFirst(tsPending)->Name, "d");
}

TEST_F(TransferQueueTest, ClosedViewsAreForgotten)
{
    TScriptedServer server(SilentServer());
    const TConnection connection = Connection(server);
    auto view = std::make_unique<TRecordingView>();
    auto item = MakeItem(connection, tdDownload, "/pub/", LocalFolder, "a.bin");
    item->SourceView = view.get();
    item->TargetView = view.get();
    Add(std::move(item));
    view.reset();
    EXPECT_EQ(Queue->Items(0)->SourceView, nullptr);
    EXPECT_EQ(Queue->Items(0)->TargetView, nullptr);
}

TEST_F(TransferQueueTest, DownloadsNeverWriteOutsideTheirFolder)
{
    // Nothing needs a server: the names are refused before any login.
    const TConnection connection;
    const QString outside = QDir(Local.path()).absoluteFilePath("../outside-" + QFileInfo(Local.path()).fileName());
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, ".."));
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, "sub/../../x"));
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, ""));
    Add(MakeFolderItem(connection, tdDownload, LocalFolder, "."));
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder + "../", "x"));
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder + "sub//", "x"));
    Add(MakeItem(connection, tdDownload, "/pub/", LocalFolder, std::string("a\0b", 3)));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsFailed), 7);
    ASSERT_EQ(Recorder->Errors.size(), 7u);
    EXPECT_EQ(Recorder->Errors[0], "Refused to create a local file or folder named \"..\"");
    EXPECT_EQ(Recorder->Errors[4], "Refused to write into the local folder \"" + LocalFolder + "../\"");
    EXPECT_TRUE(QDir(Local.path()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(outside));
    // Failures are not finished transfers.
    EXPECT_TRUE(Recorder->Finished.empty());
}

TEST_F(TransferQueueTest, NegativeFinalReplyFailsTheItemAndKeepsItsBytes)
{
    const QByteArray part = Pattern(1500);
    TScriptedServer server(LoginScript()
                               .Passive()
                               .Answer("RETR /pub/a.bin", "150 Opening data connection")
                               .DataSend(part.toStdString())
                               .DataClose()
                               .Reply("451 Local disk trouble")
                               .Passive()
                               .Answer("RETR /pub/b.bin", "150 Opening data connection")
                               .DataSend("second")
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    TRecordingView view;
    auto first = MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "a.bin", 4000);
    first->TargetView = &view;
    Add(std::move(first));
    Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "b.bin", 6));
    ASSERT_TRUE(RunToIdle(*Queue));

    TTransferItem *failed = Queue->Items(0);
    EXPECT_EQ(failed->Status(), tsFailed);
    EXPECT_EQ(TransferStatusText(failed->Status(), failed->Direction), "Aborted due to Error");
    EXPECT_TRUE(Recorder->HasEvent("error 0 Unable to complete transfer"));
    EXPECT_EQ(ReadAll(LocalPath("a.bin")), part) << "partial bytes stay for a later resume";
    // The view learns how much is really there, not the whole size.
    ASSERT_EQ(view.Entries.size(), 1u);
    EXPECT_EQ(view.Entries[0].Size, part.size());

    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("b.bin")), "second");
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(Queue->FilesDone(), 2);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

// A server that ends the data connection cleanly before the listed size and still
// replies 226: a binary file is incomplete, a text file's count legitimately differs.
TEST_F(TransferQueueTest, DownloadShortOfItsListedSizeFailsUnlessItIsText)
{
    const QByteArray part = Pattern(1500);
    TScriptedServer server(LoginScript()
                               .Passive()
                               .Answer("RETR /pub/a.bin", "150 Opening data connection")
                               .DataSend(part.toStdString())
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Answer("TYPE A", "200 Switching to ASCII mode.")
                               .Passive()
                               .Answer("RETR /pub/b.txt", "150 Opening data connection")
                               .DataSend("one\r\ntwo\r\n")
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "a.bin", 4000));
    Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "b.txt", 10));
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(Queue->Items(0)->Status(), tsFailed);
    EXPECT_TRUE(Recorder->HasEvent("error 0 Only 1500 of 4000 bytes of \"a.bin\" arrived"))
        << testing::PrintToString(Recorder->Errors);
    EXPECT_EQ(ReadAll(LocalPath("a.bin")), part) << "partial bytes stay for a later resume";
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("b.txt")), "one\ntwo\n");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TransferQueueTest, LostConnectionFailsTheItemAndTheNextOneRuns)
{
    TScriptedServer dropping(LoginScript()
                                 .Passive()
                                 .Answer("RETR /pub/a.bin", "150 Opening data connection")
                                 .DataSend(std::string(700, 'a'))
                                 .DataClose()
                                 .Close());
    TScriptedServer second(LoginScript()
                               .Passive()
                               .Answer("RETR /pub/b.bin", "150 Opening data connection")
                               .DataSend("bee")
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    Add(MakeItem(Connection(dropping), tdDownload, "/pub/", LocalFolder, "a.bin", 4000));
    Add(MakeItem(Connection(second), tdDownload, "/pub/", LocalFolder, "b.bin", 3));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsFailed);
    EXPECT_FALSE(Recorder->Errors.empty());
    EXPECT_EQ(QFileInfo(LocalPath("a.bin")).size(), 700);
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("b.bin")), "bee");
    EXPECT_TRUE(second.Failures().empty()) << second.Failures().front();
}

TEST_F(TransferQueueTest, FailedLoginFailsTheItemAndTheNextOneLogsOnAgain)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Scripted")
                               .Answer("USER", "331 Password please")
                               .Answer("PASS", "530 Login incorrect")
                               .AcceptAnother()
                               .Reply("220 Scripted")
                               .Answer("USER", "331 Password please")
                               .Answer("PASS", "230 Logged in")
                               .Answer("TYPE I", "200 Type set to I")
                               .Answer("REST 100", "350 Restarting at 100")
                               .Answer("REST 0", "350 Restarting at 0")
                               .Answer("QUIT", "221 Goodbye")
                               .Hang());
    // Folder downloads need nothing but the login.
    Add(MakeFolderItem(Connection(server), tdDownload, LocalFolder, "first"));
    Add(MakeFolderItem(Connection(server), tdDownload, LocalFolder, "second"));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsFailed);
    EXPECT_TRUE(Recorder->HasEvent("error 0 Could not log on to 127.0.0.1"));
    EXPECT_FALSE(QFileInfo::exists(LocalPath("first")));
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_TRUE(QFileInfo(LocalPath("second")).isDir());
    // The same pooled engine logged on again.
    EXPECT_EQ(Queue->EngineCount(), 1);
    EXPECT_EQ(server.ControlConnections(), 2);
}

TEST_F(TransferQueueTest, SkipInTheMiddleOfAFileKeepsItsBytesAndGoesOn)
{
    const QByteArray part = Pattern(2000, 7);
    TScriptedServer server(LoginScript()
                               .Passive()
                               .Answer("RETR /pub/big.bin", "150 Opening data connection")
                               .DataSend(part.toStdString())
                               .Answer("ABOR", "426 Transfer aborted")
                               .Reply("226 ABOR successful")
                               .Passive()
                               .Answer("RETR /pub/next.bin", "150 Opening data connection")
                               .DataSend("next")
                               .DataClose()
                               .Reply("226 Transfer complete")
                               .Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "big.bin", 1 << 20));
    Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, "next.bin", 4));
    TTransferItem *big = Queue->Items(0);
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(LocalPath("big.bin")).size() == part.size(); }));

    // What the progress window's Skip does.
    big->Cancel();
    EXPECT_EQ(big->Status(), tsFailed);
    big->SetStatus(tsCancelled);
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(big->Status(), tsCancelled) << "the abort's error leaves a cancelled item alone";
    EXPECT_EQ(ReadAll(LocalPath("big.bin")), part);
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("next.bin")), "next");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    // Cancelling an item that does not run changes nothing.
    big->Cancel();
    EXPECT_EQ(big->Status(), tsCancelled);
}

// The next download is queued on the engine behind the running one: the worker goes on
// to it while the program's thread is busy elsewhere.
TEST_F(TransferQueueTest, TheEngineGoesOnToTheNextDownloadWithoutWaitingForTheProgram)
{
    TScriptedServer server(
        Served(Served(LoginScript(), "/pub/a.bin", "first", true), "/pub/b.bin", "second").Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    TRecordingView view;
    for (const char *name : {"a.bin", "b.bin"}) {
        auto item = MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, name);
        item->TargetView = &view;
        Add(std::move(item));
    }
    // The handler that asked for a.bin queued b.bin behind it before this thread got back.
    ASSERT_TRUE(WaitUntil([&] { return Received(server, "RETR /pub/a.bin"); }));

    // No events processed from here on, as while a window is being built.
    server.Release();
    EXPECT_TRUE(ReceivedWhileBusy(server, "RETR /pub/b.bin"));

    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsDone);
    EXPECT_EQ(Queue->Items(1)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("a.bin")), "first");
    EXPECT_EQ(ReadAll(LocalPath("b.bin")), "second");
    // Each item still ends on its own, in order.
    ASSERT_EQ(view.Entries.size(), 2u);
    EXPECT_EQ(view.Entries[0].Name, "a.bin");
    EXPECT_EQ(view.Entries[1].Name, "b.bin");
    EXPECT_EQ(Queue->FilesDone(), 2);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

// Cancelled after the worker has gone on to it, the next download is stopped and the
// one after it runs.
TEST_F(TransferQueueTest, ADownloadCancelledAfterTheEngineWentOnToItIsStopped)
{
    TScriptedServer server(Served(Served(LoginScript(), "/pub/a.bin", "first", true)
                                      .Passive()
                                      .Answer("RETR /pub/b.bin", "150 Opening data connection")
                                      .Answer("ABOR", "426 Transfer aborted")
                                      .Reply("226 ABOR successful"),
                                  "/pub/c.bin", "third")
                               .Hang());
    TTransferSettings settings;
    settings.Passive = true;
    Queue->SetSettings(settings);
    for (const char *name : {"a.bin", "b.bin", "c.bin"})
        Add(MakeItem(Connection(server), tdDownload, "/pub/", LocalFolder, name));
    ASSERT_TRUE(WaitUntil([&] { return Received(server, "RETR /pub/a.bin"); }));
    server.Release();
    ASSERT_TRUE(ReceivedWhileBusy(server, "RETR /pub/b.bin"));

    // What the transfer manager's Cancel does to an item it still shows as waiting.
    TTransferItem *second = Queue->Items(1);
    ASSERT_EQ(second->Status(), tsPending);
    second->SetStatus(tsCancelled);
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(Queue->Items(0)->Status(), tsDone);
    EXPECT_EQ(second->Status(), tsCancelled);
    EXPECT_EQ(QFileInfo(LocalPath("b.bin")).size(), 0);
    EXPECT_EQ(Queue->Items(2)->Status(), tsDone);
    EXPECT_EQ(ReadAll(LocalPath("c.bin")), "third");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TransferQueueTest, DisconnectAllLogsOutAndFreesTheEngines)
{
    TScriptedServer server(LoginScript().Answer("QUIT", "221 Goodbye").Hang());
    // A folder download ends at once after the login, leaving the engine logged in. It
    // makes one folder; one whose parent is missing is not made, which is no error.
    Add(MakeFolderItem(Connection(server), tdDownload, LocalFolder, "made"));
    Add(MakeFolderItem(Connection(server), tdDownload, LocalFolder + "missing/", "child"));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->CountOf(tsDone), 2);
    EXPECT_TRUE(QFileInfo(LocalPath("made")).isDir());
    EXPECT_FALSE(QFileInfo::exists(LocalPath("missing")));
    ASSERT_EQ(Queue->EngineCount(), 1);
    ASSERT_TRUE(Queue->Engines(0)->LoggedIn());

    Queue->DisconnectAll();
    EXPECT_EQ(Queue->EngineCount(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Recorder->Disconnects == 1; }));
    const auto commands = server.ReceivedCommands();
    EXPECT_EQ(commands.back(), "QUIT");
    EXPECT_EQ(Queue->Items(0)->Engine(), nullptr);
}

TEST_F(TransferQueueTest, LogsOnThroughTheFirewallWhenTheOptionIsOn)
{
    TScriptedServer firewall(TServerScript()
                                 .Reply("220 Firewall ready")
                                 .Answer("USER gate", "331 Firewall password")
                                 .Answer("PASS gate-secret", "230 Firewall open")
                                 .Answer("SITE ftp.example.com:2121", "200 Connected")
                                 .Answer("USER user", "331 Password please")
                                 .Answer("PASS secret", "230 Logged in")
                                 .Answer("TYPE I", "200 Type set to I")
                                 .Answer("REST 100", "350 Restarting at 100")
                                 .Answer("REST 0", "350 Restarting at 0")
                                 .Hang());
    TTransferSettings settings;
    settings.FirewallEnabled = true;
    settings.FirewallType = 0; // "Site": log on to the firewall, then SITE host
    settings.FirewallHost = firewall.Host();
    settings.FirewallPort = " " + std::to_string(firewall.Port()) + " "; // as typed, blanks and all
    settings.FirewallUser = "gate";
    settings.FirewallPassword = "gate-secret";
    Queue->SetSettings(settings);
    TConnection behind;
    behind.Host = "ftp.example.com";
    behind.Port = 2121;
    Add(MakeFolderItem(behind, tdDownload, LocalFolder, "through"));
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(Queue->Items(0)->Status(), tsDone);
    EXPECT_TRUE(QFileInfo(LocalPath("through")).isDir());
    EXPECT_EQ(Host.StatusTexts, QStringList{"Logging on to ftp.example.com..."});
    TFTPComponent *engine = Queue->Engines(0);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->FirewallPort(), firewall.Port());
    EXPECT_EQ(engine->ServerType(), 1); // "Not Relevant": no detection for transfers
    EXPECT_TRUE(firewall.Failures().empty()) << firewall.Failures().front();
}
