#include "tests/support/ChildProcess.h"
#include "tests/support/FtpServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

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

    static bool WaitFor(const std::function<bool()> &done, int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(50);
        }
        return true;
    }

    QTemporaryDir FFolder;
    std::vector<std::pair<QByteArray, QByteArray>> FSaved;
};

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class ProgramServerTest : public ProgramTest, public ::testing::WithParamInterface<TServerKind>
{
};

} // namespace

TEST_F(ProgramTest, SecondCopyExitsWithCodeOneAndFirstRunsOn)
{
    TChildProcess first({ProgramPath()}, Path("first.log").toStdString());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(InstanceSocket()) || !first.IsRunning(); }, 30000))
        << "the first copy never listened";
    ASSERT_TRUE(first.IsRunning()) << first.ExitDescription();

    const TProgramResult second = RunProgram({ProgramPath(), "-c", "127.0.0.1", "-x"});
    EXPECT_EQ(second.ExitCode, 1) << second.Output;
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
    ASSERT_TRUE(WaitFor([&] { return !program.IsRunning(); }, 120000))
        << "the program did not end after its transfers: " << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(program.ExitDescription(), "exited with code 0") << ReadFile(Path("program.log")).toStdString();
    EXPECT_EQ(ReadFile(Path("local/a.txt")), "alpha");
    EXPECT_EQ(ReadFile(Path("local/b.txt")), QByteArray(300000, 'b'));
    EXPECT_FALSE(QFileInfo::exists(Path("local/c.txt")));
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
    ASSERT_TRUE(WaitFor([&] { return !program.IsRunning(); }, 120000)) << ReadFile(Path("program.log")).toStdString();
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
