// ferrow-ftp, the command-line driver of the engine, run as a process against real
// servers: what it prints, what it leaves on both disks and how it exits.

#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/ScriptedEngine.h"
#include "tests/support/FtpServers.h"
#include "tests/support/PortBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <filesystem>
#include <sys/stat.h>

using testing::HasSubstr;
using testing::Not;

namespace {

// The tests sit in <build>/tests, the tool in <build>/tools.
QString ToolPath()
{
    if (const QByteArray configured = qgetenv("FERROW_FTP_TOOL"); !configured.isEmpty())
        return QString::fromLocal8Bit(configured);
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return QString::fromStdString((self.parent_path().parent_path() / "tools" / "ferrow-ftp").string());
}

struct TToolRun
{
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

TToolRun RunTool(const QStringList &arguments, const QByteArray &input = {})
{
    TestApp();
    QProcess process;
    process.start(ToolPath(), arguments);
    TToolRun run;
    if (!process.waitForStarted(10000)) {
        run.Err = "cannot start " + ToolPath().toStdString() + ": " + process.errorString().toStdString();
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    run.Out = process.readAllStandardOutput().toStdString();
    run.Err = process.readAllStandardError().toStdString();
    if (process.exitStatus() == QProcess::NormalExit)
        run.ExitCode = process.exitCode();
    return run;
}

std::vector<std::string> Lines(const std::string &Text)
{
    std::vector<std::string> lines;
    for (const QString &line : QString::fromStdString(Text).split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}

QByteArray RandomBytes(qsizetype Size)
{
    QByteArray bytes(Size, Qt::Uninitialized);
    QRandomGenerator generator(20261208);
    for (char &byte : bytes)
        byte = char(generator.generate() & 0xFF);
    return bytes;
}

QByteArray ReadFile(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString &Path, const QByteArray &Content)
{
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << Path.toStdString();
    ASSERT_EQ(file.write(Content), Content.size());
}

unsigned ModeOf(const QString &Path)
{
    struct stat info{};
    return ::stat(QFile::encodeName(Path).constData(), &info) == 0 ? info.st_mode & 07777 : ~0u;
}

// Larger than one data block and not a multiple of it, so block edges are crossed.
constexpr qsizetype TransferSize = 3 * 1024 * 1024 + 12345;

class FerrowFtpTool : public testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        Server = StartTestServer(GetParam());
        ASSERT_TRUE(Local.isValid());
    }

    // Logged in as the server's user; the command and its arguments follow.
    TToolRun Run(const QStringList &Command, const QStringList &Options = {}) const
    {
        QStringList arguments{"--port",     QString::number(Server->Port()),
                              "--user",     QString::fromStdString(Server->User()),
                              "--password", QString::fromStdString(Server->Password()),
                              "--timeout",  "30"};
        arguments << Options << QString::fromStdString(Server->Host()) << Command;
        return RunTool(arguments);
    }

    static bool CanResume(const TToolRun &Run)
    {
        return Run.Err.find("Server can resume broken downloads") != std::string::npos;
    }

    std::unique_ptr<TTestFtpServer> Server;
    QTemporaryDir Local;
};

std::string ServerName(const testing::TestParamInfo<TServerKind> &Info)
{
    return KindName(Info.param);
}

TEST_P(FerrowFtpTool, ListsEntriesOnStdoutAndNotificationsOnStderr)
{
    Server->PutFile("docs/readme.txt", "hello");
    Server->PutFile("top.bin", RandomBytes(1000));

    const TToolRun top = Run({"ls"});
    ASSERT_EQ(top.ExitCode, 0) << top.Err;
    const QRegularExpression entry(R"(^[^\t]+\t[-dl][-r][-w][-x][-r][-w][-x][-r][-w][-x]\t\d+\t\d{4}-\d\d-\d\d \d\d:\d\d$)");
    std::vector<std::string> names;
    for (const std::string &line : Lines(top.Out)) {
        EXPECT_TRUE(entry.match(QString::fromStdString(line)).hasMatch()) << line;
        names.push_back(line.substr(0, line.find('\t')));
    }
    EXPECT_THAT(names, testing::UnorderedElementsAre("docs", "top.bin"));
    EXPECT_THAT(top.Out, HasSubstr("top.bin\t-rw-r--r--\t1000\t"));
    EXPECT_THAT(top.Out, HasSubstr("docs\tdrwxr-xr-x\t"));
    EXPECT_THAT(top.Err, HasSubstr("Notify LoggedIn\n"));
    EXPECT_THAT(top.Err, HasSubstr("Notify ProcessList. Folder = \"\"\n"));
    EXPECT_THAT(top.Err, HasSubstr("Notify Log. Message = \"QUIT\"\n"));
    for (const std::string &line : Lines(top.Err))
        EXPECT_EQ(line.rfind("Notify ", 0), 0u) << line;

    const TToolRun docs = Run({"ls", "docs"});
    ASSERT_EQ(docs.ExitCode, 0) << docs.Err;
    ASSERT_EQ(Lines(docs.Out).size(), 1u) << docs.Out;
    EXPECT_EQ(docs.Out.rfind("readme.txt\t-rw-r--r--\t5\t", 0), 0u) << docs.Out;

    const TToolRun missing = Run({"ls", "no-such-folder"});
    EXPECT_EQ(missing.ExitCode, 1) << missing.Err;
    EXPECT_EQ(missing.Out, "") << "a folder that could not be entered lists nothing";
}

TEST_P(FerrowFtpTool, AnonymousLogsInByDefault)
{
    Server->PutFile("pub.txt", "public");
    const TToolRun run = RunTool({"--port", QString::number(Server->Port()), "--timeout", "30",
                                  QString::fromStdString(Server->Host()), "ls"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_THAT(run.Err, HasSubstr("Notify Log. Message = \"USER anonymous\""));
    EXPECT_THAT(run.Out, HasSubstr("pub.txt\t-rw-r--r--\t6\t"));
}

TEST_P(FerrowFtpTool, GetAndPutCopyByteForByteInBothModes)
{
    const QByteArray content = RandomBytes(TransferSize);
    Server->PutFile("data.bin", content);

    for (const QStringList &mode : {QStringList{}, QStringList{"--active"}}) {
        SCOPED_TRACE(mode.isEmpty() ? "passive" : "active");
        const QString downloaded = Local.filePath("down" + mode.join("") + ".bin");
        const TToolRun get = Run({"get", "data.bin", downloaded}, mode);
        ASSERT_EQ(get.ExitCode, 0) << get.Err;
        EXPECT_TRUE(ReadFile(downloaded) == content) << "downloaded copy differs";
        EXPECT_THAT(get.Err, HasSubstr(mode.isEmpty() ? "Notify Log. Message = \"PASV\"" : "Notify Log. Message = \"PORT "));
        EXPECT_THAT(get.Err, HasSubstr("Notify Progress. Phase = 2, IsFile = 1, Bytes = " + std::to_string(TransferSize) + "\n"));
        EXPECT_EQ(get.Out, "");

        const QString remote = "up" + mode.join("") + ".bin";
        const TToolRun put = Run({"put", downloaded, remote}, mode);
        ASSERT_EQ(put.ExitCode, 0) << put.Err;
        EXPECT_TRUE(ReadFile(Server->LocalPath(remote)) == content) << "uploaded copy differs";
    }
}

TEST_P(FerrowFtpTool, GetWithOffsetKeepsTheLocalHeadWhenTheServerCanResume)
{
    const QByteArray content = RandomBytes(TransferSize);
    Server->PutFile("data.bin", content);
    constexpr qsizetype Offset = 1000;
    // A head that differs from the server's shows whether the download really resumed.
    const QByteArray localHead(Offset, 'x');
    const QString target = Local.filePath("partial.bin");
    WriteFile(target, localHead + content.mid(Offset, 500));

    const TToolRun get = Run({"get", "data.bin", target, "--offset", QString::number(Offset)});
    ASSERT_EQ(get.ExitCode, 0) << get.Err;
    if (CanResume(get)) {
        EXPECT_THAT(get.Err, HasSubstr("Notify Log. Message = \"REST 1000\""));
        EXPECT_THAT(get.Err, HasSubstr("Notify Progress. Phase = 0, IsFile = 1, Bytes = 1000\n"));
        EXPECT_TRUE(ReadFile(target) == localHead + content.mid(Offset)) << "resumed copy differs";
    } else {
        // Without restarts the engine downloads the whole file again.
        EXPECT_THAT(get.Err, Not(HasSubstr("REST 1000")));
        EXPECT_TRUE(ReadFile(target) == content) << "fresh copy differs";
    }
}

TEST_P(FerrowFtpTool, PutWithOffsetAppendsTheRestWhenTheServerCanResume)
{
    const QByteArray content = RandomBytes(TransferSize);
    constexpr qsizetype Offset = 4096;
    Server->PutFile("partial.bin", content.left(Offset));
    const QString source = Local.filePath("source.bin");
    WriteFile(source, content);

    const TToolRun put = Run({"put", source, "partial.bin", "--offset", QString::number(Offset)});
    ASSERT_EQ(put.ExitCode, 0) << put.Err;
    if (CanResume(put)) {
        EXPECT_THAT(put.Err, HasSubstr("Notify Log. Message = \"REST 4096\""));
    }
    EXPECT_TRUE(ReadFile(Server->LocalPath("partial.bin")) == content) << "server copy differs";
}

TEST_P(FerrowFtpTool, FolderAndFileCommandsChangeTheServerAndReportTheirResult)
{
    Server->PutFile("file.txt", "content");

    const TToolRun pwd = Run({"pwd"});
    ASSERT_EQ(pwd.ExitCode, 0) << pwd.Err;
    EXPECT_EQ(pwd.Out, "/\n");

    const TToolRun mkdir = Run({"mkdir", "made"});
    ASSERT_EQ(mkdir.ExitCode, 0) << mkdir.Err;
    EXPECT_TRUE(QFileInfo(Server->LocalPath("made")).isDir());
    EXPECT_THAT(mkdir.Err, HasSubstr("ReplyType = 2, Result = 1"));

    const TToolRun cd = Run({"cd", "made"});
    ASSERT_EQ(cd.ExitCode, 0) << cd.Err;
    EXPECT_EQ(cd.Out, "/made\n");

    const TToolRun mv = Run({"mv", "file.txt", "made/moved.txt"});
    ASSERT_EQ(mv.ExitCode, 0) << mv.Err;
    EXPECT_THAT(mv.Err, HasSubstr("Notify RenameSuccessful. OldName = \"file.txt\", NewName = \"made/moved.txt\""));
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("file.txt")));
    EXPECT_EQ(ReadFile(Server->LocalPath("made/moved.txt")), "content");

    const TToolRun chmod = Run({"chmod", "640", "made/moved.txt"});
    ASSERT_EQ(chmod.ExitCode, 0) << chmod.Err;
    EXPECT_THAT(chmod.Err, HasSubstr("Notify Log. Message = \"SITE CHMOD 640 made/moved.txt\""));
    EXPECT_EQ(ModeOf(Server->LocalPath("made/moved.txt")), 0640u);

    const TToolRun rm = Run({"rm", "made/moved.txt"});
    ASSERT_EQ(rm.ExitCode, 0) << rm.Err;
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("made/moved.txt")));

    const TToolRun rmdir = Run({"rmdir", "made"});
    ASSERT_EQ(rmdir.ExitCode, 0) << rmdir.Err;
    EXPECT_FALSE(QFileInfo::exists(Server->LocalPath("made")));
}

TEST_P(FerrowFtpTool, FailedCommandsExitWithOneAndPrintNoResult)
{
    Server->PutFile("file.txt", "content");
    const std::vector<QStringList> failing{
        {"cd", "missing"},          {"rm", "missing"},       {"rmdir", "missing"},
        {"mv", "missing", "other"}, {"chmod", "644", "missing"}, {"mkdir", "file.txt"},
        {"put", Local.filePath("missing.bin"), "x.bin"},
    };
    for (const QStringList &command : failing) {
        const TToolRun run = Run(command);
        EXPECT_EQ(run.ExitCode, 1) << command.join(' ').toStdString() << "\n" << run.Err;
        EXPECT_EQ(run.Out, "") << command.join(' ').toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(Server->LocalPath("file.txt")));
}

TEST_P(FerrowFtpTool, FailedDownloadsReportWhy)
{
    const TToolRun missing = Run({"get", "missing.bin", Local.filePath("missing.bin")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_THAT(missing.Err, HasSubstr("Notify Error. Code = 0, Desc = \"Unable to complete transfer\""));

    Server->PutFile("data.bin", "data");
    const TToolRun intoFolder = Run({"get", "data.bin", Local.path()});
    EXPECT_EQ(intoFolder.ExitCode, 1);
    EXPECT_THAT(intoFolder.Err, HasSubstr("Notify Error. Code = 0"));
    EXPECT_TRUE(QFileInfo(Local.path()).isDir());
}

TEST_P(FerrowFtpTool, WrongPasswordExitsWithLoginFailure)
{
    const TToolRun run = RunTool({"--port", QString::number(Server->Port()), "--user",
                                  QString::fromStdString(Server->User()), "--password", "wrong", "--timeout", "30",
                                  QString::fromStdString(Server->Host()), "pwd"});
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_THAT(run.Err, HasSubstr("Notify Log. Message = \"530"));
    EXPECT_THAT(run.Err, HasSubstr("Notify CantLogIn\n"));
    EXPECT_THAT(run.Err, Not(HasSubstr("Notify LoggedIn")));
    EXPECT_EQ(run.Out, "");
}

INSTANTIATE_TEST_SUITE_P(RealServers, FerrowFtpTool, testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         ServerName);

// ---- Servers that misbehave ----

TToolRun RunAgainst(const TScriptedServer &Server, const QStringList &Command)
{
    // The user of LoggedInScript.
    return RunTool(QStringList{"--port", QString::number(Server.Port()), "--user", "joe", "--password", "secret",
                               "--timeout", "2", QString::fromStdString(Server.Host())}
                   << Command);
}

TEST(FerrowFtpToolScripted, ConnectionDroppedDuringTheCommandExitsWithOne)
{
    TScriptedServer server(LoggedInScript().Expect("PWD").Close());
    const TToolRun run = RunAgainst(server, {"pwd"});
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_THAT(run.Err, HasSubstr("Notify LoggedIn\n"));
    EXPECT_THAT(run.Err, HasSubstr("Notify Disconnect\n"));
    EXPECT_EQ(run.Out, "");
}

TEST(FerrowFtpToolScripted, ServerThatStopsAnsweringEndsWithTheTimeout)
{
    TScriptedServer server(LoggedInScript().Expect("MKD made").Hang());
    const TToolRun run = RunAgainst(server, {"mkdir", "made"});
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    // A wait that outlasts the time-out is cancelled like a user's abort.
    EXPECT_THAT(run.Err, HasSubstr("Notify Error. Code = 10004, Desc = \"Operation interrupted\"\nNotify Abort\n"));
    EXPECT_THAT(run.Err, HasSubstr("Notify Disconnect\n"));
}

TEST(FerrowFtpToolScripted, TransferCutShortIsAFailure)
{
    TScriptedServer server(LoggedInScript()
                               .Passive()
                               .Answer("RETR data.bin", "150 Opening data connection for data.bin (1000 bytes).")
                               .DataSend(std::string(400, 'd'))
                               .DataClose()
                               .Reply("426 Connection closed; transfer aborted.")
                               .Answer("QUIT", "221 Goodbye."));
    QTemporaryDir local;
    const TToolRun run = RunAgainst(server, {"get", "data.bin", local.filePath("data.bin")});
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_THAT(run.Err, HasSubstr("Notify UpdateFileSize. NewSize = 1000\n"));
    EXPECT_THAT(run.Err, HasSubstr("Notify Error. Code = 0, Desc = \"Unable to complete transfer\""));
    EXPECT_THAT(server.Failures(), testing::IsEmpty());
}

// The server replies 226 after resetting the data connection: nothing says the file arrived.
TEST(FerrowFtpToolScripted, ResetDataConnectionIsAFailureDespiteTheFinalReply)
{
    QTemporaryDir local;
    const QString upload = local.filePath("up.bin");
    {
        QFile file(upload);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(30000, 'u'));
    }
    const auto script = [](bool download) {
        TServerScript script = LoggedInScript().Passive();
        if (download)
            script.Answer("RETR data.bin", "150 Opening data connection.").DataSend(std::string(100000, 'd'));
        else
            script.Answer("STOR up.bin", "150 Ok to send data.").DataReceivePart(1000);
        return script.DataReset().Reply("226 Transfer complete.").Answer("QUIT", "221 Goodbye.");
    };
    // Both servers start before the first tool runs: the thread checker cannot follow a
    // thread started after the process has spawned a child.
    const TScriptedServer getServer(script(true));
    const TScriptedServer putServer(script(false));
    for (const bool download : {true, false}) {
        SCOPED_TRACE(download ? "get" : "put");
        const TScriptedServer &server = download ? getServer : putServer;
        const TToolRun run = download ? RunAgainst(server, {"get", "data.bin", local.filePath("data.bin")})
                                      : RunAgainst(server, {"put", upload, "up.bin"});
        EXPECT_EQ(run.ExitCode, 1) << run.Err;
        EXPECT_THAT(run.Err, HasSubstr("Notify Error. Code = 10054, Desc = \"Connection reset by peer\""));
        EXPECT_THAT(server.Failures(), testing::IsEmpty());
    }
}

TEST(FerrowFtpToolScripted, AsciiGetWritesLocalLineEnds)
{
    TScriptedServer server(LoggedInScript()
                               .Answer("TYPE A", "200 Switching to ASCII mode.")
                               .Passive()
                               .Answer("RETR notes.txt", "150 Opening ASCII mode data connection.")
                               .DataSend("one\r\ntwo\rthree\r\n")
                               .DataClose()
                               .Reply("226 Transfer complete.")
                               .Answer("QUIT", "221 Goodbye."));
    QTemporaryDir local;
    const TToolRun run = RunAgainst(server, {"--ascii", "get", "notes.txt", local.filePath("notes.txt")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    QFile file(local.filePath("notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "one\ntwo\rthree\n");
    EXPECT_THAT(server.Failures(), testing::IsEmpty());
}

// ---- Without a server ----

TEST(FerrowFtpToolOffline, RefusedConnectionExitsWithLoginFailure)
{
    // Reserved for test servers and not listened on.
    const TPortBlock ports;
    const TToolRun run = RunTool({"--port", QString::number(ports.First()), "127.0.0.1", "ls"});
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_THAT(run.Err, HasSubstr("Notify Error. Code = 10061, Desc = \"Connection refused\"\n"));
    EXPECT_THAT(run.Err, HasSubstr("Notify CantLogIn\n"));
}

TEST(FerrowFtpToolOffline, BadArgumentsPrintUsageAndExitWithTwo)
{
    const std::vector<QStringList> bad{
        {},
        {"127.0.0.1"},
        {"127.0.0.1", "fetch", "x"},
        {"127.0.0.1", "get", "only-remote"},
        {"127.0.0.1", "pwd", "extra"},
        {"--port", "0", "127.0.0.1", "pwd"},
        {"--port", "65536", "127.0.0.1", "pwd"},
        {"--port", "21x", "127.0.0.1", "pwd"},
        {"--timeout", "0", "127.0.0.1", "pwd"},
        {"--retries", "-1", "127.0.0.1", "pwd"},
        {"--server-type", "53", "127.0.0.1", "pwd"},
        {"--port"},
        {"--active=yes", "127.0.0.1", "pwd"},
        {"--ascii", "127.0.0.1", "ls"},
        {"--colour", "127.0.0.1", "pwd"},
        {"-x", "127.0.0.1", "pwd"},
        {"127.0.0.1", "ls", "--offset", "5"},
        {"127.0.0.1", "get", "a", "b", "--offset", "-5"},
        {"127.0.0.1", "chmod", "rwx", "f"},
        {"127.0.0.1", "chmod", "1755", "f"},
        {"127.0.0.1", "chmod", "8", "f"},
        {"parse", "--server-type", "1"},
        {"parse", "a", "b"},
    };
    for (const QStringList &arguments : bad) {
        const TToolRun run = RunTool(arguments);
        EXPECT_EQ(run.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_THAT(run.Err, HasSubstr("Usage: ferrow-ftp")) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.Out, "");
    }
}

TEST(FerrowFtpToolOffline, HelpGoesToStdout)
{
    for (const char *flag : {"-h", "--help"}) {
        const TToolRun run = RunTool({"127.0.0.1", flag});
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_THAT(run.Out, HasSubstr("Usage: ferrow-ftp [OPTIONS] HOST COMMAND"));
        EXPECT_EQ(run.Err, "");
    }
}

TEST(FerrowFtpToolOffline, ParsePrintsListingFromStdinOrFile)
{
    const QByteArray unix = "total 12\r\n"
                            "-rw-r--r--   1 root     root        10000 Jan 02  2020 big.bin\r\n"
                            "drwxr-xr-x    2 999      995          4096 Mar 08  2019 sub\r\n"
                            "lrwxrwxrwx   1 root     root            7 Feb 03  2021 link -> big.bin\r\n";
    const TToolRun fromStdin = RunTool({"parse", "--server-type", "11"}, unix);
    ASSERT_EQ(fromStdin.ExitCode, 0) << fromStdin.Err;
    EXPECT_EQ(fromStdin.Out, "big.bin\t-rw-r--r--\t10000\t2020-01-02 00:00\n"
                             "sub\tdrwxr-xr-x\t0\t2019-03-08 00:00\n"
                             "link -> big.bin\tlrwxrwxrwx\t7\t2021-02-03 00:00\n");
    EXPECT_EQ(fromStdin.Err, "");

    const QByteArray dos = "01-02-20  10:30AM       <DIR>          folder\r\n"
                           "12-24-19  11:45PM                 1234 file.txt\r\n";
    QTemporaryDir folder;
    const QString path = folder.filePath("listing.txt");
    WriteFile(path, dos);
    const TToolRun fromFile = RunTool({"parse", "--server-type", "17", path});
    ASSERT_EQ(fromFile.ExitCode, 0) << fromFile.Err;
    const std::vector<std::string> lines = Lines(fromFile.Out);
    ASSERT_EQ(lines.size(), 2u) << fromFile.Out;
    EXPECT_EQ(lines[0].rfind("folder\td", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("file.txt\t-", 0), 0u) << lines[1];
    EXPECT_THAT(lines[1], HasSubstr("\t1234\t2019-12-24 23:45"));

    const TToolRun missing = RunTool({"parse", folder.filePath("missing.txt")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_THAT(missing.Err, HasSubstr("cannot read"));
    EXPECT_EQ(missing.Out, "");
}

} // namespace
