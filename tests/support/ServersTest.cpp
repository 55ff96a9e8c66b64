#include "tests/support/FtpServers.h"
#include "tests/support/RawFtpClient.h"
#include "tests/support/ScriptedServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <thread>

using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

std::string ServerName(const testing::TestParamInfo<TServerKind> &info)
{
    return KindName(info.param);
}

QByteArray ReadLocal(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class RealServerTest : public testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        Server = StartTestServer(GetParam());
    }

    // A client that has read the welcome.
    void Connect(TRawFtpClient &client) const
    {
        ASSERT_TRUE(client.Connect(Server->Host(), Server->Port())) << client.LastError();
        ASSERT_EQ(client.ReadReply(), Server->Banner()) << client.LastError();
    }

    void LogIn(TRawFtpClient &client) const
    {
        ASSERT_NO_FATAL_FAILURE(Connect(client));
        ASSERT_EQ(TRawFtpClient::Code(client.LogIn(Server->User(), Server->Password())), 230)
            << client.LastReply();
    }

    std::unique_ptr<TTestFtpServer> Server;
};

TEST_P(RealServerTest, WelcomesWithItsBannerAndLogsInWithPassword)
{
    if (GetParam() == TServerKind::Vsftpd) {
        EXPECT_THAT(Server->Banner(), StartsWith("220 (vsFTPd "));
    } else {
        EXPECT_THAT(Server->Banner(), StartsWith("220 pyftpdlib "));
        EXPECT_THAT(Server->Banner(), EndsWith(" ready."));
    }
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(Connect(client));
    EXPECT_EQ(TRawFtpClient::Code(client.Command("USER " + Server->User())), 331);
    EXPECT_EQ(TRawFtpClient::Code(client.Command("PASS " + Server->Password())), 230);
    EXPECT_EQ(client.Command("SYST"), "215 UNIX Type: L8");
    EXPECT_EQ(TRawFtpClient::Code(client.Command("QUIT")), 221);
    EXPECT_EQ(client.ReadReply(), "");
    EXPECT_EQ(client.LastError(), "connection closed by the server");
}

TEST_P(RealServerTest, RefusesAWrongPasswordAndAcceptsTheRightOneAfterIt)
{
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(Connect(client));
    EXPECT_EQ(TRawFtpClient::Code(client.LogIn(Server->User(), "wrong")), 530);
    EXPECT_EQ(TRawFtpClient::Code(client.LogIn(Server->User(), Server->Password())), 230);
}

TEST_P(RealServerTest, AnonymousMayReadButNotWrite)
{
    Server->PutFile("pub/readme.txt", "hello\n");
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(Connect(client));
    ASSERT_EQ(TRawFtpClient::Code(client.LogIn("anonymous", "guest@example.com")), 230);
    ASSERT_EQ(TRawFtpClient::Code(client.Command("TYPE I")), 200);
    EXPECT_EQ(client.Fetch("RETR pub/readme.txt"), "hello\n") << client.LastError();
    EXPECT_EQ(TRawFtpClient::Code(client.Command("MKD new")), 550);
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("new")));
}

TEST_P(RealServerTest, UserWritesIntoRootAndFoldersTheTestMade)
{
    Server->PutFile("sub/deeper/existing.txt", "old");
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(LogIn(client));
    ASSERT_EQ(TRawFtpClient::Code(client.Command("TYPE I")), 200);

    std::string payload(200'000, '\0');
    std::generate(payload.begin(), payload.end(), [n = 0]() mutable { return char(n++ * 7); });
    ASSERT_TRUE(client.Store("STOR upload.bin", payload)) << client.LastError();
    EXPECT_EQ(ReadLocal(Server->LocalPath("upload.bin")).toStdString(), payload);

    ASSERT_TRUE(client.Store("STOR sub/deeper/new.txt", "new")) << client.LastError();
    EXPECT_EQ(ReadLocal(Server->LocalPath("sub/deeper/new.txt")), "new");
    EXPECT_EQ(TRawFtpClient::Code(client.Command("DELE sub/deeper/existing.txt")), 250);
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("sub/deeper/existing.txt")));

    const std::optional<std::string> listing = client.Fetch("LIST sub/deeper");
    ASSERT_TRUE(listing) << client.LastError();
    EXPECT_THAT(*listing, HasSubstr("new.txt\r\n"));
}

TEST_P(RealServerTest, RefusesAnonymousWhenDisabled)
{
    Server.reset();
    Server = StartTestServer(GetParam(), TServerOptions{.Anonymous = false});
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(Connect(client));
    EXPECT_EQ(TRawFtpClient::Code(client.LogIn("anonymous", "guest@example.com")), 530);
}

TEST_P(RealServerTest, ProtocolLogRecordsTheDialogue)
{
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(LogIn(client));
    ASSERT_EQ(TRawFtpClient::Code(client.Command("NOOP")), 200);
    client.Close();
    EXPECT_THAT(Server->ProtocolLogText().toStdString(), HasSubstr("NOOP"));
}

TEST_P(RealServerTest, TwoInstancesRunSideBySide)
{
    const std::unique_ptr<TTestFtpServer> second = StartTestServer(GetParam());
    EXPECT_NE(second->Port(), Server->Port());
    EXPECT_NE(second->Root(), Server->Root());
    const bool disjoint = second->LastPassivePort() < Server->FirstPassivePort() ||
                          Server->LastPassivePort() < second->FirstPassivePort();
    EXPECT_TRUE(disjoint);
    for (const TTestFtpServer *server : {Server.get(), second.get()}) {
        for (const int port : {server->FirstPassivePort(), server->LastPassivePort()})
            EXPECT_LT(port, 32768);
        TRawFtpClient client;
        ASSERT_TRUE(client.Connect(server->Host(), server->Port())) << client.LastError();
        EXPECT_EQ(TRawFtpClient::Code(client.ReadReply()), 220);
        EXPECT_EQ(TRawFtpClient::Code(client.LogIn(server->User(), server->Password())), 230);
        EXPECT_TRUE(client.Fetch("LIST")) << client.LastError();
    }
}

// Engine tests start servers while worker threads run; fork must cope with that.
TEST_P(RealServerTest, StartsWhileOtherThreadsRun)
{
    const TScriptedServer busy(TServerScript().Hang());
    TRawFtpClient busyClient;
    ASSERT_TRUE(busyClient.Connect(busy.Host(), busy.Port()));
    const std::unique_ptr<TTestFtpServer> second = StartTestServer(GetParam());
    TRawFtpClient client;
    ASSERT_TRUE(client.Connect(second->Host(), second->Port())) << client.LastError();
    EXPECT_EQ(client.ReadReply(), second->Banner());
}

TEST_P(RealServerTest, LeavesNoProcessBehindEvenWithAClientLoggedIn)
{
    TRawFtpClient client;
    ASSERT_NO_FATAL_FAILURE(LogIn(client));
    const std::vector<pid_t> processes = Server->Processes();
    ASSERT_FALSE(processes.empty());
    if (GetParam() == TServerKind::Vsftpd) {
        EXPECT_GE(processes.size(), 2u) << "the logged-in session is a process of its own";
    }

    Server.reset();
    for (const pid_t pid : processes)
        EXPECT_TRUE(IsProcessGone(pid)) << "process " << pid << " still runs";
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTest,
                         testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         ServerName);

// A test process that dies without running destructors must not leave its server.
class ServerDeathTest : public testing::TestWithParam<TServerKind>
{
};

TEST_P(ServerDeathTest, ServerEndsWithACrashedTestProcess)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const std::string record = scratch.filePath("server").toStdString();

    EXPECT_EXIT(
        {
            const std::unique_ptr<TTestFtpServer> server = StartTestServer(GetParam());
            std::ofstream(record) << server->Pid() << '\n'
                                  << QFileInfo(server->Root()).absolutePath().toStdString();
            std::raise(SIGKILL);
        },
        testing::KilledBySignal(SIGKILL), "");

    pid_t pid = 0;
    std::string folder;
    std::ifstream in(record);
    in >> pid >> folder;
    ASSERT_GT(pid, 0);
    // The kernel delivers the death signal at once, but give a loaded machine its time.
    const TDeadline deadline = DeadlineIn(std::chrono::seconds(30));
    while (!IsProcessGone(pid) && MillisecondsLeft(deadline) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(IsProcessGone(pid)) << "server process " << pid << " outlived its test";
    if (!folder.empty() && QFileInfo(QString::fromStdString(folder)).fileName().startsWith("ferrow-"))
        QDir(QString::fromStdString(folder)).removeRecursively();
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerDeathTest,
                         testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         ServerName);

} // namespace
