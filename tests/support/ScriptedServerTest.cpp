#include "tests/support/RawFtpClient.h"
#include "tests/support/ScriptedServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::MatchesRegex;

namespace {

TRawFtpClient ConnectedClient(const TScriptedServer &server)
{
    TRawFtpClient client(10s);
    EXPECT_TRUE(client.Connect(server.Host(), server.Port())) << client.LastError();
    return client;
}

TEST(ScriptedServerTest, PlaysRepliesAndRecordsCommands)
{
    TScriptedServer server(TServerScript()
                               .Reply("220-Welcome\r\n220 ready")
                               .Answer("USER", "331 Password?")
                               .Answer("PASS", "230 In.")
                               .Answer("QUIT", "221 Bye"));
    TRawFtpClient client = ConnectedClient(server);
    EXPECT_EQ(client.ReadReply(), "220-Welcome\n220 ready");
    EXPECT_EQ(client.LogIn("joe", "secret"), "230 In.");
    EXPECT_EQ(client.Command("QUIT"), "221 Bye");
    EXPECT_EQ(client.ReadReply(), "") << "the script's end closes the connection";

    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), IsEmpty());
    EXPECT_THAT(server.ReceivedCommands(), ElementsAre("USER joe", "PASS secret", "QUIT"));
    EXPECT_EQ(server.ControlConnections(), 1);
}

TEST(ScriptedServerTest, RecordsAnUnexpectedCommandAndGoesOn)
{
    TScriptedServer server(TServerScript().Reply("220 Hi").Answer("USER", "331 Password?"));
    TRawFtpClient client = ConnectedClient(server);
    client.ReadReply();
    EXPECT_EQ(client.Command("PASS early"), "331 Password?");
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), ElementsAre(HasSubstr("got \"PASS early\"")));
}

TEST(ScriptedServerTest, ReportsAClientThatLeavesMidScript)
{
    TScriptedServer server(TServerScript().Reply("220 Hi").Expect("USER").Reply("331 More"));
    {
        TRawFtpClient client = ConnectedClient(server);
        client.ReadReply();
    }
    EXPECT_FALSE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), ElementsAre(HasSubstr("client closed the connection")));
}

TEST(ScriptedServerTest, ReportsThatNoClientCame)
{
    TScriptedServer server(TServerScript().Reply("220 Hi"), 100ms);
    EXPECT_FALSE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), ElementsAre(HasSubstr("no client connected")));
}

TEST(ScriptedServerTest, SendsAListingOverPassive)
{
    const std::string listing = "-rw-r--r-- 1 u g 5 Jan 02 2020 a.txt\r\n";
    TScriptedServer server(TServerScript()
                               .Reply("220 Hi")
                               .Passive()
                               .Answer("LIST", "150 Here it comes")
                               .DataSend(listing)
                               .DataClose()
                               .Reply("226 Done"));
    TRawFtpClient client = ConnectedClient(server);
    client.ReadReply();
    EXPECT_EQ(client.Fetch("LIST"), listing) << client.LastError();
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), IsEmpty());
    EXPECT_THAT(server.ReceivedCommands(), ElementsAre("PASV", "LIST"));
}

TEST(ScriptedServerTest, FillsThePassiveReplyTemplate)
{
    TScriptedServer server(
        TServerScript().Reply("220 Hi").Passive("227 Entering Passive Mode 10,1,2,3,{port}"));
    TRawFtpClient client = ConnectedClient(server);
    client.ReadReply();
    EXPECT_THAT(client.Command("PASV"),
                MatchesRegex("227 Entering Passive Mode 10,1,2,3,[0-9]+,[0-9]+"));
    EXPECT_TRUE(server.WaitUntilDone());
}

TEST(ScriptedServerTest, ReceivesAnUploadOverActive)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Hi")
                               .Active()
                               .Answer("STOR", "150 Go ahead")
                               .DataReceive()
                               .Reply("226 Stored"));
    TRawFtpClient client = ConnectedClient(server);
    client.ReadReply();
    TUniqueFd listener = ListenOnLoopback();
    const std::uint16_t port = LocalPort(listener.Get());
    EXPECT_EQ(client.Command("PORT 127,0,0,1," + std::to_string(port / 256) + ',' +
                             std::to_string(port % 256)),
              "200 PORT command successful.");
    EXPECT_EQ(client.Command("STOR up.txt"), "150 Go ahead");
    pollfd entry{listener.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 10'000), 1);
    TUniqueFd data(::accept(listener.Get(), nullptr, nullptr));
    ASSERT_TRUE(data);
    ASSERT_TRUE(SendAll(data.Get(), "uploaded bytes", DeadlineIn(10s)));
    data.Reset();
    EXPECT_EQ(client.ReadReply(), "226 Stored");
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.DataReceived(), ElementsAre("uploaded bytes"));
}

TEST(ScriptedServerTest, SplitSendsArriveAsOneReply)
{
    TScriptedServer server(
        TServerScript().Send("220 Hel").Pause(20ms).Send("lo\r").Pause(20ms).Send("\n"));
    TRawFtpClient client = ConnectedClient(server);
    EXPECT_EQ(client.ReadReply(), "220 Hello");
    EXPECT_TRUE(server.WaitUntilDone());
}

TEST(ScriptedServerTest, HangingServerIsDestroyedAtOnce)
{
    std::optional<TScriptedServer> server(std::in_place, TServerScript().Reply("220 Hi").Hang());
    TRawFtpClient client = ConnectedClient(*server);
    EXPECT_EQ(client.ReadReply(), "220 Hi");
    ASSERT_TRUE(client.SendLine("NOOP"));
    EXPECT_FALSE(server->WaitUntilDone(50ms));
    server.reset();
    EXPECT_EQ(client.ReadReply(), "");
    EXPECT_EQ(client.LastError(), "connection closed by the server");
}

TEST(ScriptedServerTest, HangEndsWhenTheClientLeaves)
{
    TScriptedServer server(TServerScript().Reply("220 Hi").Hang());
    {
        TRawFtpClient client = ConnectedClient(server);
        client.ReadReply();
        client.SendLine("NOOP");
    }
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.ReceivedCommands(), ElementsAre("NOOP"));
}

TEST(ScriptedServerTest, EndlessLineEndsWhenTheClientLeaves)
{
    TScriptedServer server(TServerScript().SendEndless());
    {
        const TUniqueFd socket = ConnectTo(server.Host(), server.Port(), DeadlineIn(10s));
        ASSERT_TRUE(socket);
        std::string received;
        while (received.size() < 100'000) {
            pollfd entry{socket.Get(), POLLIN, 0};
            ASSERT_EQ(::poll(&entry, 1, 10'000), 1);
            char chunk[65536];
            const ssize_t got = ::recv(socket.Get(), chunk, sizeof chunk, 0);
            ASSERT_GT(got, 0);
            received.append(chunk, static_cast<size_t>(got));
        }
        EXPECT_EQ(received.find_first_not_of('x'), std::string::npos);
    }
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_THAT(server.Failures(), IsEmpty());
}

TEST(ScriptedServerTest, EndlessLineStopsAtItsLimit)
{
    TScriptedServer server(TServerScript().SendEndless(4096, 10'000));
    TRawFtpClient client = ConnectedClient(server);
    EXPECT_EQ(client.ReadReply(), "");
    EXPECT_EQ(client.LastError(), "connection closed by the server");
    EXPECT_TRUE(server.WaitUntilDone());
}

TEST(ScriptedServerTest, AcceptsASecondConnection)
{
    TScriptedServer server(
        TServerScript().Reply("220 First").Close().AcceptAnother().Reply("220 Second"));
    TRawFtpClient first = ConnectedClient(server);
    EXPECT_EQ(first.ReadReply(), "220 First");
    EXPECT_EQ(first.ReadReply(), "");
    TRawFtpClient second = ConnectedClient(server);
    EXPECT_EQ(second.ReadReply(), "220 Second");
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_EQ(server.ControlConnections(), 2);
}

TEST(ScriptedServerTest, ResetsTheDataConnection)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Hi")
                               .Passive()
                               .Answer("RETR", "150 Sending")
                               .DataSend("partial")
                               .DataReset()
                               .Reply("426 Broken"));
    TRawFtpClient client = ConnectedClient(server);
    client.ReadReply();
    EXPECT_FALSE(client.Fetch("RETR f"));
    EXPECT_THAT(client.LastError(), HasSubstr("Connection reset"));
    EXPECT_TRUE(server.WaitUntilDone());
}

} // namespace
