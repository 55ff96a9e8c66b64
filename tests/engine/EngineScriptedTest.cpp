// The control connection and the login against a scripted server: reply layouts no
// real server sends, servers that hang or go away, and every login path.

#include "tests/engine/ScriptedEngine.h"

#include "engine/ServerTypes.h"

#include <gmock/gmock.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

std::vector<std::pair<std::string, bool>> FolderReplies(const TEngineRecorder &Recorder)
{
    std::vector<std::pair<std::string, bool>> replies;
    for (const TRecordedEvent &e : Recorder.Of("FolderReply"))
        replies.emplace_back(e.Text, e.Flag);
    return replies;
}

TColor LogColor(const TEngineRecorder &Recorder, const std::string &Text)
{
    for (const TRecordedEvent &e : Recorder.Of("Log"))
        if (e.Text == Text)
            return e.Color;
    ADD_FAILURE() << "no log line \"" << Text << "\"";
    return 0x123456;
}

// A loopback port nobody listens on.
int UnusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

// ---- Reading replies ----

class EngineReplyTest : public EngineScriptedBase
{
};

TEST_F(EngineReplyTest, MultiLineReplyEndsAtItsCodeAndSpace)
{
    LogIn(LoggedInScript()
              .Answer("PWD", "257-The current folder\r\n257-is given below\r\n257 \"/pub/incoming\" is current directory")
              .Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(FolderReplies(Recorder()), ElementsAre(std::pair<std::string, bool>("/pub/incoming", true)));
    EXPECT_THAT(Recorder().Logs(), ElementsAre("PWD", "257-The current folder", "257-is given below",
                                               "257 \"/pub/incoming\" is current directory"));
    EXPECT_EQ(LogColor(Recorder(), "PWD"), clLogCommand);
    EXPECT_EQ(LogColor(Recorder(), "257-is given below"), clLogReply);
}

TEST_F(EngineReplyTest, MiddleLineThatLooksLikeAnEndLineEndsTheReplyEarly)
{
    // The rest of the reply stays buffered and answers the next command.
    LogIn(LoggedInScript()
              .Answer("PWD", "257-first\r\n200 middle\r\n257 \"/x\" is current")
              .Expect("CWD /y")
              .Hang());
    Engine().GetCurrentFolder();
    Engine().SetCurrentFolder("/y");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_THAT(FolderReplies(Recorder()),
                ElementsAre(std::pair<std::string, bool>("", true), std::pair<std::string, bool>("/x", true)));
}

TEST_F(EngineReplyTest, LinesWithoutAValidCodeNeverEndAReply)
{
    LogIn(LoggedInScript()
              .Answer("PWD", "257-start\r\n999 odd line\r\n099 low line\r\n257 \"/a\" ok")
              .Answer("CWD missing", "550 No such folder")
              .Hang());
    Engine().GetCurrentFolder();
    Engine().SetCurrentFolder("missing");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_THAT(FolderReplies(Recorder()),
                ElementsAre(std::pair<std::string, bool>("/a", true), std::pair<std::string, bool>("", false)));
    EXPECT_EQ(LogColor(Recorder(), "999 odd line"), clLogReply);
    EXPECT_EQ(LogColor(Recorder(), "550 No such folder"), clLogError);
    EXPECT_EQ(Recorder().Of("FolderReply")[1].Number, frChange);
    EXPECT_FALSE(Received(Server(), "XCWD missing")) << "550 is no reason to try the X form";
}

TEST_F(EngineReplyTest, RepliesWithLineFeedsAloneAreSplitIntoLines)
{
    LogIn(LoggedInScript()
              .Expect("PWD")
              .Send("257-a\n257-b\n257 \"/c\" ok\n")
              .Expect("CWD d")
              .Send("250 \"/d\"\n")
              .Hang());
    Engine().GetCurrentFolder();
    Engine().SetCurrentFolder("d");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_THAT(FolderReplies(Recorder()),
                ElementsAre(std::pair<std::string, bool>("/c", true), std::pair<std::string, bool>("/d", true)));
    EXPECT_THAT(Recorder().Logs(), ElementsAre("PWD", "257-a", "257-b", "257 \"/c\" ok", "CWD d", "250 \"/d\""));
}

TEST_F(EngineReplyTest, TwoRepliesInOneReadAnswerTwoCommands)
{
    LogIn(LoggedInScript()
              .Expect("PWD")
              .Send("257 \"/one\" is current\r\n250 \"/two\" is the new folder\r\n")
              .Expect("CWD two")
              .Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    ASSERT_TRUE(WaitForCommand(Server(), "PWD"));
    Engine().SetCurrentFolder("two");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_THAT(FolderReplies(Recorder()),
                ElementsAre(std::pair<std::string, bool>("/one", true), std::pair<std::string, bool>("/two", true)));
}

TEST_F(EngineReplyTest, LineEndsSplitAcrossReadsLeaveNoStrayLineFeed)
{
    LogIn(LoggedInScript()
              .Expect("PWD")
              .Send("257 \"/a\" is current\r")
              .Pause(150ms)
              .Send("\n")
              .Expect("CWD b")
              .Send("250-\"/b\" first\r")
              .Pause(150ms)
              .Send("\n250 \"/b\" done\r")
              .Pause(150ms)
              .Send("\n")
              .Expect("CWD c")
              .Send("250-lf only\n")
              .Pause(150ms)
              .Send("250 \"/c\" done\n")
              .Hang());
    Engine().GetCurrentFolder();
    Engine().SetCurrentFolder("b");
    Engine().SetCurrentFolder("c");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 3, 10s)) << testing::PrintToString(Recorder().Logs());
    EXPECT_THAT(FolderReplies(Recorder()),
                ElementsAre(std::pair<std::string, bool>("/a", true), std::pair<std::string, bool>("/b", true),
                            std::pair<std::string, bool>("/c", true)));
    EXPECT_THAT(Recorder().Logs(),
                ElementsAre("PWD", "257 \"/a\" is current", "CWD b", "250-\"/b\" first", "250 \"/b\" done", "CWD c",
                            "250-lf only", "250 \"/c\" done"));
}

TEST_F(EngineReplyTest, EndlessLineEndsTheConnection)
{
    LogIn(LoggedInScript().Expect("PWD").SendEndless());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10040", "Disconnect"));
    EXPECT_EQ(Recorder().Of("Error")[0].Text, "Message too long");
    EXPECT_EQ(LogColor(Recorder(), "Reply from server too long"), clLogError);
    EXPECT_FALSE(Engine().Connected());
    EXPECT_FALSE(Engine().LoggedIn());
}

// The keep-alive's exchange is quiet, but an error in it must still reach the log.
TEST_F(EngineReplyTest, EndlessReplyToAKeepAliveIsStillLogged)
{
    LogIn(LoggedInScript().Expect("NOOP").SendEndless());
    Engine().NoOp();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_FALSE(Recorder().HasLog("NOOP"));
    EXPECT_EQ(LogColor(Recorder(), "Reply from server too long"), clLogError);
}

TEST_F(EngineReplyTest, EndlessReplyOfShortLinesEndsTheConnection)
{
    std::string flood;
    while (flood.size() < TFTPComponent::MaxReplyLength + 4096)
        flood += "257-this reply never ends\r\n";
    LogIn(LoggedInScript().Expect("PWD").Send(flood).Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10040", "Disconnect"));
}

TEST_F(EngineReplyTest, ServerThatStopsAnsweringTimesOut)
{
    TFTPComponent::TimeoutMS = 800;
    LogIn(LoggedInScript().Expect("PWD").Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10004", "Abort", "FolderReply"));
    EXPECT_EQ(Recorder().Of("Error")[0].Text, "Operation interrupted");
    EXPECT_FALSE(Recorder().Of("FolderReply")[0].Flag);
    EXPECT_TRUE(Engine().Connected()) << "a time-out leaves the connection open";
}

TEST_F(EngineReplyTest, ReplyThatTricklesMustStillEndWithinTheTimeOut)
{
    // Each byte comes well within the time-out, line after line; the whole reply would
    // take many time-outs.
    TFTPComponent::TimeoutMS = 1500;
    TServerScript script = LoggedInScript().Expect("PWD");
    for (int line = 0; line < 40; ++line) {
        for (const char c : std::string("257-more\r\n"))
            script.Send(std::string(1, c)).Pause(40ms);
    }
    LogIn(script.Reply("257 \"/\" is current").Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 1, 60s));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10004", "Abort", "FolderReply"));
    EXPECT_FALSE(Recorder().Of("FolderReply")[0].Flag);
    EXPECT_FALSE(Server().WaitUntilDone(0ms)) << "the reply was still coming";
}

TEST_F(EngineReplyTest, AbortEndsAWaitForAReply)
{
    LogIn(LoggedInScript().Expect("PWD").Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(WaitForCommand(Server(), "PWD"));
    ProcessEventsFor(100ms);
    Engine().Abort();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 1, 3s));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10004", "Abort", "FolderReply"));
    EXPECT_TRUE(Engine().Connected());
}

TEST_F(EngineReplyTest, ServerClosingInTheMiddleOfAReplyEndsTheConnection)
{
    LogIn(LoggedInScript().Expect("PWD").Send("257-partial\r\n").Close());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10054", "Disconnect"));
    EXPECT_EQ(Recorder().Of("Error")[0].Text, "Connection reset by peer");
    EXPECT_FALSE(Engine().LoggedIn());
    EXPECT_FALSE(Engine().Connected());

    // Once closed, a command fails at once and quietly: no error for the closed socket.
    Recorder().Clear();
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Disconnect"));
}

TEST_F(EngineReplyTest, CommandWithALineBreakIsNotSent)
{
    LogIn(LoggedInScript().Answer("RNFR x", "350 Ready for RNTO").Answer("PWD", "257 \"/\" is current").Hang());
    Engine().Delete("a\r\nDELE b");
    Engine().Rename("x", "y\nz");
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("RNFR x", "PWD"));
    EXPECT_EQ(Recorder().Count("RenameSuccessful"), 0);
    ASSERT_EQ(Recorder().Count("Error"), 2);
    EXPECT_EQ(Recorder().Of("Error")[0].Text, "Command not sent: it contains a line break");
    EXPECT_TRUE(Engine().Connected());
}

// ---- Logging in ----

class EngineLoginTest : public EngineTestBase
{
protected:
    void Login(TScriptedServer &Server, TFTPComponent &Engine, const char *Until = "LoggedIn")
    {
        StartLogin(Engine, Server);
        ASSERT_TRUE(FRecorder->WaitFor(Until)) << testing::PrintToString(FRecorder->Outline());
    }
    void Attach(TFTPComponent &Engine) { FRecorder = std::make_unique<TEngineRecorder>(Engine); }
    std::unique_ptr<TEngineRecorder> FRecorder;
};

TEST_F(EngineLoginTest, PasswordIsSentButNeverShownInTheLog)
{
    TScriptedServer server(LoggedInScript().Hang());
    TFTPComponent engine;
    Attach(engine);
    Login(server, engine);

    EXPECT_THAT(server.ReceivedCommands(), ElementsAre("USER joe", "PASS secret", "SYST", "TYPE I", "REST 100", "REST 0"));
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Connect", "LoggedIn"));
    const std::vector<std::string> logs = FRecorder->Logs();
    for (const std::string &line : logs)
        EXPECT_THAT(line, Not(HasSubstr("secret")));
    const auto masked = std::find(logs.begin(), logs.end(), "PASS xxxxx");
    const auto answer = std::find(logs.begin(), logs.end(), "230 User joe logged in");
    ASSERT_NE(masked, logs.end());
    EXPECT_LT(masked, answer) << "the masked line goes out before the reply";
    EXPECT_EQ(LogColor(*FRecorder, "PASS xxxxx"), clLogCommand);
    EXPECT_THAT(logs, Contains("SYST"));
    EXPECT_THAT(logs, Not(Contains("REST 100"))) << "the restart probe stays out of the log";
    EXPECT_THAT(logs, Contains("\r\nServer Type: UNIX (standard)"));
    EXPECT_THAT(logs, Contains("\r\nServer can resume broken downloads\r\n"));
    EXPECT_EQ(logs.front(), "Attempting to connect to 127.0.0.1, attempt 1\r\n");
    EXPECT_EQ(engine.ServerType(), stUnixStandard);
    EXPECT_TRUE(engine.CanResume());
    EXPECT_TRUE(engine.LoggedIn());
    EXPECT_TRUE(engine.Connected());
    EXPECT_TRUE(FRecorder->AllOnOwnerThread());
}

TEST_F(EngineLoginTest, AccountAndPasswordFollowTheReplyCodes)
{
    struct TCase
    {
        TServerScript Script;
        std::vector<std::string> Commands;
    };
    std::vector<TCase> cases;
    cases.push_back({TServerScript()
                         .Reply("220 ready")
                         .Answer("USER joe", "230 No password needed")
                         .Answer("SYST", "215 UNIX")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     {"USER joe", "SYST", "TYPE I", "REST 100", "REST 0"}});
    cases.push_back({TServerScript()
                         .Reply("220 ready")
                         .Answer("USER joe", "332 Need account")
                         .Answer("ACCT acct", "331 Password please")
                         .Answer("PASS secret", "230 In")
                         .Answer("SYST", "215 UNIX")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     {"USER joe", "ACCT acct", "PASS secret", "SYST", "TYPE I", "REST 100", "REST 0"}});
    cases.push_back({TServerScript()
                         .Reply("220 ready")
                         .Answer("USER joe", "331 Password please")
                         .Answer("PASS secret", "332 Need account")
                         .Answer("ACCT acct", "230 In")
                         .Answer("SYST", "215 UNIX")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     {"USER joe", "PASS secret", "ACCT acct", "SYST", "TYPE I", "REST 100", "REST 0"}});
    for (TCase &c : cases) {
        TScriptedServer server(c.Script);
        TFTPComponent engine;
        Attach(engine);
        Login(server, engine);
        EXPECT_EQ(server.ReceivedCommands(), c.Commands);
    }
}

TEST_F(EngineLoginTest, ServerTypeComesFromWelcomeSystOrHelp)
{
    struct TCase
    {
        TServerScript Script;
        int Type;
        bool SystSent;
    };
    const auto afterWelcome = [](TServerScript script) {
        return script.Answer("USER joe", "331 Password").Answer("PASS secret", "230 In");
    };
    std::vector<TCase> cases;
    cases.push_back({afterWelcome(TServerScript().Reply("220-Serv-U FTP Server v2.5 ready\r\n220 Hello"))
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     34, false});
    cases.push_back({afterWelcome(TServerScript().Reply("220 ready"))
                         .Answer("SYST", "215 Windows_NT version 5.0")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     17, true});
    cases.push_back({afterWelcome(TServerScript().Reply("220 ready"))
                         .Answer("SYST", "215 VMS MultiNet V4.3")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     12, true});
    cases.push_back({afterWelcome(TServerScript().Reply("220 ready"))
                         .Answer("SYST", "215 Something unheard of")
                         .Answer("HELP", "214-Commands:\r\n214-MACB USER PASS\r\n214 Done")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     15, true});
    cases.push_back({afterWelcome(TServerScript().Reply("220 ready"))
                         .Answer("SYST", "500 SYST not understood")
                         .Answer("HELP", "214 No help")
                         .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                         .Answer("REST 0", "350 ok")
                         .Hang(),
                     stUnixStandard, true});
    for (TCase &c : cases) {
        TScriptedServer server(c.Script);
        TFTPComponent engine;
        Attach(engine);
        Login(server, engine);
        EXPECT_EQ(engine.ServerType(), c.Type);
        EXPECT_EQ(Received(server, "SYST"), c.SystSent);
        EXPECT_FALSE(FRecorder->HasLog("HELP")) << "HELP stays out of the log";
        EXPECT_FALSE(FRecorder->HasLogContaining("214")) << "and so does its reply";
        EXPECT_TRUE(FRecorder->HasLog(std::string("\r\nServer Type: ") + ServerTypeName(c.Type)));
    }
}

// A second connection logs on only with data the first has proven: it waits for the first
// one's login, goes on when that succeeded, and never reaches its server otherwise.
TEST_F(EngineLoginTest, ALoginOrderedAfterAnotherGoesOnOnlyWhenThatOneSucceeded)
{
    const auto ordered = [](TScriptedServer &firstServer, TScriptedServer &secondServer, TFTPComponent &first,
                            TFTPComponent &second) {
        auto gate = std::make_shared<TLogonGate>();
        // The follower is started first: only the gate holds it back.
        second.WaitForLogonOf(gate);
        StartLogin(second, secondServer);
        first.AnnounceLogonTo(gate);
        StartLogin(first, firstServer);
    };
    {
        TScriptedServer firstServer(TServerScript()
                                        .Reply("220 Scripted server ready")
                                        .Answer("USER joe", "331 Password required for joe")
                                        .Answer("PASS secret", "530 Login incorrect")
                                        .Hang());
        TScriptedServer secondServer(LoggedInScript().Hang());
        TFTPComponent first;
        TFTPComponent second;
        TEngineRecorder firstLog(first);
        TEngineRecorder secondLog(second);
        ordered(firstServer, secondServer, first, second);
        ASSERT_TRUE(secondLog.WaitFor("CantLogIn")) << testing::PrintToString(secondLog.Outline());
        EXPECT_TRUE(firstLog.WaitFor("CantLogIn"));
        EXPECT_THAT(secondServer.ReceivedCommands(), IsEmpty()) << "one refusal, not two";
        EXPECT_FALSE(second.LoggedIn());
    }
    {
        TScriptedServer firstServer(LoggedInScript().Hang());
        TScriptedServer secondServer(LoggedInScript().Hang());
        TFTPComponent first;
        TFTPComponent second;
        TEngineRecorder secondLog(second);
        ordered(firstServer, secondServer, first, second);
        ASSERT_TRUE(secondLog.WaitFor("LoggedIn")) << testing::PrintToString(secondLog.Outline());
        EXPECT_TRUE(first.LoggedIn()) << "heard before the follower even connected";
        EXPECT_THAT(secondServer.ReceivedCommands(), Contains("PASS secret"));
    }
    // A login dropped before it runs closes its gate; a follower still waiting when its
    // engine goes does not hold the engine up.
    auto dropped = std::make_shared<TLogonGate>();
    {
        TFTPComponent never;
        never.AnnounceLogonTo(dropped);
    }
    EXPECT_FALSE(dropped->Wait(nullptr));
    TScriptedServer unused(LoggedInScript().Hang());
    {
        TFTPComponent waiting;
        waiting.WaitForLogonOf(std::make_shared<TLogonGate>());
        StartLogin(waiting, unused);
    }
    EXPECT_THAT(unused.ReceivedCommands(), IsEmpty());
}

TEST_F(EngineLoginTest, ChosenServerTypeSkipsDetection)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Serv-U FTP ready")
                               .Answer("USER joe", "331 Password")
                               .Answer("PASS secret", "230 In")
                               .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                               .Answer("REST 0", "350 ok")
                               .Hang());
    TFTPComponent engine;
    engine.SetServerType(17);
    Attach(engine);
    Login(server, engine);
    EXPECT_EQ(engine.ServerType(), 17);
    EXPECT_FALSE(Received(server, "SYST"));
}

TEST_F(EngineLoginTest, RefusedRestartProbeStillReadsBothReplies)
{
    TScriptedServer server(LoggedInScript("502 REST not implemented").Answer("PWD", "257 \"/\"").Hang());
    TFTPComponent engine;
    Attach(engine);
    Login(server, engine);
    EXPECT_FALSE(engine.CanResume());
    EXPECT_TRUE(FRecorder->HasLog("\r\nServer unable to resume broken downloads\r\n"));
    engine.GetCurrentFolder();
    ASSERT_TRUE(FRecorder->WaitFor("FolderReply"));
    EXPECT_EQ(FRecorder->Of("FolderReply")[0].Text, "/") << "the dialogue stays in step";
}

TEST_F(EngineLoginTest, RejectedLoginIsRetriedThenGivenUp)
{
    TFTPComponent::RetryCount = 2;
    TScriptedServer server(TServerScript()
                               .Reply("220 ready")
                               .Answer("USER joe", "331 Password")
                               .Answer("PASS secret", "530 Login incorrect")
                               .AcceptAnother()
                               .Reply("220 ready")
                               .Answer("USER joe", "331 Password")
                               .Answer("PASS secret", "530 Login incorrect")
                               .Hang());
    TFTPComponent engine;
    Attach(engine);
    Login(server, engine, "CantLogIn");
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Connect", "Connect", "Disconnect", "CantLogIn"));
    EXPECT_TRUE(FRecorder->HasLog("Attempting to connect to 127.0.0.1, attempt 2\r\n"));
    EXPECT_TRUE(FRecorder->HasLog("0 seconds delay before retrying..."));
    EXPECT_EQ(LogColor(*FRecorder, "Failed to Log in to Host"), clLogError);
    EXPECT_EQ(server.ControlConnections(), 2);
    EXPECT_FALSE(engine.Connected());
}

TEST_F(EngineLoginTest, RefusedConnectionIsReportedForEachAttempt)
{
    TFTPComponent::RetryCount = 2;
    TFTPComponent engine;
    Attach(engine);
    engine.SetHost("127.0.0.1");
    engine.SetPort(UnusedPort());
    engine.SetUserName("joe");
    engine.Login();
    ASSERT_TRUE(FRecorder->WaitFor("CantLogIn"));
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Error 10061", "Error 10061", "Disconnect", "CantLogIn"));
    EXPECT_EQ(FRecorder->Of("Error")[0].Text, "Connection refused");
}

TEST_F(EngineLoginTest, AbortDuringTheRetryDelayEndsTheLogin)
{
    TFTPComponent::RetryCount = 0; // without end
    TFTPComponent::RetryDelaySeconds = 30;
    TFTPComponent engine;
    Attach(engine);
    engine.SetHost("127.0.0.1");
    engine.SetPort(UnusedPort());
    engine.SetUserName("joe");
    engine.Login();
    ASSERT_TRUE(FRecorder->WaitFor("Error"));
    ASSERT_TRUE(WaitUntil([&] { return FRecorder->HasLog("30 seconds delay before retrying..."); }));
    engine.Abort();
    ASSERT_TRUE(FRecorder->WaitFor("CantLogIn", 1, 5s));
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Error 10061", "Disconnect", "CantLogIn"));
}

TEST_F(EngineLoginTest, FreeingTheEngineDuringALoginMakesNoFurtherAttempt)
{
    TFTPComponent::RetryCount = 3;
    // Bounds how long the engine would wait in each further attempt.
    TFTPComponent::TimeoutMS = 2000;
    TScriptedServer server(TServerScript()
                               .Reply("220 ready")
                               .Expect("USER joe")
                               .AcceptAnother()
                               .Reply("220 ready")
                               .Hang());
    auto engine = std::make_unique<TFTPComponent>();
    Attach(*engine);
    StartLogin(*engine, server);
    ASSERT_TRUE(WaitUntil([&] { return server.ReceivedCommands().size() == 1; }));
    engine.reset();
    EXPECT_EQ(server.ControlConnections(), 1);
}

TEST_F(EngineLoginTest, EmptyUserNameFailsAtOnce)
{
    TScriptedServer server(TServerScript().Reply("220 ready").Hang());
    TFTPComponent engine;
    Attach(engine);
    StartLogin(engine, server, "");
    ASSERT_TRUE(FRecorder->WaitFor("CantLogIn", 1, 3s));
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Disconnect", "CantLogIn"));
    EXPECT_THAT(server.ReceivedCommands(), IsEmpty());
}

TEST_F(EngineLoginTest, LineBreakInTheUserNameEndsTheLogin)
{
    TScriptedServer server(TServerScript().Reply("220 ready").Hang());
    TFTPComponent engine;
    Attach(engine);
    StartLogin(engine, server, "joe\r\nDELE important");
    ASSERT_TRUE(FRecorder->WaitFor("CantLogIn"));
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Connect", "Error 0", "Disconnect", "CantLogIn"));
    EXPECT_THAT(server.ReceivedCommands(), IsEmpty());
}

TEST_F(EngineLoginTest, WelcomeThatIsNotPositiveFailsToConnect)
{
    TScriptedServer server(TServerScript().Reply("421 Too many users").Hang());
    TFTPComponent engine;
    Attach(engine);
    Login(server, engine, "CantLogIn");
    EXPECT_EQ(LogColor(*FRecorder, "Failed to Connect"), clLogError);
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Disconnect", "CantLogIn"));
}

TEST_F(EngineLoginTest, LogoutSendsQuitAndDisconnects)
{
    TScriptedServer server(LoggedInScript().Answer("QUIT", "221 Goodbye").Close());
    TFTPComponent engine;
    Attach(engine);
    Login(server, engine);
    engine.Logout();
    ASSERT_TRUE(FRecorder->WaitFor("Disconnect"));
    EXPECT_FALSE(engine.LoggedIn());
    EXPECT_FALSE(engine.Connected());
    EXPECT_TRUE(Received(server, "QUIT"));
}

TEST_F(EngineLoginTest, HandlerThatThrowsDoesNotStopLaterNotifications)
{
    TScriptedServer server(LoggedInScript().Hang());
    TFTPComponent engine;
    Attach(engine);
    const TScopedConnection throwing =
        engine.OnConnect.Connect([](TFTPComponent *) { throw std::runtime_error("handler failed"); });
    Login(server, engine);
    EXPECT_TRUE(engine.LoggedIn());
}

TEST_F(EngineLoginTest, EngineDeletedByItsOwnHandler)
{
    TScriptedServer server(LoggedInScript().Hang());
    auto engine = std::make_unique<TFTPComponent>();
    Attach(*engine);
    int logLines = 0;
    const TScopedConnection counting =
        engine->OnLog.Connect([&](TFTPComponent *, const std::string &, TColor) { ++logLines; });
    const TScopedConnection deleting = engine->OnConnect.Connect([&](TFTPComponent *) { engine.reset(); });
    StartLogin(*engine, server);
    ASSERT_TRUE(WaitUntil([&] { return !engine; }));
    const int linesAtDeletion = logLines;
    ProcessEventsFor(300ms);
    EXPECT_EQ(logLines, linesAtDeletion) << "nothing is delivered after the engine is gone";
    EXPECT_TRUE(TFTPComponent::Registry().empty());
    EXPECT_FALSE(counting.Connected()) << "the listener was disconnected";
}

// ---- Logging in through a firewall ----

class EngineFirewallTest : public EngineLoginTest
{
protected:
    void FirewallLogin(TScriptedServer &Server, TFTPComponent &Engine, int Type, int HostPort)
    {
        Engine.SetFirewallHost(Server.Host());
        Engine.SetFirewallPort(Server.Port());
        Engine.SetFirewallType(Type);
        Engine.SetFirewallUser("fwuser");
        Engine.SetFirewallPassword("fwpass");
        Engine.SetHost("ftp.example.com");
        Engine.SetPort(HostPort);
        Engine.SetUserName("joe");
        Engine.SetPassword("secret");
        Engine.FirewallLogin();
        ASSERT_TRUE(FRecorder->WaitFor("LoggedIn")) << testing::PrintToString(FRecorder->Outline());
        for (const std::string &line : FRecorder->Logs()) {
            EXPECT_THAT(line, Not(HasSubstr("fwpass")));
            EXPECT_THAT(line, Not(HasSubstr("secret")));
        }
    }
};

TServerScript HostLogin(TServerScript Script)
{
    // The firewall relays the host's welcome as the answer to USER, then its login reply.
    return Script.Reply("220 Host ready")
        .Reply("331 Password required")
        .Answer("PASS secret", "230 In")
        .Answer("SYST", "215 UNIX")
        .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
        .Answer("REST 0", "350 ok")
        .Hang();
}

TEST_F(EngineFirewallTest, SiteCommandAfterFirewallLogin)
{
    TScriptedServer server(HostLogin(TServerScript()
                                         .Reply("220 Firewall")
                                         .Answer("USER fwuser", "331 Firewall password")
                                         .Answer("PASS fwpass", "230 Firewall ok")
                                         .Answer("SITE ftp.example.com:2121", "200 Connected")
                                         .Expect("USER joe")));
    TFTPComponent engine;
    Attach(engine);
    FirewallLogin(server, engine, 0, 2121);
    EXPECT_THAT(server.ReceivedCommands(), ElementsAre("USER fwuser", "PASS fwpass", "SITE ftp.example.com:2121",
                                                       "USER joe", "PASS secret", "SYST", "TYPE I", "REST 100", "REST 0"));
}

TEST_F(EngineFirewallTest, OpenCommandWithoutFirewallLogin)
{
    TScriptedServer server(
        HostLogin(TServerScript().Reply("220 Proxy").Answer("OPEN ftp.example.com", "220 Open").Expect("USER joe")));
    TFTPComponent engine;
    Attach(engine);
    FirewallLogin(server, engine, 1, 21);
    EXPECT_THAT(server.ReceivedCommands(),
                ElementsAre("OPEN ftp.example.com", "USER joe", "PASS secret", "SYST", "TYPE I", "REST 100", "REST 0"));
}

TEST_F(EngineFirewallTest, UserAtHostAfterFirewallLogin)
{
    TScriptedServer server(HostLogin(TServerScript()
                                         .Reply("220 Firewall")
                                         .Answer("USER fwuser", "331 Firewall password")
                                         .Answer("PASS fwpass", "230 Firewall ok")
                                         .Expect("USER joe@ftp.example.com:2121")));
    TFTPComponent engine;
    Attach(engine);
    FirewallLogin(server, engine, 2, 2121);
    EXPECT_EQ(server.ReceivedCommands().at(2), "USER joe@ftp.example.com:2121");
}

TEST_F(EngineFirewallTest, UserAtHostWithoutFirewallLogin)
{
    TScriptedServer server(HostLogin(TServerScript().Reply("220 Proxy").Expect("USER joe@ftp.example.com")));
    TFTPComponent engine;
    Attach(engine);
    FirewallLogin(server, engine, 3, 21);
    EXPECT_EQ(server.ReceivedCommands().at(0), "USER joe@ftp.example.com") << "port 21 is left out";
}

TEST_F(EngineFirewallTest, FirewallThatAnswersUserWithoutTheHostsWelcome)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Proxy")
                               .Answer("USER joe@ftp.example.com:2121", "331 Password required")
                               .Answer("PASS secret", "230 In")
                               .Answer("SYST", "215 UNIX")
                               .Answer("TYPE I", "200 ok")
                         .Answer("REST 100", "350 ok")
                               .Answer("REST 0", "350 ok")
                               .Hang());
    TFTPComponent engine;
    Attach(engine);
    FirewallLogin(server, engine, 3, 2121);
    EXPECT_THAT(FRecorder->Outline(), ElementsAre("Connect", "LoggedIn"));
}

TEST_F(EngineFirewallTest, RejectedFirewallLogin)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Firewall")
                               .Answer("USER fwuser", "331 Firewall password")
                               .Answer("PASS fwpass", "530 No")
                               .Hang());
    TFTPComponent engine;
    Attach(engine);
    engine.SetFirewallHost(server.Host());
    engine.SetFirewallPort(server.Port());
    engine.SetFirewallUser("fwuser");
    engine.SetFirewallPassword("fwpass");
    engine.SetHost("ftp.example.com");
    engine.SetUserName("joe");
    engine.FirewallLogin();
    ASSERT_TRUE(FRecorder->WaitFor("CantLogIn"));
    EXPECT_EQ(LogColor(*FRecorder, "Failed to Log in to Firewall"), clLogError);
}
