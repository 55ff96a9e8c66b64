// Deleting a tree from vsftpd on 127.0.0.1 through the remote view, against lftp's
// "rm -r" on the same tree: 2,000 files of 1 KiB in 20 folders, made anew before every
// run. Each run covers connecting, logging in and the whole delete, for both clients.
// Prints the medians of interleaved runs and their ratio.
//
// Environment: FERROW_BENCH_RUNS (default 5), FERROW_BENCH_FOLDERS (20),
// FERROW_BENCH_FILES_PER_FOLDER (100), FERROW_VSFTPD. Needs root (vsftpd) and lftp.

#include "engine/FTPComp.h"
#include "views/FileList.h"
#include "views/HostView.h"

#include "tests/support/EventLoop.h"
#include "tests/support/FtpServers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

int EnvNumber(const char *name, int fallback)
{
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number > 0 ? number : fallback;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void MakeTree(const TTestFtpServer &server, int folders, int files)
{
    const QByteArray content(1024, 'x');
    for (int folder = 0; folder < folders; ++folder) {
        const QString path =
            server.LocalPath(QStringLiteral("tree/d%1").arg(folder, 2, 10, QLatin1Char('0')));
        QDir().mkpath(path);
        for (int file = 0; file < files; ++file) {
            QFile out(QStringLiteral("%1/f%2.bin").arg(path).arg(file, 4, 10, QLatin1Char('0')));
            if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
                throw std::runtime_error("cannot write " + out.fileName().toStdString());
        }
    }
    server.HandOver(server.LocalPath(QStringLiteral("tree")));
}

bool TreeGone(const TTestFtpServer &server)
{
    return !QFileInfo::exists(server.LocalPath(QStringLiteral("tree")));
}

// Seconds from Connect to the listing that no longer shows the tree.
double DeleteWithFerrow(const TTestFtpServer &server)
{
    const auto start = TClock::now();
    THostView view;
    view.resize(600, 400);
    view.show();
    view.FTP().SetPassive(true);
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QString::fromStdString(server.User()),
                 QString::fromStdString(server.Password()), QString(), QStringLiteral("/"), QString());
    const auto shown = [&view] {
        return view.Connected() && view.FolderBytes() == "/" && view.ListingCache().HasListing("/")
               && !view.BuildingList() && !view.WaitingForFolder() && !view.EngineBusy();
    };
    if (!WaitUntil(shown))
        throw std::runtime_error("Ferrow did not show the server's root");
    for (int row = 0; row < view.ItemCount(); ++row) {
        if (view.GetItemName(view.ListView()->Item(row)) == QLatin1String("tree"))
            view.ListView()->SelectRow(row);
    }
    if (view.SelectedCount() != 1 || !view.DeleteSelected(false))
        throw std::runtime_error("Ferrow did not start the delete");
    if (!WaitUntil([&] { return !view.Deleting() && shown() && view.ItemCount() == 0; }))
        throw std::runtime_error("Ferrow's delete did not end");
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (!TreeGone(server))
        throw std::runtime_error("Ferrow left the tree on the server");
    return seconds;
}

double DeleteWithLftp(const TTestFtpServer &server)
{
    const QString script =
        QStringLiteral("set cmd:interactive false; set net:max-retries 1; set ftp:ssl-allow no; "
                       "open -u %1,%2 -p %3 127.0.0.1; rm -r /tree")
            .arg(QString::fromStdString(server.User()), QString::fromStdString(server.Password()))
            .arg(server.Port());
    const auto start = TClock::now();
    QProcess lftp;
    lftp.start(QStringLiteral("lftp"), {QStringLiteral("-c"), script});
    if (!lftp.waitForFinished(600000) || lftp.exitCode() != 0)
        throw std::runtime_error("lftp failed: " + lftp.readAllStandardError().toStdString());
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (!TreeGone(server))
        throw std::runtime_error("lftp left the tree on the server");
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (const std::string reason = UnavailableReason(TServerKind::Vsftpd); !reason.empty()) {
        std::printf("delete benchmark skipped: %s\n", reason.c_str());
        return 0;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("lftp")).isEmpty()) {
        std::printf("delete benchmark skipped: lftp is not installed\n");
        return 0;
    }
    const int runs = EnvNumber("FERROW_BENCH_RUNS", 5);
    const int folders = EnvNumber("FERROW_BENCH_FOLDERS", 20);
    const int files = EnvNumber("FERROW_BENCH_FILES_PER_FOLDER", 100);
    try {
        TVsftpdServer server;
        std::vector<double> ferrow;
        std::vector<double> lftp;
        for (int run = 1; run <= runs; ++run) {
            // Each client goes first in every other run.
            for (int turn = 0; turn < 2; ++turn) {
                MakeTree(server, folders, files);
                const bool ferrowTurn = (turn + run) % 2 == 0;
                const double seconds = ferrowTurn ? DeleteWithFerrow(server) : DeleteWithLftp(server);
                (ferrowTurn ? ferrow : lftp).push_back(seconds);
                std::printf("  run %d: %-6s %.3f s\n", run, ferrowTurn ? "ferrow" : "lftp", seconds);
                std::fflush(stdout);
            }
        }
        const double mine = Median(ferrow);
        const double theirs = Median(lftp);
        std::printf("\ndelete benchmark: %d files of 1 KiB in %d folders from vsftpd on 127.0.0.1, "
                    "connect to done, medians of %d interleaved runs\n",
                    folders * files, folders, runs);
        std::printf("ferrow %.3f s   lftp %.3f s   ferrow/lftp %.2f\n", mine, theirs, mine / theirs);
        if (mine > theirs)
            std::printf("TARGET MISSED: Ferrow slower than lftp\n");
    } catch (const std::exception &error) {
        std::fprintf(stderr, "delete benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
