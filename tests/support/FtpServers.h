#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/PortBlock.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Real FTP servers for tests, each started on 127.0.0.1 for one test and stopped when
// the object goes away:
//
//     TEST(Listing, ShowsUploadedFile)
//     {
//         FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Vsftpd);
//         TVsftpdServer server;                       // throws when it cannot start
//         server.PutFile("docs/readme.txt", "hello");  // into server.Root(), owned by User()
//         // ... connect to server.Host():server.Port() as User()/Password() ...
//     }
//
// Every instance has its own free port, its own passive port range below 32768, and a
// fresh root folder that is removed with it. The user has full rights there; anonymous
// ("anonymous" or "ftp", any password) may read the same folder when enabled.
//
// Start-up waits until the server has sent its welcome; failures, with the server's own
// output, are thrown as std::runtime_error (gtest reports them as a failed test). The
// destructor stops the server and every session process it started. Create servers on
// the test's main thread: the server is killed when the creating thread ends, which is
// what keeps a crashed test from leaving servers behind.
//
// vsftpd needs root (PAM, system accounts, chroot): without root, or without its
// binary, FERROW_SKIP_UNLESS_AVAILABLE skips the test with the reason. Its sessions run
// as the system account "ferrowtest" (created on first use, with this fixture's fixed
// password) and anonymous ones as "ftp"; a file a test puts into Root() itself must be
// passed to HandOver() before that user can write to it (PutFile and MakeFolder do it).

enum class TServerKind { Pyftpdlib, Vsftpd };

std::string KindName(TServerKind kind);
inline void PrintTo(TServerKind kind, std::ostream *out) { *out << KindName(kind); }
// Why servers of this kind cannot run here; empty when they can.
std::string UnavailableReason(TServerKind kind);

#define FERROW_SKIP_UNLESS_AVAILABLE(kind)                                                   \
    do {                                                                                     \
        if (const std::string ferrowReason = UnavailableReason(kind); !ferrowReason.empty()) \
            GTEST_SKIP() << ferrowReason;                                                    \
    } while (false)

struct TServerOptions
{
    bool Anonymous = true; // anonymous read-only access to Root()
    // vsftpd changes line ends in TYPE A only when told to; pyftpdlib always does.
    bool TextMode = false;
};

class TTestFtpServer
{
public:
    virtual ~TTestFtpServer();
    TTestFtpServer(const TTestFtpServer &) = delete;
    TTestFtpServer &operator=(const TTestFtpServer &) = delete;

    TServerKind Kind() const { return FKind; }
    std::string KindName() const { return ::KindName(FKind); }

    std::string Host() const { return "127.0.0.1"; }
    std::uint16_t Port() const { return FPort; }
    std::string User() const { return FUser; }
    std::string Password() const { return FPassword; }
    bool AnonymousEnabled() const { return FOptions.Anonymous; }
    bool TextModeEnabled() const { return FOptions.TextMode; }
    // First line of the welcome reply without its line end, e.g. "220 (vsFTPd 3.0.3)".
    std::string Banner() const { return FBanner; }
    std::uint16_t FirstPassivePort() const;
    std::uint16_t LastPassivePort() const;

    // Local path of the served root folder ("/" of the user's and anonymous sessions).
    QString Root() const { return FRoot; }
    QString LocalPath(const QString &relativePath) const { return FRoot + '/' + relativePath; }
    // The server's record of the whole dialogue (commands and replies).
    QString ProtocolLog() const { return FFolder.filePath("protocol.log"); }
    QByteArray ProtocolLogText() const;

    // Writes a file below Root(), creating missing folders, all handed over to the
    // server's user; returns its local path. Throws when it cannot be written.
    QString PutFile(const QString &relativePath, const QByteArray &content);
    QString MakeFolder(const QString &relativePath);
    // Gives a file or folder below Root() (recursively, links themselves not their
    // targets) to the user the sessions run as, so uploads, renames and deletes work.
    virtual void HandOver(const QString &path) const;

    // The listener's process id, and it with every session process it has started.
    pid_t Pid() const { return FProcess ? FProcess->Pid() : -1; }
    std::vector<pid_t> Processes() const;
    bool IsRunning() const;
    // Stops the server now (tests of a server that goes away); idempotent.
    void Stop();

protected:
    TTestFtpServer(TServerKind kind, std::string user, std::string password,
                   TServerOptions options);

    // Up to three attempts, each on a fresh port block. Call from the derived constructor.
    void Start();
    // Starts the program for the given ports, fills FPort and FBanner via
    // WaitForWelcome(); throws std::runtime_error with the reason.
    virtual void Launch(const TPortBlock &ports) = 0;
    void Spawn(const std::vector<std::string> &argv);
    // Connects until the server answers, returns the first line of its welcome.
    std::string WaitForWelcome(std::uint16_t port);
    [[noreturn]] void ThrowWithOutput(const std::string &what) const;
    std::string ExitDescription() const;
    QString OutputLog() const { return FFolder.filePath("output.log"); }
    QString Folder() const { return FFolder.path(); }

    std::uint16_t FPort = 0;
    std::string FBanner;

private:
    const TServerKind FKind;
    const std::string FUser;
    const std::string FPassword;
    const TServerOptions FOptions;
    QTemporaryDir FFolder;
    QString FRoot;
    std::unique_ptr<TPortBlock> FPorts;
    std::unique_ptr<TChildProcess> FProcess;
};

// pyftpdlib, run as the test's own user; no chroot, so it refuses links that leave Root().
class TPyftpdServer : public TTestFtpServer
{
public:
    explicit TPyftpdServer(TServerOptions options = {});

protected:
    void Launch(const TPortBlock &ports) override;
};

// vsftpd, chrooted into Root(), sessions as the system account User().
class TVsftpdServer : public TTestFtpServer
{
public:
    explicit TVsftpdServer(TServerOptions options = {});

    void HandOver(const QString &path) const override;

    // The vsftpd binary: $FERROW_VSFTPD, else the unpacked copy under .deps/, else
    // /usr/sbin/vsftpd.
    static std::string Binary();

protected:
    void Launch(const TPortBlock &ports) override;
};

// For tests run against each kind of server (TEST_P over TServerKind).
std::unique_ptr<TTestFtpServer> StartTestServer(TServerKind kind, TServerOptions options = {});
