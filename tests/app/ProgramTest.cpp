#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSockets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

using namespace std::chrono_literals;

// The real program, started as a process with folders of its own, so that a test never
// meets the user's running copy or files.
namespace {

std::string ProgramPath()
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / ".." / "app" / "ferrow").string();
}

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FFolder.isValid());
        if (!QFileInfo::exists(QString::fromStdString(ProgramPath())))
            GTEST_SKIP() << "the program is not built: " << ProgramPath();
        for (const char *name : {"run", "config", "home", "program", "local"})
            QDir(FFolder.path()).mkdir(name);
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetEnv("XDG_RUNTIME_DIR", Path("run"));
        SetEnv("XDG_CONFIG_HOME", Path("config"));
        SetEnv("HOME", Path("home"));
        SetEnv("FERROW_PROGRAM_FOLDER", Path("program"));
        SetEnv("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override
    {
        for (const auto &[name, value] : FSaved) {
            if (value.isNull())
                qunsetenv(name.constData());
            else
                qputenv(name.constData(), value);
        }
    }

    QString Path(const QString &name) const { return FFolder.filePath(name); }

    void SetEnv(const char *name, const QString &value)
    {
        FSaved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        qputenv(name, value.toLocal8Bit());
    }

    // The single-instance socket of the program run by this user.
    QString InstanceSocket() const
    {
        const passwd *user = ::getpwuid(::getuid());
        return Path("run") + "/ferrow-" + QString::fromLocal8Bit(user ? user->pw_name : "");
    }

    // How a run with "-x" ended: "exited with code N", or "hung" when it did not end by
    // itself well within the limit; its standard output and error together.
    struct TBatchEnd
    {
        std::string Exit;
        std::string Output;
    };

    // Runs the program with `arguments`, "-l" the local folder and "-x", in passive mode
    // with one attempt per login, so that a refused one fails at once.
    TBatchEnd RunBatch(std::vector<std::string> arguments);

    QTemporaryDir FFolder;
    std::vector<std::pair<QByteArray, QByteArray>> FSaved;
    int FRuns = 0;
};

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size());
}

ProgramTest::TBatchEnd ProgramTest::RunBatch(std::vector<std::string> arguments)
{
    const QString options = Path("options.ini");
    if (!QFileInfo::exists(options))
        WriteFile(options, "[Connection]\nRetries=1\nTimeout=20\nUsePASV=1\n");
    std::vector<std::string> argv{ProgramPath(), "-i", options.toStdString(), "-l",
                                  Path("local").toStdString()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    argv.push_back("-x");
    const QString log = Path(QStringLiteral("run%1.log").arg(++FRuns));
    TChildProcess program(argv, log.toStdString());
    // A limit only to catch a run that never ends; a finished run takes seconds.
    const bool ended = WaitUntil([&] { return !program.IsRunning(); }, 90s);
    program.Stop();
    return {ended ? program.ExitDescription() : "hung", ReadFile(log).toStdString()};
}

// A pattern that shows where a wrong offset would put bytes.
QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251 + seed) & 0xff);
    return bytes;
}

std::string Address(const TTestFtpServer &server)
{
    return server.Host() + ':' + std::to_string(server.Port());
}

class ProgramServerTest : public ProgramTest, public ::testing::WithParamInterface<TServerKind>
{
};

} // namespace

TEST_F(ProgramTest, SecondCopyExitsWithCodeOneAndFirstRunsOn)
{
    TChildProcess first({ProgramPath()}, Path("first.log").toStdString());
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(InstanceSocket()) || !first.IsRunning(); }, 30s))
        << "the first copy never listened";
    ASSERT_TRUE(first.IsRunning()) << first.ExitDescription();

    const TProgramResult second = RunProgram({ProgramPath(), "-c", "127.0.0.1", "-x"});
    EXPECT_EQ(second.ExitCode, 1) << second.Output;
    EXPECT_THAT(second.Output, ::testing::HasSubstr("another copy is running")) << "a script must learn why";
    EXPECT_TRUE(first.IsRunning()) << "the first copy must not be disturbed";
    first.Stop();
}

TEST_P(ProgramServerTest, ReceiveListDownloadsBothFilesAndExitsWhenDone)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "alpha"); // ASCII mode may rewrite line ends
    server->PutFile("b.txt", QByteArray(300000, 'b'));
    server->PutFile("c.txt", "not asked for");

    const std::string address = server->Host() + ':' + std::to_string(server->Port());
    TChildProcess program({ProgramPath(), "-r", "a.txt;b.txt", "-c", address, "-u", server->User(), "-p",
                           server->Password(), "-l", Path("local").toStdString(), "-x"},
                          Path("program.log").toStdString());
    ASSERT_TRUE(WaitUntil([&] { return !program.IsRunning(); }, 120s))
        << "the program did not end after its transfers: " << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(program.ExitDescription(), "exited with code 0") << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(ReadFile(Path("local/a.txt")), "alpha");
    EXPECT_EQ(ReadFile(Path("local/b.txt")), QByteArray(300000, 'b'));
    EXPECT_FALSE(QFileInfo::exists(Path("local/c.txt")));
}

// A script learns from the exit code what did not arrive, and from standard error why.
TEST_P(ProgramServerTest, BatchRunsEndWithWhatDidNotArrive)
{
    using ::testing::HasSubstr;
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("here.bin", Pattern(70000, 1));

    const std::string unreadable = Path("nothere.bin").toStdString();
    const TBatchEnd missing = RunBatch({"-r", "here.bin;missing.bin", "-s", unreadable, "-c",
                                        Address(*server), "-u", server->User(), "-p", server->Password()});
    EXPECT_EQ(missing.Exit, "exited with code 4") << missing.Output;
    EXPECT_THAT(missing.Output, HasSubstr("Cannot read \"" + unreadable + "\""));
    EXPECT_THAT(missing.Output, HasSubstr("Download of \"missing.bin\" failed: "));
    EXPECT_THAT(missing.Output, HasSubstr("(550 ")) << "the server's own reason";
    EXPECT_EQ(ReadFile(Path("local/here.bin")), Pattern(70000, 1))
        << "a failure leaves the others alone\n" << missing.Output;

    const TBatchEnd refused =
        RunBatch({"-r", "here.bin", "-c", Address(*server), "-u", server->User(), "-p", "wrong"});
    EXPECT_EQ(refused.Exit, "exited with code 3") << refused.Output;
    EXPECT_THAT(refused.Output, HasSubstr("Download of \"here.bin\" failed: Could not log on"));

    // Masks are matched by the remote view after its listing: nothing may leave it idle.
    const TBatchEnd unmatched =
        RunBatch({"-r", "*.txt", "-c", Address(*server), "-u", server->User(), "-p", server->Password()});
    EXPECT_EQ(unmatched.Exit, "exited with code 4") << unmatched.Output;
    EXPECT_THAT(unmatched.Output, HasSubstr("matches *.txt"));

    // The masks are for the folder asked for, not for the one the server falls back to.
    QFile::remove(Path("local/here.bin"));
    const TBatchEnd lost = RunBatch({"-h", "/nothere", "-r", "*.bin", "-c", Address(*server), "-u",
                                     server->User(), "-p", server->Password()});
    EXPECT_EQ(lost.Exit, "exited with code 4") << lost.Output;
    EXPECT_THAT(lost.Output, HasSubstr("Could not open the folder /nothere/"));
    EXPECT_FALSE(QFileInfo::exists(Path("local/here.bin"))) << "nothing from another folder";
}

// Nobody answers a question offscreen: a batch resumes a shorter local copy and
// replaces any other, says so, and the files come out whole.
TEST_P(ProgramServerTest, MaskDownloadOntoLocalFilesIsAnsweredUnattended)
{
    using ::testing::HasSubstr;
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("part.bin", Pattern(400000, 2));
    server->PutFile("old.bin", Pattern(3000, 3));
    server->PutFile("new.bin", Pattern(5000, 4));
    WriteFile(Path("local/part.bin"), Pattern(400000, 2).left(150000));
    WriteFile(Path("local/old.bin"), QByteArray(9000, 'x'));

    const TBatchEnd end =
        RunBatch({"-r", "*.bin", "-c", Address(*server), "-u", server->User(), "-p", server->Password()});
    EXPECT_EQ(end.Exit, "exited with code 0") << end.Output;
    EXPECT_THAT(end.Output, HasSubstr("\"part.bin\" exists in part: resumed"));
    EXPECT_THAT(end.Output, HasSubstr("\"old.bin\" exists (9000 bytes, the server's 3000 bytes): replaced"));
    EXPECT_EQ(ReadFile(Path("local/part.bin")), Pattern(400000, 2));
    EXPECT_EQ(ReadFile(Path("local/old.bin")), Pattern(3000, 3));
    EXPECT_EQ(ReadFile(Path("local/new.bin")), Pattern(5000, 4));
    EXPECT_THAT(server->ProtocolLogText().toStdString(), HasSubstr("REST 150000"))
        << "resumed, not sent whole";
}

TEST_P(ProgramServerTest, AnInstalledCopyKeepsItsFilesInThePerUserFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("a.txt", "alpha");
    // Installed as a package or by "make install" would; the tests run as root, who may
    // write to a bin folder, so writability alone must not decide.
    ASSERT_TRUE(QDir().mkpath(Path("prefix/bin")));
    const QString installed = Path("prefix/bin/ferrow");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(ProgramPath()), installed));
    SetEnv("FERROW_PROGRAM_FOLDER", QString());
    SetEnv("XDG_DATA_HOME", Path("data"));

    const std::string address = server->Host() + ':' + std::to_string(server->Port());
    TChildProcess program({installed.toStdString(), "-d", "-r", "a.txt", "-c", address, "-u", server->User(), "-p",
                           server->Password(), "-l", Path("local").toStdString(), "-x"},
                          Path("program.log").toStdString());
    ASSERT_TRUE(WaitUntil([&] { return !program.IsRunning(); }, 120s)) << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(program.ExitDescription(), "exited with code 0") << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(ReadFile(Path("local/a.txt")), "alpha");

    EXPECT_EQ(QDir(Path("prefix/bin")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"ferrow"});
    const QString user = Path("data/Velunor Media/Ferrow");
    EXPECT_TRUE(QDir(user).entryList(QDir::Files).contains("Debug.txt"))
        << "the debug trace of -d goes to the per-user folder";
}

INSTANTIATE_TEST_SUITE_P(Servers, ProgramServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

// A mask waits for a listing that never comes when the server cannot be reached or
// talked to; the run must still end, saying it could not connect.
TEST_F(ProgramTest, BatchThatCannotLogOnEndsByItself)
{
    using ::testing::HasSubstr;
    std::uint16_t closedPort = 0;
    {
        const TUniqueFd listener = ListenOnLoopback();
        closedPort = LocalPort(listener.Get());
    }
    const TBatchEnd refused = RunBatch({"-r", "*.txt", "-c", "127.0.0.1:" + std::to_string(closedPort)});
    EXPECT_EQ(refused.Exit, "exited with code 3") << refused.Output;
    EXPECT_THAT(refused.Output, HasSubstr("Could not connect to or log on to 127.0.0.1:"));

    TScriptedServer closing(TServerScript().Reply("220 Hello").Expect("USER").Close());
    const TBatchEnd dropped = RunBatch({"-r", "*.txt", "-c", "127.0.0.1:" + std::to_string(closing.Port())});
    EXPECT_EQ(dropped.Exit, "exited with code 3") << dropped.Output;

    TScriptedServer garbage(
        TServerScript().Reply("220 Hello").Expect("USER").Reply("x\r\n999 What?").Close());
    const TBatchEnd confused = RunBatch({"-r", "*.txt", "-c", "127.0.0.1:" + std::to_string(garbage.Port())});
    EXPECT_EQ(confused.Exit, "exited with code 3") << confused.Output;
}

// A listing with an unsafe name among others: the name is refused, and the rest of the
// selection still arrives, whatever the timing of the refusal.
TEST_F(ProgramTest, RefusedNameLeavesTheRestOfTheBatchAlone)
{
    using ::testing::HasSubstr;
    const std::string listing = "-rw-r--r-- 1 u g 4 Jan 02 2020 ../evil\r\n"
                                "-rw-r--r-- 1 u g 6 Jan 02 2020 normal.txt\r\n";
    TScriptedServer server(TServerScript()
                               // The remote view lists and selects.
                               .Reply("220 Scripted server ready")
                               .Answer("USER joe", "331 Password required")
                               .Answer("PASS secret", "230 Logged in")
                               .Answer("SYST", "215 UNIX Type: L8")
                               .Answer("TYPE I", "200 Binary")
                               .Answer("REST 100", "350 Restarting at 100")
                               .Answer("REST 0", "350 Restarting at 0")
                               .Answer("PWD", "257 \"/\" is current")
                               .Passive()
                               .Answer("LIST", "150 Here it comes")
                               .DataSend(listing)
                               .DataClose()
                               .Reply("226 Done")
                               // The queue fetches on a connection of its own.
                               .AcceptAnother()
                               .Reply("220 Scripted server ready")
                               .Answer("USER joe", "331 Password required")
                               .Answer("PASS secret", "230 Logged in")
                               .Answer("TYPE I", "200 Binary")
                               .Answer("REST 100", "350 Restarting at 100")
                               .Answer("REST 0", "350 Restarting at 0")
                               .Answer("TYPE", "200 Type set")
                               .Passive()
                               .Answer("RETR", "150 Sending")
                               .DataSend("normal")
                               .DataClose()
                               .Reply("226 Done")
                               .Hang());
    const TBatchEnd end = RunBatch(
        {"-r", "*", "-c", "127.0.0.1:" + std::to_string(server.Port()), "-u", "joe", "-p", "secret"});
    EXPECT_EQ(ReadFile(Path("local/normal.txt")), "normal")
        << ::testing::PrintToString(server.ReceivedCommands());
    EXPECT_EQ(end.Exit, "exited with code 4") << end.Output;
    EXPECT_THAT(end.Output, HasSubstr("Download of \"/../evil\" failed: Refused"));
    EXPECT_FALSE(QFileInfo::exists(Path("evil")));
}

// Files named one by one need no listing: the connection that logs on while the window is
// built is the one they all come over, with one logon.
TEST_F(ProgramTest, NamedFilesComeOverTheConnectionThatLoggedOnAtStart)
{
    TServerScript script;
    script.Reply("220 Scripted server ready")
        .Answer("USER joe", "331 Password required")
        .Answer("PASS secret", "230 Logged in")
        .Answer("TYPE I", "200 Binary")
        .Answer("REST 100", "350 Restarting at 100")
        .Answer("REST 0", "350 Restarting at 0");
    for (const char *content : {"first", "second"}) {
        script.Passive().Answer("RETR", "150 Sending").DataSend(content).DataClose().Reply("226 Done");
    }
    TScriptedServer server(script.Hang());
    const TBatchEnd end = RunBatch({"-r", "a.bin;b.bin", "-c", "127.0.0.1:" + std::to_string(server.Port()),
                                    "-u", "joe", "-p", "secret"});
    const std::vector<std::string> commands = server.ReceivedCommands();
    EXPECT_EQ(end.Exit, "exited with code 0") << end.Output << ::testing::PrintToString(commands);
    EXPECT_EQ(ReadFile(Path("local/a.bin")), "first");
    EXPECT_EQ(ReadFile(Path("local/b.bin")), "second");
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const std::string &command) { return command.rfind("USER", 0) == 0; }),
              1)
        << ::testing::PrintToString(commands);
}
