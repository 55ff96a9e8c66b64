// The engine against real servers (pyftpdlib and vsftpd) started for each test.

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/FtpServers.h"

#include "engine/ServerTypes.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testing::Contains;
using testing::Not;

namespace {

std::string ServerName(const testing::TestParamInfo<TServerKind> &Info)
{
    return KindName(Info.param);
}

QByteArray RandomBytes(qsizetype Size)
{
    QByteArray bytes(Size, Qt::Uninitialized);
    QRandomGenerator generator(quint32(Size) * 2654435761u);
    for (qsizetype i = 0; i < Size; ++i)
        bytes[i] = char(generator.generate() & 0xFF);
    return bytes;
}

QByteArray ReadFile(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString &Path, const QByteArray &Content)
{
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << Path.toStdString();
    ASSERT_EQ(file.write(Content), Content.size());
}

class EngineRealServerTest : public EngineTestBase, public testing::WithParamInterface<TServerKind>
{
protected:
    void SetUp() override
    {
        EngineTestBase::SetUp();
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        FServer = StartTestServer(GetParam());
    }
    void TearDown() override
    {
        FRecorders.clear();
        FEngines.clear();
        FServer.reset();
        EngineTestBase::TearDown();
    }

    // A new engine logged in to the server.
    TFTPComponent &LoggedInEngine(bool Passive = true)
    {
        FEngines.push_back(std::make_unique<TFTPComponent>());
        TFTPComponent &engine = *FEngines.back();
        FRecorders.push_back(std::make_unique<TEngineRecorder>(engine));
        engine.SetHost(FServer->Host());
        engine.SetPort(FServer->Port());
        engine.SetUserName(FServer->User());
        engine.SetPassword(FServer->Password());
        engine.SetPassive(Passive);
        engine.Login();
        EXPECT_TRUE(FRecorders.back()->WaitFor("LoggedIn")) << testing::PrintToString(FRecorders.back()->Logs());
        FRecorders.back()->Clear();
        return engine;
    }
    TEngineRecorder &Recorder(std::size_t Index = 0) { return *FRecorders.at(Index); }

    // Waits until Count transfers have logged their statistics; fails on an Error.
    bool WaitForTransfer(TEngineRecorder &Recorder, int Count = 1)
    {
        const auto transferred = [&] {
            int n = 0;
            for (const std::string &line : Recorder.Logs())
                n += line.rfind("Transferred ", 0) == 0;
            return n;
        };
        const bool ended = WaitUntil([&] { return transferred() >= Count || Recorder.Count("Error") > 0; }, 60s);
        EXPECT_EQ(Recorder.Count("Error"), 0) << testing::PrintToString(Recorder.Logs());
        return ended && Recorder.Count("Error") == 0;
    }

    std::unique_ptr<TTestFtpServer> FServer;
    std::vector<std::unique_ptr<TFTPComponent>> FEngines;
    std::vector<std::unique_ptr<TEngineRecorder>> FRecorders;
    QTemporaryDir FLocal;
};

} // namespace

TEST_P(EngineRealServerTest, LoginDetectsTheServerAndLogoutEndsIt)
{
    FEngines.push_back(std::make_unique<TFTPComponent>());
    TFTPComponent &engine = *FEngines.back();
    FRecorders.push_back(std::make_unique<TEngineRecorder>(engine));
    engine.SetHost(FServer->Host());
    engine.SetPort(FServer->Port());
    engine.SetUserName(FServer->User());
    engine.SetPassword(FServer->Password());
    engine.Login();
    ASSERT_TRUE(Recorder().WaitFor("LoggedIn"));
    EXPECT_THAT(Recorder().Outline(), testing::ElementsAre("Connect", "LoggedIn"));
    EXPECT_EQ(engine.ServerType(), stUnixStandard);
    EXPECT_TRUE(engine.CanResume());
    EXPECT_TRUE(Recorder().HasLog("\r\nServer Type: UNIX (standard)"));
    EXPECT_TRUE(Recorder().HasLog("\r\nServer can resume broken downloads\r\n"));
    EXPECT_TRUE(Recorder().HasLog(FServer->Banner()));
    EXPECT_TRUE(engine.Connected());

    engine.Logout();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_FALSE(engine.Connected());
    EXPECT_FALSE(engine.LoggedIn());
    EXPECT_TRUE(Recorder().HasLog("QUIT"));

    // A wrong password ends in CantLogIn.
    Recorder().Clear();
    engine.SetPassword("wrong");
    engine.Login();
    ASSERT_TRUE(Recorder().WaitFor("CantLogIn"));
    EXPECT_TRUE(Recorder().HasLogContaining("530"));
}

TEST_P(EngineRealServerTest, TransfersArriveByteForByteInBothModes)
{
    const std::vector<qsizetype> sizes = {0, 1, 5 * 1024 * 1024};
    for (const qsizetype size : sizes)
        FServer->PutFile(QStringLiteral("down-%1.bin").arg(size), RandomBytes(size));

    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFTPComponent &engine = LoggedInEngine(passive);
        TEngineRecorder &recorder = *FRecorders.back();
        for (const qsizetype size : sizes) {
            SCOPED_TRACE(size);
            recorder.Clear();
            const QString name = QStringLiteral("down-%1.bin").arg(size);
            const QString local = FLocal.filePath(name + (passive ? ".p" : ".a"));
            engine.Download(name.toStdString(), local, ttBinary);
            ASSERT_TRUE(WaitForTransfer(recorder));
            EXPECT_EQ(ReadFile(local), ReadFile(FServer->LocalPath(name)));
            ASSERT_FALSE(recorder.Of("Progress").empty());
            EXPECT_EQ(recorder.Of("Progress").back().Number, size);

            recorder.Clear();
            const std::string remote = "up-" + std::to_string(size) + (passive ? ".p" : ".a");
            engine.Upload(local, remote, ttBinary);
            ASSERT_TRUE(WaitForTransfer(recorder));
            EXPECT_EQ(ReadFile(FServer->LocalPath(QString::fromStdString(remote))), ReadFile(local));
        }
        EXPECT_EQ(engine.Passive(), passive);
        engine.Logout();
    }
}

TEST_P(EngineRealServerTest, ResumedTransfersContinueAtTheOffset)
{
    const QByteArray content = RandomBytes(1024 * 1024 + 17);
    FServer->PutFile("whole.bin", content);
    TFTPComponent &engine = LoggedInEngine();
    ASSERT_TRUE(engine.CanResume());

    const QString local = FLocal.filePath("whole.bin");
    WriteFile(local, content.left(300000));
    engine.ResumeDownload("whole.bin", local, 300000, ttBinary);
    ASSERT_TRUE(WaitForTransfer(Recorder()));
    EXPECT_EQ(ReadFile(local), content);
    EXPECT_EQ(Recorder().Of("Progress").front().Number, 300000) << "counting starts at the offset";
    EXPECT_EQ(Recorder().Of("Progress").back().Number, content.size());

    Recorder().Clear();
    FServer->PutFile("partial.bin", content.left(400000));
    engine.ResumeUpload(local, "partial.bin", 400000, ttBinary);
    ASSERT_TRUE(WaitForTransfer(Recorder()));
    EXPECT_EQ(ReadFile(FServer->LocalPath("partial.bin")), content);
}

// A text file goes down and up in ASCII mode and comes out as the server's own bytes,
// across many network blocks; a resume of it transfers it whole.
TEST_P(EngineRealServerTest, TextFilesArriveAsTheServersOwnBytes)
{
    TServerOptions options;
    options.TextMode = true;
    FServer = StartTestServer(GetParam(), options);
    QByteArray content;
    for (int line = 0; content.size() < 700 * 1024; ++line)
        content += "line " + QByteArray::number(line) + (line % 7 == 3 ? "\rwith a lone CR\n" : "\n")
                   + (line % 11 == 0 ? "\n" : "");
    content += "last line without an end";
    FServer->PutFile("notes.txt", content);
    TFTPComponent &engine = LoggedInEngine();

    const QString local = FLocal.filePath("notes.txt");
    engine.Download("notes.txt", local, ttASCII);
    ASSERT_TRUE(WaitForTransfer(Recorder()));
    EXPECT_TRUE(ReadFile(local) == content)
        << "local size " << QFileInfo(local).size() << " of " << content.size();
    EXPECT_EQ(Recorder().Of("Progress").back().Number, content.size()) << "counted in the file's bytes";

    Recorder().Clear();
    engine.Upload(local, "copy.txt", ttASCII);
    ASSERT_TRUE(WaitForTransfer(Recorder()));
    const QByteArray copy = ReadFile(FServer->LocalPath("copy.txt"));
    EXPECT_TRUE(copy == content) << "server size " << copy.size() << " of " << content.size();

    Recorder().Clear();
    const QString partial = FLocal.filePath("partial.txt");
    WriteFile(partial, content.left(5000));
    engine.ResumeDownload("notes.txt", partial, 5000, ttASCII);
    ASSERT_TRUE(WaitForTransfer(Recorder()));
    EXPECT_TRUE(ReadFile(partial) == content);
    EXPECT_THAT(Recorder().Logs(), Not(Contains("REST 5000")));
}

// Only regular files travel, and a download never writes through a link in its way.
TEST_P(EngineRealServerTest, LinksAndSpecialFilesAreNoTransferTargets)
{
    FServer->PutFile("a.bin", RandomBytes(5000));
    const QString outside = FLocal.filePath("outside/target.txt");
    ASSERT_TRUE(QDir().mkpath(FLocal.filePath("outside")));
    ASSERT_TRUE(QDir().mkpath(FLocal.filePath("dest")));
    WriteFile(outside, "keep me");
    const QString link = FLocal.filePath("dest/link.bin");
    ASSERT_EQ(::symlink("../outside/target.txt", QFile::encodeName(link).constData()), 0);
    const QString dangling = FLocal.filePath("dest/dangling.bin");
    ASSERT_EQ(::symlink("../outside/new.txt", QFile::encodeName(dangling).constData()), 0);
    const QString fifo = FLocal.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    TFTPComponent &engine = LoggedInEngine();
    engine.Download("a.bin", link, ttBinary);
    engine.ResumeDownload("a.bin", link, 3, ttBinary);
    engine.Download("a.bin", dangling, ttBinary);
    engine.Upload(fifo, "from-pipe.bin", ttBinary);
    engine.GetCurrentFolder();
    const bool answered = Recorder().WaitFor("FolderReply", 1, 15s);
    if (!answered) {
        // Releases a worker stuck opening the pipe.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        Recorder().WaitFor("FolderReply");
    }
    EXPECT_TRUE(answered) << "opening a pipe must not wait for a writer";
    EXPECT_THAT(Recorder().Outline(),
                testing::ElementsAre("Error 0", "Error 0", "Error 0", "Error 0", "FolderReply"));
    const std::vector<TRecordedEvent> errors = Recorder().Of("Error");
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_THAT(errors[0].Text, testing::HasSubstr("symbolic link"));
    EXPECT_THAT(errors[3].Text, testing::HasSubstr("not a regular file"));
    EXPECT_EQ(ReadFile(outside), "keep me");
    EXPECT_FALSE(QFileInfo::exists(FLocal.filePath("outside/new.txt")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(FServer->LocalPath("from-pipe.bin")));
}

TEST_P(EngineRealServerTest, AbortInTheMiddleOfATransferKeepsTheConnectionUsable)
{
    // A big sparse file: far more than can pass before the abort arrives.
    const QString big = FServer->LocalPath("big.bin");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(2) * 1024 * 1024 * 1024));
    }
    FServer->HandOver(big);

    TFTPComponent &engine = LoggedInEngine();
    const TScopedConnection abortAtStart =
        engine.OnProgress.Connect([](TFTPComponent *Sender, int Phase, bool, std::int64_t) {
            if (Phase == ppStart)
                Sender->Abort();
        });
    const QString local = FLocal.filePath("big.bin");
    engine.Download("big.bin", local, ttBinary);
    engine.GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 1, 60s)) << testing::PrintToString(Recorder().Logs());
    std::vector<std::string> outline = Recorder().Outline();
    if (!outline.empty() && outline.front() == "UpdateFileSize") {
        EXPECT_EQ(Recorder().Of("UpdateFileSize")[0].Number, QFileInfo(big).size()) << "sizes beyond 32 bits";
        outline.erase(outline.begin());
    }
    EXPECT_THAT(outline, testing::ElementsAre("Abort", "Error 0", "FolderReply"))
        << testing::PrintToString(Recorder().Logs());
    EXPECT_TRUE(Recorder().Of("FolderReply")[0].Flag) << "the dialogue is still in step";
    EXPECT_EQ(Recorder().Of("FolderReply")[0].Text, "/");
    EXPECT_THAT(Recorder().Logs(), Contains("ABOR"));
    EXPECT_FALSE(Recorder().HasLogContaining("Transferred"));
    EXPECT_LT(QFileInfo(local).size(), QFileInfo(big).size());
    EXPECT_EQ(Recorder().Of("Progress").back().Number, QFileInfo(local).size())
        << "what arrived is on disk for a later resume";
}

TEST_P(EngineRealServerTest, FolderAndFileCommands)
{
    FServer->PutFile("file.txt", "some text");
    TFTPComponent &engine = LoggedInEngine();

    engine.CreateFolder("new dir");
    engine.SetCurrentFolder("new dir");
    engine.GetCurrentFolder();
    engine.SetCurrentFolder("/");
    engine.Rename("file.txt", "new dir/renamed.txt");
    engine.ChangeAttributes("new dir/renamed.txt", faOwnerRead | faOwnerWrite | faGroupRead);
    engine.List("/", "");
    ASSERT_TRUE(Recorder().WaitFor("ProcessList"));
    std::vector<std::tuple<std::string, std::int64_t, bool>> replies;
    for (const TRecordedEvent &e : Recorder().Of("FolderReply"))
        replies.emplace_back(e.Text, e.Number, e.Flag);
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_EQ(replies[0], std::make_tuple("/new dir", std::int64_t(frCreate), true));
    EXPECT_EQ(std::get<2>(replies[1]), true);
    EXPECT_EQ(replies[2], std::make_tuple("/new dir", std::int64_t(frCurrent), true));
    EXPECT_EQ(std::get<2>(replies[3]), true);
    ASSERT_EQ(Recorder().Count("RenameSuccessful"), 1);
    const QString renamed = FServer->LocalPath("new dir/renamed.txt");
    EXPECT_EQ(ReadFile(renamed), "some text");
    EXPECT_EQ(QFileInfo(renamed).permissions() & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    const TDirListing listing = Recorder().Of("ProcessList")[0].List;
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].Name, "new dir");
    EXPECT_TRUE(listing[0].Entry.IsFolder());

    Recorder().Clear();
    engine.Delete("new dir/renamed.txt");
    engine.RemoveFolder("new dir");
    engine.RemoveFolder("never there");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_TRUE(Recorder().Of("FolderReply")[0].Flag);
    EXPECT_FALSE(Recorder().Of("FolderReply")[1].Flag);
    EXPECT_FALSE(QFileInfo::exists(FServer->LocalPath("new dir")));
}

TEST_P(EngineRealServerTest, ListingShowsFilesWithTheirSizes)
{
    FServer->PutFile("a.bin", RandomBytes(10000));
    FServer->PutFile("sub/b.txt", "b");
    TFTPComponent &engine = LoggedInEngine(false);
    engine.List("/", "*.*");
    ASSERT_TRUE(Recorder().WaitFor("ProcessList"));
    TDirListing listing = Recorder().Of("ProcessList")[0].List;
    std::sort(listing.begin(), listing.end(), [](const TListItem &a, const TListItem &b) { return a.Name < b.Name; });
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[0].Name, "a.bin");
    EXPECT_EQ(listing[0].Entry.Size, 10000);
    EXPECT_EQ(listing[1].Name, "sub");
    EXPECT_TRUE(listing[1].Entry.IsFolder());
}

TEST_P(EngineRealServerTest, KeepAliveReachesTheServer)
{
    TFTPComponent &engine = LoggedInEngine();
    EXPECT_TRUE(engine.HasKeepAliveTimer());
    for (int tick = 0; tick < 4; ++tick)
        TFTPComponent::KeepAliveTick();
    ASSERT_TRUE(WaitUntil([&] { return FServer->ProtocolLogText().contains("NOOP"); }, 10s));
    EXPECT_TRUE(Recorder().Logs().empty());
    engine.GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_TRUE(Recorder().Of("FolderReply")[0].Flag);
}

TEST_P(EngineRealServerTest, TwoEnginesShareOneRegistryAndTimer)
{
    const QByteArray one = RandomBytes(3 * 1024 * 1024);
    const QByteArray two = RandomBytes(3 * 1024 * 1024 + 1);
    FServer->PutFile("one.bin", one);
    FServer->PutFile("two.bin", two);
    TFTPComponent &first = LoggedInEngine();
    TFTPComponent &second = LoggedInEngine(false);
    EXPECT_EQ(TFTPComponent::Registry().size(), 2u);
    EXPECT_TRUE(first.HasKeepAliveTimer());
    EXPECT_FALSE(second.HasKeepAliveTimer());

    first.Download("one.bin", FLocal.filePath("one.bin"), ttBinary);
    second.Download("two.bin", FLocal.filePath("two.bin"), ttBinary);
    ASSERT_TRUE(WaitForTransfer(Recorder(0)));
    ASSERT_TRUE(WaitForTransfer(Recorder(1)));
    EXPECT_EQ(ReadFile(FLocal.filePath("one.bin")), one);
    EXPECT_EQ(ReadFile(FLocal.filePath("two.bin")), two);

    FRecorders.erase(FRecorders.begin());
    FEngines.erase(FEngines.begin());
    ASSERT_EQ(TFTPComponent::Registry().size(), 1u);
    EXPECT_TRUE(second.HasKeepAliveTimer()) << "the timer moves to the next engine";
    FRecorders.clear();
    FEngines.clear();
    EXPECT_TRUE(TFTPComponent::Registry().empty());
}

INSTANTIATE_TEST_SUITE_P(RealServers, EngineRealServerTest,
                         testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd), ServerName);
