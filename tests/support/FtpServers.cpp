#include "tests/support/FtpServers.h"

#include "tests/support/RawFtpClient.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <shadow.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Generous: python's start and vsftpd's first fork are slow under sanitizers and load.
constexpr auto StartTimeout = 60s;

constexpr const char *TestUser = "ferrowtest";
constexpr const char *TestPassword = "Ferrow-test-42";
// The password above in crypt(3) form, so that an account already set up needs no change.
constexpr const char *TestPasswordHash =
    "$6$ferrowtestsalt$TgJyTKW.5FWKIzFw02zpCzxjo.dyGwhe4DHChriZyZnf/vToLxmdkkvhwCG.sKETKubw5."
    "FJcddnqJfBpRHN1.";
constexpr const char *AnonymousAccount = "ftp";
constexpr const char *PamService = "ferrow-test-vsftpd";
// Debian's own file adds shell and ftpusers checks and a delay after a wrong password.
constexpr const char *PamConfig = "# Ferrow's test servers: plain password check, no delay.\n"
                                  "auth required pam_unix.so nodelay\n"
                                  "account required pam_unix.so\n"
                                  "session required pam_permit.so\n";

std::string PyftpdScript()
{
    return FERROW_SOURCE_DIR "/tools/ftp_server.py";
}

constexpr const char *Python = "/usr/bin/python3";

bool IsExecutable(const std::string &path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

// vsftpd's sessions must be able to enter every folder above the root.
QString TemporaryBase()
{
    const QString preferred = QDir::tempPath();
    for (QDir dir(preferred);; ) {
        struct stat info{};
        if (::stat(QFile::encodeName(dir.absolutePath()).constData(), &info) != 0 ||
            !(info.st_mode & S_IXOTH))
            return QStringLiteral("/tmp");
        if (dir.isRoot() || !dir.cdUp())
            return preferred;
    }
}

std::string ReadTail(const QString &path, qint64 limit = 4000)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > limit)
        file.seek(file.size() - limit);
    return file.readAll().trimmed().toStdString();
}

// The topmost folder of path's ancestry (path included) that does not exist yet.
QString FirstMissing(const QString &path)
{
    QString missing;
    for (QFileInfo info(path); !info.exists(); info = QFileInfo(info.absolutePath())) {
        missing = info.absoluteFilePath();
        if (info.isRoot())
            break;
    }
    return missing;
}

void RunOrThrow(const std::vector<std::string> &argv)
{
    const TProgramResult result = RunProgram(argv);
    if (result.ExitCode != 0)
        throw std::runtime_error(argv.at(0) + " failed: " + result.Output);
}

void WriteIfDifferent(const QString &path, const QByteArray &content)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
}

void EnsureAccount(const char *name, const char *passwordHash)
{
    if (!::getpwnam(name)) {
        std::vector<std::string> argv{"/usr/sbin/useradd", "--system",  "--no-create-home",
                                      "--home-dir",        "/",         "--shell",
                                      "/usr/sbin/nologin"};
        if (::getgrnam(name))
            argv.insert(argv.end(), {"--gid", name});
        if (passwordHash)
            argv.insert(argv.end(), {"--password", passwordHash});
        argv.push_back(name);
        RunOrThrow(argv);
        return;
    }
    if (!passwordHash)
        return;
    const spwd *shadow = ::getspnam(name);
    if (!shadow || std::string(shadow->sp_pwdp) != passwordHash)
        RunOrThrow({"/usr/sbin/usermod", "--password", passwordHash, name});
}

// The PAM service and the system accounts vsftpd logs in with; done once per process,
// under a lock shared with other test processes doing the same.
void EnsureVsftpdSetup()
{
    static std::mutex mutex;
    static bool done = false;
    const std::lock_guard lock(mutex);
    if (done)
        return;
    const TUniqueFd lockFile(
        ::open("/tmp/ferrow-test-setup.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lockFile || ::flock(lockFile.Get(), LOCK_EX) != 0)
        throw std::runtime_error("cannot lock /tmp/ferrow-test-setup.lock: " + ErrnoText(errno));
    WriteIfDifferent(QStringLiteral("/etc/pam.d/") + PamService, PamConfig);
    EnsureAccount(TestUser, TestPasswordHash);
    EnsureAccount(AnonymousAccount, nullptr);
    done = true;
}

} // namespace

std::string KindName(TServerKind kind)
{
    return kind == TServerKind::Vsftpd ? "vsftpd" : "pyftpdlib";
}

std::string UnavailableReason(TServerKind kind)
{
    if (kind == TServerKind::Pyftpdlib) {
        if (!IsExecutable(Python))
            return std::string(Python) + " is missing; run `make deps`";
        return {};
    }
    if (::geteuid() != 0)
        return "vsftpd test servers need root (PAM logins as system accounts, chroot); "
               "they run in CI, which runs as root";
    if (!IsExecutable(TVsftpdServer::Binary()))
        return "vsftpd not found at " + TVsftpdServer::Binary() +
               "; run tools/install-deps.sh or set FERROW_VSFTPD";
    if (!IsExecutable("/usr/sbin/useradd"))
        return "/usr/sbin/useradd is missing (package passwd)";
    return {};
}

std::unique_ptr<TTestFtpServer> StartTestServer(TServerKind kind, TServerOptions options)
{
    if (kind == TServerKind::Vsftpd)
        return std::make_unique<TVsftpdServer>(options);
    return std::make_unique<TPyftpdServer>(options);
}

// ---- TTestFtpServer ----

TTestFtpServer::TTestFtpServer(TServerKind kind, std::string user, std::string password,
                               TServerOptions options)
    : FKind(kind), FUser(std::move(user)), FPassword(std::move(password)), FOptions(options),
      FFolder(TemporaryBase() + "/ferrow-" + QString::fromStdString(::KindName(kind)) +
              "-XXXXXX")
{
    if (!FFolder.isValid())
        throw std::runtime_error("cannot create a temporary folder: " +
                                 FFolder.errorString().toStdString());
    FRoot = FFolder.filePath("root");
    if (!QDir().mkdir(FRoot))
        throw std::runtime_error("cannot create " + FRoot.toStdString());
    // Sessions of other users (vsftpd's, anonymous) must get through to the root.
    ::chmod(QFile::encodeName(FFolder.path()).constData(), 0755);
    ::chmod(QFile::encodeName(FRoot).constData(), 0755);
}

TTestFtpServer::~TTestFtpServer()
{
    Stop();
}

void TTestFtpServer::Start()
{
    std::string reasons;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        try {
            FPorts = std::make_unique<TPortBlock>();
            Launch(*FPorts);
            return;
        } catch (const std::exception &error) {
            Stop();
            reasons += "\n  attempt " + std::to_string(attempt) + ": " + error.what();
        }
    }
    throw std::runtime_error(KindName() + " test server did not start:" + reasons);
}

void TTestFtpServer::Spawn(const std::vector<std::string> &argv)
{
    FProcess = std::make_unique<TChildProcess>(argv, OutputLog().toStdString());
}

void TTestFtpServer::Stop()
{
    FProcess.reset();
}

std::string TTestFtpServer::ExitDescription() const
{
    return FProcess ? FProcess->ExitDescription() : "not started";
}

bool TTestFtpServer::IsRunning() const
{
    return FProcess && FProcess->IsRunning();
}

std::vector<pid_t> TTestFtpServer::Processes() const
{
    return FProcess ? ProcessTree(FProcess->Pid()) : std::vector<pid_t>{};
}

std::uint16_t TTestFtpServer::FirstPassivePort() const
{
    return static_cast<std::uint16_t>(FPorts->First() + 1);
}

std::uint16_t TTestFtpServer::LastPassivePort() const
{
    return FPorts->Last();
}

void TTestFtpServer::ThrowWithOutput(const std::string &what) const
{
    const std::string output = ReadTail(OutputLog());
    throw std::runtime_error(what + (output.empty() ? " (no output)" : "; its output:\n" + output));
}

std::string TTestFtpServer::WaitForWelcome(std::uint16_t port)
{
    const TDeadline deadline = DeadlineIn(StartTimeout);
    std::string lastError = "no attempt";
    while (MillisecondsLeft(deadline) > 0) {
        if (!FProcess->IsRunning())
            ThrowWithOutput(KindName() + " " + ExitDescription());
        // Short waits, so that a server that died meanwhile is noticed (a listener
        // of another program on the port would accept but never answer).
        TRawFtpClient probe(std::chrono::milliseconds(std::min(MillisecondsLeft(deadline), 1000)));
        if (probe.Connect(Host(), port)) {
            const std::string welcome = probe.ReadReply();
            if (TRawFtpClient::Code(welcome) == 220)
                return welcome.substr(0, welcome.find('\n'));
            if (!welcome.empty())
                ThrowWithOutput("unexpected welcome on port " + std::to_string(port) + ": " +
                                welcome);
        }
        lastError = probe.LastError();
        std::this_thread::sleep_for(20ms);
    }
    ThrowWithOutput("no welcome on port " + std::to_string(port) + " within " +
                    std::to_string(StartTimeout.count()) + " s (" + lastError + ")");
}

QByteArray TTestFtpServer::ProtocolLogText() const
{
    QFile file(ProtocolLog());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TTestFtpServer::PutFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = LocalPath(relativePath);
    const QString newTop = FirstMissing(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw std::runtime_error("cannot create the folder of " + path.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    file.close();
    HandOver(newTop.isEmpty() ? path : newTop);
    return path;
}

QString TTestFtpServer::MakeFolder(const QString &relativePath)
{
    const QString path = LocalPath(relativePath);
    const QString newTop = FirstMissing(path);
    if (!QDir().mkpath(path))
        throw std::runtime_error("cannot create " + path.toStdString());
    if (!newTop.isEmpty())
        HandOver(newTop);
    return path;
}

void TTestFtpServer::HandOver(const QString &) const
{
    // The sessions run as the test's own user.
}

// ---- TPyftpdServer ----

TPyftpdServer::TPyftpdServer(TServerOptions options)
    : TTestFtpServer(TServerKind::Pyftpdlib, TestUser, TestPassword, options)
{
    Start();
}

void TPyftpdServer::Launch(const TPortBlock &)
{
    std::vector<std::string> argv{Python,
                                  PyftpdScript(),
                                  "--port",
                                  "0",
                                  "--root",
                                  Root().toStdString(),
                                  "--user",
                                  User(),
                                  "--password",
                                  Password(),
                                  "--passive-ports",
                                  std::to_string(FirstPassivePort()) + "-" +
                                      std::to_string(LastPassivePort()),
                                  "--log",
                                  ProtocolLog().toStdString()};
    if (AnonymousEnabled())
        argv.insert(argv.end(), {"--anonymous-root", Root().toStdString()});
    Spawn(argv);

    // Binding port 0 in the server itself leaves no window for another process.
    const TDeadline deadline = DeadlineIn(StartTimeout);
    for (;;) {
        QFile output(OutputLog());
        if (output.open(QIODevice::ReadOnly)) {
            while (!output.atEnd()) {
                const QByteArray line = output.readLine().trimmed();
                if (!line.startsWith("ready "))
                    continue;
                const QList<QByteArray> fields = line.split(' ');
                const QByteArray banner = line.mid(line.indexOf(' ', 6) + 1);
                FPort = static_cast<std::uint16_t>(fields.value(1).toUInt());
                const std::string welcome = WaitForWelcome(FPort);
                if (welcome != "220 " + banner.toStdString())
                    ThrowWithOutput("unexpected welcome: " + welcome);
                FBanner = welcome;
                return;
            }
        }
        if (!IsRunning())
            ThrowWithOutput("pyftpdlib server " + ExitDescription());
        if (MillisecondsLeft(deadline) == 0)
            ThrowWithOutput("pyftpdlib server did not report its port");
        std::this_thread::sleep_for(20ms);
    }
}

// ---- TVsftpdServer ----

std::string TVsftpdServer::Binary()
{
    if (const char *configured = std::getenv("FERROW_VSFTPD"); configured && *configured)
        return configured;
    const std::string unpacked = FERROW_SOURCE_DIR "/.deps/vsftpd/usr/sbin/vsftpd";
    return IsExecutable(unpacked) ? unpacked : "/usr/sbin/vsftpd";
}

TVsftpdServer::TVsftpdServer(TServerOptions options)
    : TTestFtpServer(TServerKind::Vsftpd, TestUser, TestPassword, options)
{
    if (const std::string reason = UnavailableReason(TServerKind::Vsftpd); !reason.empty())
        throw std::runtime_error(reason);
    EnsureVsftpdSetup();
    HandOver(Root());
    // Used before login; must be empty and root's.
    const QString empty = Folder() + "/empty";
    if (!QDir().mkdir(empty))
        throw std::runtime_error("cannot create " + empty.toStdString());
    Start();
}

void TVsftpdServer::HandOver(const QString &path) const
{
    const passwd *account = ::getpwnam(TestUser);
    if (!account)
        throw std::runtime_error(std::string("no account ") + TestUser);
    const uid_t uid = account->pw_uid;
    const gid_t gid = account->pw_gid;
    auto give = [&](const QString &entry) {
        if (::lchown(QFile::encodeName(entry).constData(), uid, gid) != 0)
            throw std::runtime_error("cannot hand over " + entry.toStdString() + ": " +
                                     ErrnoText(errno));
    };
    give(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        give(it.next());
}

void TVsftpdServer::Launch(const TPortBlock &ports)
{
    const QString userList = Folder() + "/userlist";
    // Without the list every system account with a password could log in.
    WriteIfDifferent(userList, QByteArray(TestUser) + "\nanonymous\nftp\n");

    const std::string folder = Folder().toStdString();
    const std::vector<std::pair<std::string, std::string>> settings{
        {"listen", "YES"},
        {"listen_ipv6", "NO"},
        {"listen_address", "127.0.0.1"},
        {"listen_port", std::to_string(ports.First())},
        {"background", "NO"},
        {"local_enable", "YES"},
        {"write_enable", "YES"},
        {"local_umask", "022"},
        {"local_root", Root().toStdString()},
        {"chroot_local_user", "YES"},
        {"allow_writeable_chroot", "YES"},
        {"userlist_enable", "YES"},
        {"userlist_deny", "NO"},
        {"userlist_file", userList.toStdString()},
        {"pam_service_name", PamService},
        {"anonymous_enable", AnonymousEnabled() ? "YES" : "NO"},
        {"anon_root", Root().toStdString()},
        {"no_anon_password", "YES"},
        {"anon_upload_enable", "NO"},
        {"anon_mkdir_write_enable", "NO"},
        {"anon_other_write_enable", "NO"},
        {"ftp_username", AnonymousAccount},
        {"pasv_enable", "YES"},
        {"pasv_min_port", std::to_string(FirstPassivePort())},
        {"pasv_max_port", std::to_string(LastPassivePort())},
        {"pasv_address", "127.0.0.1"},
        {"port_enable", "YES"},
        {"connect_from_port_20", "NO"},
        // Without these every session dies at once on this kind of machine.
        {"seccomp_sandbox", "NO"},
        {"isolate", "NO"},
        {"isolate_network", "NO"},
        {"delay_failed_login", "0"},
        {"delay_successful_login", "0"},
        {"secure_chroot_dir", folder + "/empty"},
        {"xferlog_enable", "YES"},
        {"xferlog_std_format", "NO"},
        {"log_ftp_protocol", "YES"},
        {"vsftpd_log_file", ProtocolLog().toStdString()},
        {"syslog_enable", "NO"},
        {"dirmessage_enable", "NO"},
        {"tcp_wrappers", "NO"},
        {"ssl_enable", "NO"},
        // Sessions whose client vanished must not live on for long.
        {"idle_session_timeout", "120"},
        {"data_connection_timeout", "120"},
        {"ascii_download_enable", TextModeEnabled() ? "YES" : "NO"},
        {"ascii_upload_enable", TextModeEnabled() ? "YES" : "NO"},
    };
    QByteArray config;
    for (const auto &[key, value] : settings)
        config += QByteArray::fromStdString(key + '=' + value + '\n');
    const QString configPath = Folder() + "/vsftpd.conf";
    QSaveFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size() || !file.commit())
        throw std::runtime_error("cannot write " + configPath.toStdString());

    Spawn({Binary(), configPath.toStdString()});
    FPort = ports.First();
    FBanner = WaitForWelcome(FPort);
}
