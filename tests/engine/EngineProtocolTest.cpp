// The plain pieces under the engine: splitting reply lines, reading and writing the
// protocol's texts, error texts, and the worker's command queue.

#include "engine/CommandQueue.h"
#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/ReplyReader.h"
#include "engine/Sockets.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLocale>

#include <arpa/inet.h>
#include <netdb.h>

#include <cerrno>

#include <thread>

using namespace std::chrono_literals;
using testing::ElementsAre;

namespace {

std::vector<std::string> Lines(TReplyBuffer &Buffer)
{
    std::vector<std::string> lines;
    std::string line;
    while (Buffer.ExtractLine(line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> LinesOf(std::initializer_list<std::string> Pieces)
{
    TReplyBuffer buffer;
    std::vector<std::string> lines;
    for (const std::string &piece : Pieces) {
        buffer.Append(piece.data(), piece.size());
        for (std::string &line : Lines(buffer))
            lines.push_back(std::move(line));
    }
    return lines;
}

std::uint32_t Address(const char *Dotted)
{
    return ::inet_addr(Dotted);
}

} // namespace

TEST(EngineReplyBufferTest, LinesEndAtCrLfLoneCrOrLoneLf)
{
    EXPECT_THAT(LinesOf({"220 a\r\n220 b\r\n"}), ElementsAre("220 a", "220 b"));
    EXPECT_THAT(LinesOf({"220-a\n220-b\n220 c\n"}), ElementsAre("220-a", "220-b", "220 c"));
    EXPECT_THAT(LinesOf({"220-a\r220 b\r"}), ElementsAre("220-a", "220 b"));
    EXPECT_THAT(LinesOf({"220-a\r\n\r\n220 b\r\n"}), ElementsAre("220-a", "", "220 b"));
}

TEST(EngineReplyBufferTest, CrLfSplitAcrossReadsIsOneLineEnd)
{
    EXPECT_THAT(LinesOf({"220-a\r", "\n220 b\r\n"}), ElementsAre("220-a", "220 b"));
    EXPECT_THAT(LinesOf({"220-a\r", "\n", "220 b\r", "\n"}), ElementsAre("220-a", "220 b"));
    // A lone CR at the end followed by anything but LF is a line end of its own.
    EXPECT_THAT(LinesOf({"220-a\r", "220 b\r\n"}), ElementsAre("220-a", "220 b"));
    EXPECT_THAT(LinesOf({"220-a\r", "", "\n220 b\n"}), ElementsAre("220-a", "220 b"));
}

TEST(EngineReplyBufferTest, IncompleteLinesWaitForTheirEnd)
{
    TReplyBuffer buffer;
    buffer.Append("220 hel", 7);
    EXPECT_TRUE(Lines(buffer).empty());
    EXPECT_EQ(buffer.PendingSize(), 7u);
    buffer.Append("lo\r\n221", 7);
    EXPECT_THAT(Lines(buffer), ElementsAre("220 hello"));
    EXPECT_EQ(buffer.PendingSize(), 3u);
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    buffer.Append("\n5", 2);
    EXPECT_THAT(Lines(buffer), ElementsAre("")) << "Clear forgets a pending CR";
}

TEST(EngineReplyBufferTest, ManyLinesInOneBuffer)
{
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "257-line " + std::to_string(i) + "\r\n";
    TReplyBuffer buffer;
    buffer.Append(text.data(), text.size());
    const std::vector<std::string> lines = Lines(buffer);
    ASSERT_EQ(lines.size(), 10000u);
    EXPECT_EQ(lines.back(), "257-line 9999");
    EXPECT_TRUE(buffer.Empty());
}

TEST(EngineReplyBufferTest, ReplyCodes)
{
    EXPECT_EQ(ReplyCode("220 ready"), 220);
    EXPECT_EQ(ReplyCode("550-no"), 550);
    EXPECT_EQ(ReplyCode("100"), 100);
    EXPECT_EQ(ReplyCode("599 x"), 599);
    EXPECT_EQ(ReplyCode("999 odd"), 0);
    EXPECT_EQ(ReplyCode("099 low"), 0);
    EXPECT_EQ(ReplyCode("22"), 0);
    EXPECT_EQ(ReplyCode("+20 x"), 0);
    EXPECT_EQ(ReplyCode(" 220 x"), 0);
    EXPECT_TRUE(IsReplyEndLine("220 ready"));
    EXPECT_FALSE(IsReplyEndLine("220-ready"));
    EXPECT_FALSE(IsReplyEndLine("220"));
    EXPECT_FALSE(IsReplyEndLine("999 odd"));
}

TEST(EngineProtocolTextTest, PassiveReplies)
{
    const std::uint32_t server = Address("127.0.0.1");
    TPasvReply reply;
    ASSERT_TRUE(ParsePasvReply("227 Entering Passive Mode (127,0,0,1,4,1).", server, reply));
    EXPECT_EQ(reply.Address, "127.0.0.1");
    EXPECT_EQ(reply.Port, 1025);

    ASSERT_TRUE(ParsePasvReply("227 Entering Passive Mode (10,0,0,7,200,10)", NoAddress, reply));
    EXPECT_EQ(reply.Address, "10.0.0.7");
    EXPECT_EQ(reply.Port, 200 * 256 + 10);

    // No " (" but the server's own address: read from there.
    ASSERT_TRUE(ParsePasvReply("227 Entering Passive Mode=127,0,0,1,0,21.", server, reply));
    EXPECT_EQ(reply.Port, 21);

    // The sixth number needs something after it.
    EXPECT_FALSE(ParsePasvReply("227 Entering Passive Mode (127,0,0,1,4,1", server, reply));
    EXPECT_FALSE(ParsePasvReply("227 Entering Passive Mode 10,0,0,7,4,1.", server, reply));
    EXPECT_FALSE(ParsePasvReply("227 Entering Passive Mode (127,0,0 ,1,4,1)", NoAddress, reply));
    EXPECT_FALSE(ParsePasvReply("227 ok", server, reply));

    // Empty numbers count as 0, the port wraps at 65536, endless digits do no harm.
    ASSERT_TRUE(ParsePasvReply("227 x (,,,,256,1)", NoAddress, reply));
    EXPECT_EQ(reply.Port, 1);
    ASSERT_TRUE(ParsePasvReply("227 x (1,2,3,4,99999999999999999999,5)", NoAddress, reply));
    EXPECT_EQ(reply.Port, 5);
}

TEST(EngineProtocolTextTest, SizeAnnouncedInTheDataCommandsReply)
{
    std::int64_t size = 0;
    ASSERT_TRUE(ParseSizeFromReply("150 Opening BINARY mode data connection for big.bin (10000 bytes).", "big.bin",
                                   size));
    EXPECT_EQ(size, 10000);
    ASSERT_TRUE(ParseSizeFromReply("150 Opening data connection for BIG.BIN (5368709120 Bytes)", "big.bin", size));
    EXPECT_EQ(size, 5368709120) << "sizes beyond 32 bits";
    EXPECT_FALSE(ParseSizeFromReply("150 File status okay. About to open data connection.", "big.bin", size));
    EXPECT_FALSE(ParseSizeFromReply("150 Opening for big.bin (10000 blocks)", "big.bin", size));
    EXPECT_FALSE(ParseSizeFromReply("150 Opening for big.bin (10000", "big.bin", size));
    EXPECT_FALSE(ParseSizeFromReply("150 Opening for big.bin (99999999999999999999999 bytes)", "big.bin", size));
}

TEST(EngineProtocolTextTest, QuotedFolders)
{
    EXPECT_EQ(QuotedFolder("257 \"/pub/incoming\" is current directory"), "/pub/incoming");
    EXPECT_EQ(QuotedFolder("257 \"/a \"\"b\"\"\" created"), "/a \"b\"");
    EXPECT_EQ(QuotedFolder("250 CWD command successful"), "");
    EXPECT_EQ(QuotedFolder("257 \"/unterminated"), "/unterminated");
    EXPECT_EQ(QuotedFolder("257 \"\" empty"), "");
}

TEST(EngineProtocolTextTest, CommandTexts)
{
    EXPECT_EQ(FirewallHostText("ftp.example.com", 21), "ftp.example.com");
    EXPECT_EQ(FirewallHostText("ftp.example.com", 2121), "ftp.example.com:2121");

    EXPECT_EQ(TransferTypeLetter(ttAuto), 'I');
    EXPECT_EQ(TransferTypeLetter(ttASCII), 'A');
    EXPECT_EQ(TransferTypeLetter(ttBinary), 'I');
    EXPECT_EQ(TransferTypeLetter(ttEBCDIC), 'E');
    EXPECT_EQ(TransferTypeLetter(ttLocal), 'L');

    EXPECT_EQ(ModeText(faOwnerRead | faOwnerWrite), "600");
    EXPECT_EQ(ModeText(0), "0");
    EXPECT_EQ(ModeText(faPermissionMask | faFolder | faLink), "777");
    EXPECT_EQ(ModeText(faOwnerRead | faOwnerWrite | faOwnerExecute | faGroupRead | faGroupExecute |
                                      faOtherRead | faOtherExecute),
              "755");

    EXPECT_EQ(CommaText({"a", "b c", "", "d,e", "f\"g"}), "a,\"b c\",\"\",\"d,e\",\"f\"\"g\"");

    EXPECT_EQ(TextToInt("1000", 0), 1000);
    EXPECT_EQ(TextToInt(" -5", 0), -5);
    EXPECT_EQ(TextToInt("12x", 7), 7);
    EXPECT_EQ(TextToInt("", 7), 7);
    EXPECT_EQ(TextToInt("99999999999999999999", 7), 7);
    EXPECT_EQ(TrimText("  LIST  "), "LIST");
}

TEST(EngineProtocolTextTest, StatisticsLineFollowsTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(StatisticsLine(10000, 2.0), "Transferred 10,000 bytes in 2.00 seconds (4.88KB/s)");
    EXPECT_EQ(StatisticsLine(0, 0.0), "Transferred 0 bytes in 0.00 seconds (0.00KB/s)");
    EXPECT_EQ(StatisticsLine(5368709120, 4.0), "Transferred 5,368,709,120 bytes in 4.00 seconds (1310720.00KB/s)");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(StatisticsLine(10000, 2.0), "Transferred 10.000 bytes in 2,00 seconds (4,88KB/s)");
    QLocale::setDefault(saved);
}

TEST(EngineProtocolTextTest, SocketErrorTexts)
{
    EXPECT_EQ(SocketErrorText(10004), "Operation interrupted");
    EXPECT_EQ(SocketErrorText(10054), "Connection reset by peer");
    EXPECT_EQ(SocketErrorText(10060), "Operation timed out");
    EXPECT_EQ(SocketErrorText(10061), "Connection refused");
    EXPECT_EQ(SocketErrorText(11001), "Authoritative: Host not found");
    EXPECT_EQ(SocketErrorText(11004), "No Data");
    EXPECT_EQ(SocketErrorText(12345), "Not a WinSock error [12345]");

    EXPECT_EQ(WinSockErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WinSockErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WinSockErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(WinSockErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WinSockErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WinSockErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(WinSockErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(WinSockErrorFromResolver(EAI_FAIL, 0), 11003);
}

TEST(EngineProtocolTextTest, DottedHostsAreNotLookedUp)
{
    std::uint32_t address = 0;
    EXPECT_EQ(ResolveHost("192.168.1.5", address), 0);
    EXPECT_EQ(DottedAddress(address), "192.168.1.5");
    EXPECT_EQ(ResolveHost("localhost", address), 0);
    EXPECT_EQ(DottedAddress(address), "127.0.0.1");
}

TEST(EngineProtocolTextTest, NamesFromServersForLocalFiles)
{
    EXPECT_TRUE(IsSafeServerName("file.txt"));
    EXPECT_TRUE(IsSafeServerName("..hidden"));
    EXPECT_FALSE(IsSafeServerName(""));
    EXPECT_FALSE(IsSafeServerName("."));
    EXPECT_FALSE(IsSafeServerName(".."));
    EXPECT_FALSE(IsSafeServerName("a/b"));
    EXPECT_FALSE(IsSafeServerName(std::string_view("a\0b", 3)));

    EXPECT_TRUE(IsSafeDownloadPath("/home/me/down/file.txt"));
    EXPECT_TRUE(IsSafeDownloadPath("relative/file"));
    EXPECT_FALSE(IsSafeDownloadPath("/home/me/down/"));
    EXPECT_FALSE(IsSafeDownloadPath("/home/me/down/.."));
    EXPECT_FALSE(IsSafeDownloadPath("/home/me/down/."));
    EXPECT_FALSE(IsSafeDownloadPath("/home/me/down/../../etc/passwd"));
    EXPECT_FALSE(IsSafeDownloadPath(QStringLiteral("/home/me/a") + QChar(0) + QStringLiteral("b")));
}

TEST(EngineCommandQueueTest, CommandsComeOutInOrder)
{
    TCommandQueue queue;
    queue.PostCommand(TLoginCommand{"h", 2121, "joe", "secret", "", {}});
    queue.PostCommand(TNoOpCommand{});
    const TQueuedMessage first = queue.Take();
    ASSERT_TRUE(std::holds_alternative<TLoginCommand>(first.Command));
    const auto &login = std::get<TLoginCommand>(first.Command);
    EXPECT_EQ(login.Host, "h");
    EXPECT_EQ(login.Port, 2121);
    EXPECT_EQ(login.Password, "secret");
    EXPECT_EQ(CommandKind(queue.Take().Command), fcNoOp);
}

// The trace's "Adding Command" line shows a command's fields as the worker will use them.
TEST(EngineCommandQueueTest, TraceArgumentsKeepTypedValues)
{
    EXPECT_THAT(TraceArguments(TResumeDownloadCommand{"/tmp/a b", "big.iso", 5'000'000'000}),
                ElementsAre("/tmp/a b", "big.iso", "5000000000"));
    EXPECT_THAT(TraceArguments(TChangeAttributesCommand{faOwnerRead | faOwnerWrite | faGroupRead | faOtherRead, "f"}),
                ElementsAre("644", "f"));
    EXPECT_THAT(TraceArguments(TFirewallLoginCommand{"fw", 1080, 2, "fu", "fp", "h", 2121, "u", "p", "", {}}),
                ElementsAre("fw", "1080", "2", "fu", "fp", "h", "2121", "u", "p", ""));
    EXPECT_THAT(TraceArguments(TSetTypeCommand{ttASCII}), ElementsAre("1"));
    EXPECT_TRUE(TraceArguments(TNoOpCommand{}).empty());
    EXPECT_EQ(CommandKind(TResumeUploadCommand{}), fcResumeUpload);
    EXPECT_STREQ(FTPCommandName(CommandKind(TChangeAttributesCommand{})), "ChangeAttributes");
}

TEST(EngineCommandQueueTest, AFlushDiscardsWhatWasQueuedBeforeItAndNeverQuit)
{
    TCommandQueue queue;
    queue.PostCommand(TListCommand{});
    const std::uint64_t ticket = queue.PostFlush();
    // Queued while the flush waits, as a handler run during ClearCommands' wait does.
    queue.PostCommands({TSetTypeCommand{ttBinary}, TDeleteCommand{"x"}});
    EXPECT_FALSE(queue.WaitFlushed(ticket, 10ms));

    // A command taken ahead of a waiting flush is skipped; what follows the flush stays.
    EXPECT_EQ(CommandKind(queue.Take().Command), fcList);
    EXPECT_TRUE(queue.FlushPending());
    queue.DiscardThroughLastFlush();
    EXPECT_TRUE(queue.WaitFlushed(ticket, 10ms));
    EXPECT_FALSE(queue.FlushPending());
    EXPECT_EQ(CommandKind(queue.Take().Command), fcSetType);
    EXPECT_EQ(CommandKind(queue.Take().Command), fcDelete);

    // With two flushes waiting, everything up to the second goes.
    queue.PostCommand(TNoOpCommand{});
    queue.PostFlush();
    queue.PostCommand(TNoOpCommand{});
    const std::uint64_t second = queue.PostFlush();
    queue.PostCommand(TRenameCommand{"a", "b"});
    EXPECT_EQ(CommandKind(queue.Take().Command), fcNoOp);
    EXPECT_TRUE(queue.FlushPending());
    queue.DiscardThroughLastFlush();
    EXPECT_TRUE(queue.WaitFlushed(second, 10ms));
    EXPECT_EQ(CommandKind(queue.Take().Command), fcRename);

    queue.PostCommand(TNoOpCommand{});
    queue.PostFlush();
    queue.PostQuit();
    queue.DiscardThroughLastFlush();
    EXPECT_EQ(queue.Take().Kind, TQueuedMessage::mkQuit) << "quit survives a flush and wins";
}

TEST(EngineCommandQueueTest, AGroupIsWithdrawnWholeOnlyUntilTheWorkerTakesItsFirstStep)
{
    TCommandQueue queue;
    queue.PostCommand(TNoOpCommand{});
    queue.PostCommands({TSetTypeCommand{ttBinary}, TResumeDownloadCommand{"/tmp/b", "b", 0}}, 7, true);
    queue.PostCommands({TSetTypeCommand{ttBinary}, TResumeDownloadCommand{"/tmp/c", "c", 0}}, 8, true);
    EXPECT_EQ(queue.Withdraw(7), TWithdrawal::Withdrawn);
    EXPECT_EQ(queue.Withdraw(7), TWithdrawal::Gone);
    EXPECT_EQ(CommandKind(queue.Take().Command), fcNoOp);

    const TQueuedMessage first = queue.Take();
    EXPECT_EQ(first.Ticket, 8u);
    EXPECT_TRUE(first.AfterSuccess);
    // Half taken: the rest goes only when the worker drops the group itself.
    EXPECT_EQ(queue.Withdraw(8), TWithdrawal::Taken);
    EXPECT_FALSE(queue.Empty());
    queue.DiscardGroup(8);
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Withdraw(0), TWithdrawal::Gone);
}

TEST(EngineCommandQueueTest, TakeWaitsForAMessage)
{
    TCommandQueue queue;
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        queue.PostCommand(TGetCurrentFolderCommand{});
    });
    EXPECT_EQ(CommandKind(queue.Take().Command), fcGetCurrentFolder);
    poster.join();
}
