// Data connections, transfers, folder and file commands, the command queue and the
// keep-alive against a scripted server.

#include "tests/engine/ScriptedEngine.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstring>
#include <tuple>

using namespace std::chrono_literals;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::StartsWith;

namespace {

QByteArray ReadFile(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString &Path, const QByteArray &Content)
{
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(Content);
}

const char *const TwoEntries = "-rw-r--r--   1 user     group        1234 Jan 02  2020 a file.txt\r\n"
                               "drwxr-xr-x   2 user     group        4096 Dec 08 14:18 sub\r\n";

std::vector<std::string> Phases(const TEngineRecorder &Recorder)
{
    std::vector<std::string> phases;
    for (const TRecordedEvent &e : Recorder.Of("Progress"))
        phases.push_back(e.Text + ":" + std::to_string(e.Number) + (e.Flag ? "" : " list"));
    return phases;
}

} // namespace

// ---- Listing and data connections ----

class EngineDataTest : public EngineScriptedBase
{
};

TEST_F(EngineDataTest, ListingThroughPassiveModeReachesTheOwner)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("LIST", "150 Here comes the directory listing")
              .DataSend(TwoEntries)
              .DataClose()
              .Reply("226 Directory send OK")
              .Passive()
              .Answer("LIST *.txt", "150 Here it comes")
              .DataSend("")
              .DataClose()
              .Reply("226 Done")
              .Hang());
    Engine().SetPassive(true);
    Engine().List("/pub", "*.*");
    Engine().List("/pub", "*.txt");
    ASSERT_TRUE(Recorder().WaitFor("ProcessList", 2));

    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PASV", "LIST", "PASV", "LIST *.txt"));
    const TRecordedEvent listing = Recorder().Of("ProcessList")[0];
    EXPECT_EQ(listing.Text, "/pub");
    ASSERT_EQ(listing.List.size(), 2u);
    EXPECT_EQ(listing.List[0].Name, "a file.txt");
    EXPECT_EQ(listing.List[0].Entry.Size, 1234);
    EXPECT_TRUE(listing.List[1].Entry.IsFolder());
    EXPECT_TRUE(Recorder().Of("ProcessList")[1].List.empty());
    const std::string size = std::to_string(std::strlen(TwoEntries));
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:0 list", "2:" + size + " list", "0:0 list", "2:0 list"));
    EXPECT_TRUE(Recorder().HasLogContaining("Transferred " + size + " bytes in "));
    EXPECT_TRUE(Engine().Passive());
}

TEST_F(EngineDataTest, NameWithAZeroByteIsDroppedAndEveryOtherLineKept)
{
    const std::string line = "-rw-r--r--   1 user     group           5 Jan 02  2020 ";
    const std::string listing = line + "before.txt\r\n" + line + std::string("evil\0nul", 8) + "\r\n" + line
        + "after.txt\r\n";
    LogIn(LoggedInScript()
              .Passive()
              .Answer("LIST", "150 Here")
              .DataSend(listing)
              .DataClose()
              .Reply("226 Done")
              .Hang());
    Engine().SetPassive(true);
    Engine().List("/", "");
    ASSERT_TRUE(Recorder().WaitFor("ProcessList"));
    const TDirListing list = Recorder().Of("ProcessList")[0].List;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name, "before.txt");
    EXPECT_EQ(list[1].Name, "after.txt");
    const std::string message = "Skipped the listed name \"evil\\0nul\": it holds a zero byte";
    ASSERT_TRUE(Recorder().HasLog(message)) << testing::PrintToString(Recorder().Logs());
}

TEST_F(EngineDataTest, PassiveReplyLayouts)
{
    struct TCase
    {
        const char *Reply;
        bool Usable;
        const char *Note; // part of an extra black log line, or nullptr
    };
    const TCase cases[] = {
        {"227 Entering Passive Mode ({addr},{port}).", true, nullptr},
        {"227 Entering Passive Mode {addr},{port}.", true, nullptr},
        {"227 Entering Passive Mode (10,9,8,7,{port})", true, "10.9.8.7"},
        {"227 Entering Passive Mode {addr},{port}", false, nullptr},
        {"227 Entering Passive Mode =10,9,8,7,{port})", false, nullptr},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Reply);
        TServerScript script = LoggedInScript().Passive(c.Reply);
        if (c.Usable)
            script.Answer("LIST", "150 Here").DataSend(TwoEntries).DataClose().Reply("226 Done");
        script.Answer("PWD", "257 \"/\"").Hang();
        LogIn(script);
        Engine().SetPassive(true);
        Engine().List("/", "");
        Engine().GetCurrentFolder();
        ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
        if (c.Usable) {
            EXPECT_THAT(Recorder().Outline(), ElementsAre("ProcessList", "FolderReply"));
            EXPECT_EQ(Recorder().Of("ProcessList")[0].List.size(), 2u);
        } else {
            EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0", "FolderReply"));
            EXPECT_EQ(Recorder().Of("Error")[0].Text, "Unable to complete transfer");
            EXPECT_TRUE(Recorder().HasLog("Illegal response from server"));
        }
        if (c.Note) {
            EXPECT_TRUE(Recorder().HasLogContaining(c.Note));
            EXPECT_TRUE(Recorder().HasLogContaining("127.0.0.1"));
        }
        TearDown();
        SetUp();
    }
}

TEST_F(EngineDataTest, PassiveRejectedWith500FallsBackToActive)
{
    LogIn(LoggedInScript()
              .Answer("PASV", "500 PASV not understood")
              .Active()
              .Answer("LIST", "150 Here")
              .DataSend(TwoEntries)
              .DataClose()
              .Reply("226 Done")
              .Active()
              .Answer("LIST", "150 Here")
              .DataSend("")
              .DataClose()
              .Reply("226 Done")
              .Hang());
    Engine().SetPassive(true);
    Engine().List("/", "");
    Engine().List("/", "");
    ASSERT_TRUE(Recorder().WaitFor("ProcessList", 2)) << testing::PrintToString(Recorder().Logs())
                                                       << testing::PrintToString(Server().Failures());
    EXPECT_TRUE(Recorder().HasLog("Server does not support passive (PASV) mode, using active mode instead..."));
    EXPECT_FALSE(Engine().Passive()) << "passive mode stays off for this engine";
    const std::vector<std::string> commands = CommandsAfterLogin(Server());
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0], "PASV");
    EXPECT_THAT(commands[1], StartsWith("PORT 127,0,0,1,"));
    EXPECT_THAT(commands[3], StartsWith("PORT 127,0,0,1,"));
    EXPECT_EQ(Recorder().Of("ProcessList")[0].List.size(), 2u);
}

TEST_F(EngineDataTest, ListingFailsWithoutAParserForTheServerType)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("LIST", "150 Here")
              .DataSend(TwoEntries)
              .DataClose()
              .Reply("226 Done")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().SetPassive(true);
    Engine().SetServerType(1); // "Not Relevant"
    Engine().List("/", "");
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_EQ(Recorder().Count("ProcessList"), 0);
    EXPECT_EQ(Recorder().Count("Error"), 0);
}

// ---- Downloads and uploads ----

class EngineTransferTest : public EngineScriptedBase
{
};

TEST_F(EngineTransferTest, DownloadAnnouncesTheSizeTheReplyNames)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR data.bin", "150 Opening BINARY mode data connection for data.bin (11 bytes).")
              .DataSend("hello world")
              .DataClose()
              .Reply("226 Transfer complete.")
              .Passive()
              .Answer("RETR other.bin", "150 Opening BINARY mode data connection.")
              .DataSend("x")
              .DataClose()
              .Reply("226 Transfer complete.")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("data.bin", LocalPath("data.bin"), ttBinary);
    Engine().Download("other.bin", LocalPath("other.bin"), ttBinary);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() == 4; }));

    EXPECT_THAT(CommandsAfterLogin(Server()),
                ElementsAre("PASV", "RETR data.bin", "PASV", "RETR other.bin"))
        << "the login left the server in binary mode";
    ASSERT_EQ(Recorder().Count("UpdateFileSize"), 1);
    EXPECT_EQ(Recorder().Of("UpdateFileSize")[0].Text, LocalPath("data.bin").toStdString());
    EXPECT_EQ(Recorder().Of("UpdateFileSize")[0].Number, 11);
    const auto &events = Recorder().Events;
    const auto kindAt = [&](const std::string &kind) {
        return std::find_if(events.begin(), events.end(), [&](const TRecordedEvent &e) { return e.Kind == kind; });
    };
    EXPECT_LT(kindAt("UpdateFileSize"), kindAt("Progress")) << "announced before any data";
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:0", "2:11", "0:0", "2:1"));
    EXPECT_EQ(ReadFile(LocalPath("data.bin")), "hello world");
    EXPECT_EQ(ReadFile(LocalPath("other.bin")), "x");
    EXPECT_TRUE(Recorder().HasLogContaining("Transferred 11 bytes in "));
    EXPECT_EQ(Recorder().Count("Error"), 0);
}

TEST_F(EngineTransferTest, ProgressComesAtMostEvery700Milliseconds)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR slow", "150 ok")
              .DataSend("a")
              .Pause(100ms)
              .DataSend("b")
              .Pause(800ms)
              .DataSend("c")
              .DataClose()
              .Reply("226 ok")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("slow", LocalPath("slow"), ttBinary);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() >= 3 && Phases(Recorder()).back() == "2:3"; }));
    const std::vector<std::string> phases = Phases(Recorder());
    EXPECT_EQ(phases.front(), "0:0");
    EXPECT_THAT(phases, Contains("1:3")) << "the block after the pause is reported";
    EXPECT_LE(phases.size(), 4u) << "never a report per block";
}

TEST_F(EngineTransferTest, TypeIsSentOnlyWhenItChanges)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR a", "150 ok")
              .DataSend("")
              .DataClose()
              .Reply("226 ok")
              .Answer("TYPE A", "200 ASCII")
              .Passive()
              .Answer("RETR b", "150 ok")
              .DataSend("")
              .DataClose()
              .Reply("226 ok")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("a", LocalPath("a"), ttAuto);
    Engine().Download("b", LocalPath("b"), ttASCII);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() == 4; }));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PASV", "RETR a", "TYPE A", "PASV", "RETR b"))
        << "Auto on a fresh worker sends no TYPE";
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:0", "2:0", "0:0", "2:0"));
    EXPECT_TRUE(Recorder().HasLogContaining("Transferred 0 bytes in "));
    EXPECT_EQ(ReadFile(LocalPath("a")), "");
}

TEST_F(EngineTransferTest, NewConnectionSendsTheTypeAgain)
{
    LogIn(LoggedInScript()
              .Answer("TYPE A", "200 ASCII")
              .Answer("QUIT", "221 Goodbye")
              .AcceptAnother()
              .Reply("220 ready")
              .Answer("USER joe", "331 Password")
              .Answer("PASS secret", "230 In")
              .Answer("TYPE I", "200 Binary")
              .Answer("REST 100", "350 ok")
              .Answer("REST 0", "350 ok")
              .Answer("TYPE A", "200 ASCII")
              .Passive()
              .Answer("RETR b", "150 ok")
              .DataSend("")
              .DataClose()
              .Reply("226 ok")
              .Hang());
    Engine().SetPassive(true);
    Engine().AddCommand(TSetTypeCommand{ttASCII});
    ASSERT_TRUE(WaitForCommand(Server(), "TYPE A"));
    ASSERT_TRUE(WaitUntil([&] { return !Engine().Busy(); }));
    Engine().Logout();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    Engine().Login();
    ASSERT_TRUE(Recorder().WaitFor("LoggedIn"));
    Engine().Download("b", LocalPath("b"), ttASCII);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() == 2; }));
    EXPECT_TRUE(Received(Server(), "RETR b")) << "ASCII is selected again on the new connection";
    EXPECT_EQ(Server().ReceivedCommands().end()[-3], "TYPE A");
}

TEST_F(EngineTransferTest, ResumedDownloadContinuesAtTheOffset)
{
    WriteFile(LocalPath("f"), "abcXYZ");
    LogIn(LoggedInScript()
              .Passive()
              .Answer("REST 3", "350 Restarting at 3")
              .Answer("RETR f", "150 ok")
              .DataSend("def")
              .DataClose()
              .Reply("226 ok")
              .Hang());
    Engine().SetPassive(true);
    Engine().ResumeDownload("f", LocalPath("f"), 3, ttBinary);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() == 2; }));
    EXPECT_EQ(ReadFile(LocalPath("f")), "abcdef") << "what followed the offset is replaced";
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:3", "2:6"));
    EXPECT_TRUE(Recorder().HasLogContaining("Transferred 6 bytes in "));
}

TEST_F(EngineTransferTest, RefusedRestartSendsNoDataCommand)
{
    WriteFile(LocalPath("f"), "abc");
    LogIn(LoggedInScript()
              .Passive()
              .Answer("REST 3", "502 REST not implemented")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().SetPassive(true);
    Engine().ResumeDownload("f", LocalPath("f"), 3, ttBinary);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0", "FolderReply"));
    EXPECT_FALSE(Received(Server(), "RETR f"));
    EXPECT_EQ(ReadFile(LocalPath("f")), "abc");
}

TEST_F(EngineTransferTest, ResumeWithoutRestartSupportStartsFromZero)
{
    WriteFile(LocalPath("f"), "old content");
    LogIn(LoggedInScript("502 REST not implemented")
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("new")
              .DataClose()
              .Reply("226 ok")
              .Hang());
    Engine().SetPassive(true);
    Engine().ResumeDownload("f", LocalPath("f"), 1000, ttBinary);
    ASSERT_TRUE(WaitUntil([&] { return Phases(Recorder()).size() == 2; }));
    EXPECT_EQ(ReadFile(LocalPath("f")), "new");
    EXPECT_FALSE(Received(Server(), "REST 1000"));
}

TEST_F(EngineTransferTest, UploadsAreCheckedAgainstTheServersSize)
{
    WriteFile(LocalPath("up.bin"), "0123456789");
    LogIn(LoggedInScript()
              .Passive()
              .Answer("STOR up.bin", "150 Ok to send data.")
              .DataReceive()
              .Reply("226 Transfer complete.")
              .Answer("SIZE up.bin", "213 10")
              .Passive()
              .Answer("REST 4", "350 Restart position accepted (4).")
              .Answer("STOR up.bin", "150 Ok to send data.")
              .DataReceive()
              .Reply("226 Transfer complete.")
              .Answer("SIZE up.bin", "213 7")
              .Passive()
              .Answer("STOR up.bin", "150 Ok to send data.")
              .DataReceive()
              .Reply("226 Transfer complete.")
              .Answer("SIZE up.bin", "550 Could not get file size.")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().SetPassive(true);
    Engine().Upload(LocalPath("up.bin"), "up.bin", ttBinary);
    Engine().ResumeUpload(LocalPath("up.bin"), "up.bin", 4, ttBinary);
    Engine().Upload(LocalPath("up.bin"), "up.bin", ttBinary);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Server().Failures(), IsEmpty());
    EXPECT_THAT(Server().DataReceived(), ElementsAre("0123456789", "456789", "0123456789"));
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:0", "2:10", "0:4", "2:10", "0:0", "2:10"));
    EXPECT_EQ(Recorder().Count("UpdateFileSize"), 0) << "uploads announce nothing";
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0", "FolderReply"))
        << "only the upload the server holds 7 bytes of fails";
    EXPECT_TRUE(Recorder().HasLog("The server holds 7 bytes of the 10 sent"));
    const std::vector<std::string> logs = Recorder().Logs();
    EXPECT_EQ(std::count_if(logs.begin(), logs.end(),
                            [](const std::string &line) { return line.rfind("Transferred ", 0) == 0; }),
              2);
    EXPECT_FALSE(Recorder().HasLogContaining("SIZE")) << "the check stays out of the log";
}

// A server that drops the data connection with a reset and still replies 226.
TEST_F(EngineTransferTest, TransfersCutShortAreFailures)
{
    const std::string whole(200000, 'x');
    // Small enough to leave the client at once, so the reset finds it in the buffers.
    WriteFile(LocalPath("up.bin"), QByteArray(30000, 'y'));
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR reset.bin", "150 ok")
              .DataSend(whole)
              .DataReset()
              .Reply("226 Transfer complete.")
              .Passive()
              .Answer("RETR short.bin", "150 Opening BINARY mode data connection for short.bin (11 bytes).")
              .DataSend("hello")
              .DataClose()
              .Reply("226 Transfer complete.")
              .Passive()
              .Answer("STOR up.bin", "150 Ok to send data.")
              .DataReceivePart(1000)
              .DataReset()
              .Reply("226 Transfer complete.")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("reset.bin", LocalPath("reset.bin"), ttBinary);
    Engine().Download("short.bin", LocalPath("short.bin"), ttBinary);
    Engine().Upload(LocalPath("up.bin"), "up.bin", ttBinary);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Server().Failures(), IsEmpty());
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10054", "Error 0", "UpdateFileSize", "Error 0",
                                                  "Error 10054", "Error 0", "FolderReply"));
    EXPECT_FALSE(Recorder().HasLogContaining("Transferred"));
    EXPECT_TRUE(Recorder().HasLog("The data connection ended after 5 of 11 bytes"));
    EXPECT_EQ(ReadFile(LocalPath("short.bin")), "hello") << "kept for a later resume";
    EXPECT_LE(ReadFile(LocalPath("reset.bin")).size(), whole.size());
    EXPECT_FALSE(Received(Server(), "SIZE up.bin")) << "a failed upload needs no check";
}

// Text (TYPE A) transfers: CR LF on the wire, LF in the file, a lone CR kept, even
// where a CR ends one network block and its LF starts the next.
TEST_F(EngineTransferTest, TextTransfersChangeLineEndsAndTravelWhole)
{
    WriteFile(LocalPath("notes.txt"), "one\ntwo\rthree\n");
    WriteFile(LocalPath("resume.txt"), "ab");
    LogIn(LoggedInScript()
              .Answer("TYPE A", "200 Switching to ASCII mode.")
              .Passive()
              .Answer("RETR page.htm", "150 Opening ASCII mode data connection for page.htm (9 bytes).")
              .DataSend("a\r\nb\r")
              .Pause(300ms)
              .DataSend("\nc\rd\r")
              .DataClose()
              .Reply("226 Transfer complete.")
              .Passive()
              .Answer("RETR resume.txt", "150 ok")
              .DataSend("abc\r\n")
              .DataClose()
              .Reply("226 Transfer complete.")
              .Passive()
              .Answer("STOR notes.txt", "150 Ok to send data.")
              .DataReceive()
              .Reply("226 Transfer complete.")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("page.htm", LocalPath("page.htm"), ttASCII);
    Engine().ResumeDownload("resume.txt", LocalPath("resume.txt"), 2, ttASCII);
    Engine().ResumeUpload(LocalPath("notes.txt"), "notes.txt", 3, ttASCII);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Server().Failures(), IsEmpty());
    EXPECT_EQ(ReadFile(LocalPath("page.htm")), "a\nb\nc\rd\r") << "a CR at the very end stays";
    EXPECT_EQ(ReadFile(LocalPath("resume.txt")), "abc\n") << "transferred whole, not resumed";
    EXPECT_THAT(Server().DataReceived(), ElementsAre("one\r\ntwo\rthree\r\n"));
    EXPECT_FALSE(Received(Server(), "REST 2"));
    EXPECT_FALSE(Received(Server(), "REST 3"));
    EXPECT_THAT(Phases(Recorder()), ElementsAre("0:0", "2:8", "0:0", "2:4", "0:0", "2:14"))
        << "counted in the local file's bytes";
    EXPECT_EQ(Recorder().Count("Error"), 0) << "a text download may differ from the announced size";
}

TEST_F(EngineTransferTest, NegativeFinalReplyIsNoSuccess)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("partial")
              .DataReset()
              .Reply("426 Connection closed; transfer aborted.")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("f", LocalPath("f"), ttBinary);
    // The lost data connection and the refusal come one after the other.
    ASSERT_TRUE(Recorder().WaitFor("Error", 2));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10054", "Error 0"));
    EXPECT_EQ(Recorder().Of("Error")[1].Text, "Unable to complete transfer");
    EXPECT_FALSE(Recorder().HasLogContaining("Transferred")) << "no statistics for a failed transfer";
    EXPECT_EQ(Phases(Recorder()).back(), "2:7");
    EXPECT_EQ(ReadFile(LocalPath("f")), "partial") << "kept for a later resume";
}

TEST_F(EngineTransferTest, ServerClosingDuringATransferKeepsThePartialFile)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("partial")
              .DataClose()
              .Close());
    Engine().SetPassive(true);
    Engine().Download("f", LocalPath("f"), ttBinary);
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 10054", "Disconnect"));
    EXPECT_FALSE(Recorder().HasLogContaining("Transferred"));
    EXPECT_EQ(ReadFile(LocalPath("f")), "partial");
}

TEST_F(EngineTransferTest, AbortDuringATransferSendsAborAndTheDialogueGoesOn)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("first block")
              .Expect("ABOR")
              .Reply("426 Transfer aborted.")
              .Reply("226 ABOR successful.")
              .Answer("PWD", "257 \"/\" is current")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("f", LocalPath("f"), ttBinary);
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(LocalPath("f")) == "first block"; }));
    Engine().Abort();
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Abort", "Error 0", "FolderReply"));
    EXPECT_TRUE(Recorder().Of("FolderReply")[0].Flag) << "the reply after ABOR belongs to the transfer";
    EXPECT_FALSE(Recorder().HasLogContaining("Transferred")) << "an aborted transfer is no success";
    EXPECT_EQ(ReadFile(LocalPath("f")), "first block");
}

TEST_F(EngineTransferTest, DataConnectionThatStallsTimesOut)
{
    TFTPComponent::TimeoutMS = 800;
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("some")
              .Expect("ABOR")
              .Reply("426 Transfer aborted.")
              .Reply("226 ABOR successful.")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("f", LocalPath("f"), ttBinary);
    ASSERT_TRUE(Recorder().WaitFor("Error"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Abort", "Error 0"));
    EXPECT_TRUE(Engine().Connected());
}

TEST_F(EngineTransferTest, FrozenServerHoldsTheUserForAboutOneTimeOut)
{
    // The server stops answering on both connections. The stall costs one time-out;
    // ABOR, the transfer's final reply and QUIT only a short wait each. Waits end
    // only after their time, so the lower bound holds on any machine.
    constexpr qint64 TimeOut = 4000;
    TFTPComponent::TimeoutMS = int(TimeOut);
    LogIn(LoggedInScript().Passive().Answer("RETR f", "150 ok").DataSend("some").Hang());
    Engine().SetPassive(true);
    const auto transferFailed = [&] {
        for (const TRecordedEvent &e : Recorder().Of("Error"))
            if (e.Text == "Unable to complete transfer")
                return true;
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    Engine().Download("f", LocalPath("f"), ttBinary);
    ASSERT_TRUE(WaitUntil(transferFailed, 60s));
    const qint64 transfer = clock.restart();
    EXPECT_GE(transfer, TimeOut);
    EXPECT_LT(transfer, TimeOut * 5 / 2) << "stall, ABOR and final reply took " << transfer << " ms";

    // A command of its own is no clean-up: it waits the whole time-out again.
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 1, 60s));
    EXPECT_GE(clock.restart(), TimeOut);

    Engine().AddCommand(TLogoutCommand{});
    ASSERT_TRUE(Recorder().WaitFor("Disconnect", 1, 60s));
    EXPECT_LT(clock.elapsed(), TimeOut * 3 / 4) << "QUIT after a time-out";
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PASV", "RETR f", "ABOR", "PWD", "QUIT"));
}

TEST_F(EngineTransferTest, RefusedDataCommandReportsOneError)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR missing", "550 Failed to open file.")
              .Hang());
    Engine().SetPassive(true);
    Engine().Download("missing", LocalPath("missing"), ttBinary);
    ASSERT_TRUE(Recorder().WaitFor("Error"));
    ProcessEventsFor(100ms);
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0"));
    EXPECT_TRUE(Phases(Recorder()).empty());
}

TEST_F(EngineTransferTest, LocalFilesThatCannotBeUsedEndOnlyTheirCommand)
{
    const QString folderAsFile = LocalPath("folder");
    ASSERT_TRUE(QDir().mkpath(folderAsFile));
    // A download makes its file while the server answers PASV: the transfer itself is
    // never asked for.
    LogIn(LoggedInScript().Passive().Passive().Answer("PWD", "257 \"/\"").Hang());
    Engine().SetPassive(true);
    Engine().Download("x", LocalPath("no/such/folder/x"), ttBinary);
    Engine().Download("x", folderAsFile, ttBinary);
    Engine().Upload(LocalPath("missing.bin"), "x", ttBinary);
    Engine().Download("x\r\nDELE y", LocalPath("line-break.bin"), ttBinary);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0", "Error 0", "Error 0", "Error 0", "FolderReply"));
    EXPECT_THAT(Recorder().Of("Error")[0].Text, StartsWith("Unable to open local file \""));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PASV", "PASV", "PWD"));
    EXPECT_FALSE(QFile::exists(LocalPath("line-break.bin"))) << "refused before anything is created";
}

TEST_F(EngineTransferTest, UnsafeLocalNamesAreRefused)
{
    LogIn(LoggedInScript().Answer("PWD", "257 \"/\"").Hang());
    Engine().Download("x", LocalPath(".."), ttBinary);
    Engine().Download("x", LocalPath("sub/../../escape"), ttBinary);
    Engine().Download("x", LocalPath("") + "/", ttBinary);
    Engine().Download("x", LocalPath("."), ttBinary);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Error 0", "Error 0", "Error 0", "Error 0", "FolderReply"));
    EXPECT_THAT(Recorder().Of("Error")[1].Text, HasSubstr("unsafe name"));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PWD"));
    EXPECT_FALSE(QFile::exists(FFolder.filePath("../escape")));
}

// ---- Folder and file commands ----

class EngineFolderTest : public EngineScriptedBase
{
};

TEST_F(EngineFolderTest, FolderCommandsReportTheQuotedFolder)
{
    LogIn(LoggedInScript()
              .Answer("MKD new", "500 MKD not understood")
              .Answer("XMKD new", "257 \"/new\" created")
              .Answer("PWD", "257 \"/with \"\"quote\"\"\" is current directory")
              .Answer("RMD old", "250 Remove directory operation successful.")
              .Answer("CWD missing", "550 Failed to change directory.")
              .Answer("RMD gone", "502 RMD not implemented")
              .Answer("XRMD gone", "550 No such folder")
              .Hang());
    Engine().CreateFolder("new");
    Engine().GetCurrentFolder();
    Engine().RemoveFolder("old");
    Engine().SetCurrentFolder("missing");
    Engine().RemoveFolder("gone");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 5));
    std::vector<std::tuple<std::string, std::int64_t, bool>> replies;
    for (const TRecordedEvent &e : Recorder().Of("FolderReply"))
        replies.emplace_back(e.Text, e.Number, e.Flag);
    EXPECT_THAT(replies, ElementsAre(std::make_tuple("/new", frCreate, true),
                                     std::make_tuple("/with \"quote\"", frCurrent, true),
                                     std::make_tuple("", frRemove, true), std::make_tuple("", frChange, false),
                                     std::make_tuple("", frRemove, false)));
    EXPECT_FALSE(Received(Server(), "XCWD missing"));
}

TEST_F(EngineFolderTest, RenameDeleteAndPermissions)
{
    LogIn(LoggedInScript()
              .Answer("RNFR a", "550 No such file")
              .Answer("RNFR b", "350 Ready for RNTO.")
              .Answer("RNTO c", "250 Rename successful.")
              .Answer("DELE d", "250 Delete operation successful.")
              .Answer("SITE CHMOD 755 e", "500 Unknown SITE command.")
              .Answer("CHMOD 755 e", "200 Mode changed.")
              .Answer("SITE CHMOD 600 f", "200 SITE CHMOD command ok.")
              .Answer("PWD", "257 \"/\"")
              .Hang());
    Engine().Rename("a", "z");
    Engine().Rename("b", "c");
    Engine().Delete("d");
    Engine().ChangeAttributes("e", faOwnerRead | faOwnerWrite | faOwnerExecute | faGroupRead | faGroupExecute |
                                       faOtherRead | faOtherExecute | faFolder);
    Engine().ChangeAttributes("f", faOwnerRead | faOwnerWrite);
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("RNFR a", "RNFR b", "RNTO c", "DELE d", "SITE CHMOD 755 e",
                                                          "CHMOD 755 e", "SITE CHMOD 600 f", "PWD"));
    ASSERT_EQ(Recorder().Count("RenameSuccessful"), 1);
    EXPECT_EQ(Recorder().Of("RenameSuccessful")[0].Text, "b");
    EXPECT_EQ(Recorder().Of("RenameSuccessful")[0].Text2, "c");
}

TEST_F(EngineFolderTest, KeepAliveNoOpStaysOutOfTheLog)
{
    LogIn(LoggedInScript().Answer("NOOP", "200 NOOP ok.").Answer("PWD", "257 \"/\"").Hang());
    Engine().NoOp();
    Engine().GetCurrentFolder();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));
    EXPECT_TRUE(Received(Server(), "NOOP"));
    EXPECT_THAT(Recorder().Logs(), ElementsAre("PWD", "257 \"/\""));
}

// ---- The command queue and the keep-alive timer ----

class EngineQueueTest : public EngineScriptedBase
{
};

TEST_F(EngineQueueTest, ClearCommandsLetsTheRunningCommandFinish)
{
    LogIn(LoggedInScript()
              .Expect("PWD")
              .Pause(500ms)
              .Reply("257 \"/\" is current")
              .Answer("MKD c", "257 \"/c\" created")
              .Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(WaitUntil([&] { return Engine().Busy(); }));
    Engine().SetCurrentFolder("a");
    Engine().SetCurrentFolder("b");
    Engine().ClearCommands();
    EXPECT_FALSE(Engine().Busy()) << "the flush waits for the running command";
    Engine().CreateFolder("c");
    ASSERT_TRUE(Recorder().WaitFor("FolderReply", 2));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PWD", "MKD c"));
}

TEST_F(EngineQueueTest, LogoutDuringATransferAbortsFlushesAndQuits)
{
    LogIn(LoggedInScript()
              .Passive()
              .Answer("RETR f", "150 ok")
              .DataSend("abc")
              .Expect("ABOR")
              .Reply("426 Transfer aborted.")
              .Reply("226 ABOR successful.")
              .Answer("QUIT", "221 Goodbye.")
              .Close());
    Engine().SetPassive(true);
    Engine().Download("f", LocalPath("f"), ttBinary);
    Engine().NoOp();
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(LocalPath("f")) == "abc"; }));
    Engine().Logout();
    ASSERT_TRUE(Recorder().WaitFor("Disconnect"));
    EXPECT_THAT(Recorder().Outline(), ElementsAre("Abort", "Error 0", "Disconnect"));
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PASV", "RETR f", "ABOR", "QUIT"));
    EXPECT_FALSE(Engine().LoggedIn());
}

TEST_F(EngineQueueTest, KeepAliveSendsNoOpOnTheFourthIdleTick)
{
    LogIn(LoggedInScript().Answer("NOOP", "200 NOOP ok.").Hang());
    TFTPComponent::KeepAlive = false;
    for (int tick = 0; tick < 4; ++tick)
        TFTPComponent::KeepAliveTick();
    EXPECT_EQ(Engine().IdleSeconds(), 0) << "nothing counts while keep-alive is off";

    TFTPComponent::KeepAlive = true;
    for (int tick = 0; tick < 3; ++tick)
        TFTPComponent::KeepAliveTick();
    ProcessEventsFor(200ms);
    EXPECT_FALSE(Received(Server(), "NOOP"));
    EXPECT_EQ(Engine().IdleSeconds(), 30);
    TFTPComponent::KeepAliveTick();
    EXPECT_EQ(Engine().IdleSeconds(), 0) << "the queued NoOp starts the count again";
    ASSERT_TRUE(WaitForCommand(Server(), "NOOP"));
    EXPECT_TRUE(Recorder().Logs().empty());
}

TEST_F(EngineQueueTest, KeepAliveLeavesBusyAndLoggedOutEnginesAlone)
{
    LogIn(LoggedInScript().Expect("PWD").Pause(1500ms).Reply("257 \"/\"").Hang());
    Engine().GetCurrentFolder();
    ASSERT_TRUE(WaitUntil([&] { return Engine().Busy(); }));
    for (int tick = 0; tick < 5; ++tick)
        TFTPComponent::KeepAliveTick();
    ASSERT_TRUE(Recorder().WaitFor("FolderReply"));

    TFTPComponent idle; // never logged in
    for (int tick = 0; tick < 5; ++tick)
        TFTPComponent::KeepAliveTick();
    ProcessEventsFor(200ms);
    EXPECT_EQ(idle.IdleSeconds(), 50);
    EXPECT_THAT(CommandsAfterLogin(Server()), ElementsAre("PWD", "NOOP"))
        << "one NOOP, after the busy command ended";
}
