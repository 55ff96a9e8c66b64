// The transfer queue against its peers: many small downloads from one folder of a local
// vsftpd (pyftpdlib when vsftpd cannot run here), by the queue, by lftp's mirror (with its
// defaults, and pipelined) and by one curl process reusing its connection; then the
// queue's memory per waiting item.

#include "tests/support/FtpServers.h"
#include "transfers/Transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// FERROW_BENCH_FILES overrides the number of files.
const int FileCount = qEnvironmentVariableIsSet("FERROW_BENCH_FILES") ? qEnvironmentVariableIntValue("FERROW_BENCH_FILES") : 2000;
constexpr int FileSize = 4096;
// FERROW_BENCH_RUNS overrides the number of rounds (each client once per round).
const int Runs = qEnvironmentVariableIsSet("FERROW_BENCH_RUNS") ? qEnvironmentVariableIntValue("FERROW_BENCH_RUNS") : 3;
constexpr int MemoryItems = 100000;
const QString Folder = QStringLiteral("many");

QString FileName(int i)
{
    return QStringLiteral("f%1.bin").arg(i, 5, 10, QLatin1Char('0'));
}

// Files in `dir` that have the expected size.
int CompleteFiles(const QString &dir)
{
    int complete = 0;
    for (int i = 0; i < FileCount; ++i)
        complete += QFileInfo(dir + '/' + FileName(i)).size() == FileSize ? 1 : 0;
    return complete;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct TResult
{
    double Seconds = 0;
    int Files = 0;
    double FilesPerSecond() const { return Seconds > 0 ? Files / Seconds : 0; }
};

TResult RunQueue(const TTestFtpServer &server, const QString &localDir)
{
    TTransferItems queue;
    TTransferSettings settings;
    settings.Passive = true;
    queue.SetSettings(settings);
    std::string dest = QDir(localDir).absolutePath().toStdString() + '/';

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < FileCount; ++i) {
        auto item = std::make_unique<TTransferItem>();
        item->Host = server.Host();
        item->Port = server.Port();
        item->UserName = server.User();
        item->Password = server.Password();
        item->SourceFolder = "/" + Folder.toStdString() + "/";
        item->DestFolder = dest;
        item->Name = FileName(i).toStdString();
        item->Size = FileSize;
        item->Direction = tdDownload;
        queue.Add(item);
    }
    while (!queue.IsIdle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TResult result;
    result.Seconds = double(timer.nsecsElapsed()) / 1e9;
    result.Files = CompleteFiles(localDir);
    if (queue.CountOf(tsDone) != FileCount)
        std::printf("  queue: %lld of %d items done\n", static_cast<long long>(queue.CountOf(tsDone)), FileCount);
    return result;
}

std::optional<TResult> RunProcess(const QString &program, const QStringList &arguments, const QString &localDir)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    process.waitForFinished(600000);
    TResult result;
    result.Seconds = double(timer.nsecsElapsed()) / 1e9;
    result.Files = CompleteFiles(localDir);
    if (process.exitCode() != 0)
        std::printf("  %s exited with %d: %s\n", qPrintable(program), process.exitCode(),
                    process.readAll().left(300).constData());
    return result;
}

// lftp's own defaults send one command at a time; `pipelined` lets it write the next
// commands before the replies to the earlier ones (its ftp:sync-mode off).
std::optional<TResult> RunLftp(const TTestFtpServer &server, const QString &localDir, bool pipelined)
{
    const QString script = QStringLiteral("set net:max-retries 1; set ftp:passive-mode on; "
                                          "set ftp:ssl-allow no; set ftp:sync-mode %1; "
                                          "open -u %2,%3 -p %4 %5; mirror /%6 %7; quit")
                               .arg(pipelined ? QStringLiteral("off") : QStringLiteral("on"))
                               .arg(QString::fromStdString(server.User()), QString::fromStdString(server.Password()))
                               .arg(server.Port())
                               .arg(QString::fromStdString(server.Host()), Folder, localDir);
    return RunProcess(QStringLiteral("lftp"), {QStringLiteral("-c"), script}, localDir);
}

std::optional<TResult> RunCurl(const TTestFtpServer &server, const QString &localDir)
{
    // All the URLs on one command line: curl fetches them over one connection, with one
    // CWD per file instead of one per folder level (its quickest way here).
    QStringList arguments{QStringLiteral("-s"),
                          QStringLiteral("-S"),
                          QStringLiteral("--ftp-method"),
                          QStringLiteral("singlecwd"),
                          QStringLiteral("-u"),
                          QString::fromStdString(server.User() + ':' + server.Password()),
                          QStringLiteral("--output-dir"),
                          localDir,
                          QStringLiteral("--remote-name-all")};
    for (int i = 0; i < FileCount; ++i)
        arguments << QStringLiteral("ftp://%1:%2/%3/%4")
                         .arg(QString::fromStdString(server.Host()))
                         .arg(server.Port())
                         .arg(Folder, FileName(i));
    return RunProcess(QStringLiteral("curl"), arguments, localDir);
}

long ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

void MeasureMemory()
{
    // Items wait behind a first one whose engine tries a port where nothing listens; no
    // events are processed while they are added, so none of them starts.
    auto queue = std::make_unique<TTransferItems>();
    const auto makeItem = [](int i) {
        auto item = std::make_unique<TTransferItem>();
        item->Host = "127.0.0.1";
        item->Port = 1;
        item->UserName = "someuser";
        item->Password = "some-password";
        item->SourceFolder = "/pub/releases/2024/source/";
        item->DestFolder = "/home/someuser/Downloads/releases/";
        item->Name = QStringLiteral("package-%1.tar.gz").arg(i, 6, 10, QLatin1Char('0')).toStdString();
        item->Size = 123456789;
        item->Date = TDateTime(45000.5 + i);
        return item;
    };
    auto first = makeItem(-1);
    queue->Add(first);

    malloc_trim(0);
    const std::size_t heapBefore = mallinfo2().uordblks;
    const long rssBefore = ResidentKiB();
    for (int i = 0; i < MemoryItems; ++i) {
        auto item = makeItem(i);
        queue->Add(item);
    }
    const std::size_t heapAfter = mallinfo2().uordblks;
    const long rssAfter = ResidentKiB();
    const double heapPerItem = double(heapAfter - heapBefore) / MemoryItems;
    const double rssPerItem = double(rssAfter - rssBefore) * 1024.0 / MemoryItems;
    std::printf("Queue memory: %d pending items: heap %.0f bytes/item, RSS %.0f bytes/item "
                "(target <= 2048: %s)\n",
                MemoryItems, heapPerItem, rssPerItem, heapPerItem <= 2048 && rssPerItem <= 2048 ? "met" : "MISSED");
    queue.reset();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TFTPComponent::RetryCount = 1;

    std::unique_ptr<TTestFtpServer> server;
    try {
        if (UnavailableReason(TServerKind::Vsftpd).empty()) {
            server = StartTestServer(TServerKind::Vsftpd, TServerOptions{false});
        } else {
            std::printf("vsftpd unavailable (%s); using pyftpdlib\n", UnavailableReason(TServerKind::Vsftpd).c_str());
            server = StartTestServer(TServerKind::Pyftpdlib, TServerOptions{false});
        }
    } catch (const std::exception &error) {
        std::printf("transfers_bench: no FTP server: %s\n", error.what());
        return 1;
    }
    QByteArray content(FileSize, Qt::Uninitialized);
    for (int i = 0; i < FileCount; ++i) {
        for (char &c : content)
            c = char(QRandomGenerator::global()->bounded(256));
        server->PutFile(Folder + '/' + FileName(i), content);
    }

    std::printf("Transfer queue: %d files of %d bytes from %s on 127.0.0.1, one at a time; "
                "median of %d interleaved runs\n",
                FileCount, FileSize, server->KindName().c_str(), Runs);
    std::vector<double> queueRates, lftpRates, pipelinedRates, curlRates;
    bool complete = true;
    // Creating a file costs far more for half a minute after many were deleted (the file
    // system skips recently freed inodes), so nothing is deleted before the last run.
    std::vector<std::unique_ptr<QTemporaryDir>> works;
    for (int run = 0; run < Runs; ++run) {
        // Fresh folders each time, so no client finds files already there.
        const QTemporaryDir &work = *works.emplace_back(std::make_unique<QTemporaryDir>());
        const auto dir = [&work](const char *name) {
            const QString path = work.filePath(QString::fromLatin1(name));
            QDir().mkpath(path);
            return path;
        };
        const auto record = [](const std::optional<TResult> &result, std::vector<double> &rates) {
            if (result && result->Files == FileCount)
                rates.push_back(result->FilesPerSecond());
        };
        // Each run starts with another client, so none always goes first.
        const std::function<void()> clients[] = {
            [&] {
                const TResult queue = RunQueue(*server, dir("queue"));
                queueRates.push_back(queue.FilesPerSecond());
                complete = complete && queue.Files == FileCount;
            },
            [&] { record(RunLftp(*server, dir("lftp"), false), lftpRates); },
            [&] { record(RunLftp(*server, dir("lftp-pipelined"), true), pipelinedRates); },
            [&] { record(RunCurl(*server, dir("curl")), curlRates); },
        };
        // FERROW_BENCH_CLIENT=N runs only client N (0 the queue, 1 lftp, 2 pipelined lftp,
        // 3 curl), for profiling it.
        const int only =
            qEnvironmentVariableIsSet("FERROW_BENCH_CLIENT") ? qEnvironmentVariableIntValue("FERROW_BENCH_CLIENT") : -1;
        for (std::size_t i = 0; i < std::size(clients); ++i) {
            const std::size_t client = (std::size_t(run) + i) % std::size(clients);
            if (only < 0 || std::size_t(only) == client)
                clients[client]();
        }
        const auto last = [](const std::vector<double> &rates) { return rates.empty() ? 0.0 : rates.back(); };
        std::printf("  run %d: Ferrow %.1f, lftp %.1f, lftp pipelined %.1f, curl %.1f files/s\n", run + 1,
                    last(queueRates), last(lftpRates), last(pipelinedRates), last(curlRates));
    }
    const double queueRate = Median(queueRates);
    std::printf("  Ferrow queue:        %7.1f files/s%s\n", queueRate, complete ? "" : "  (files missing!)");
    const auto report = [queueRate](const char *label, const char *ratio, const std::vector<double> &rates,
                                    bool target) {
        if (rates.empty()) {
            std::printf("  %-20s not measured (missing or incomplete)\n", label);
            return;
        }
        std::printf("  %-20s %7.1f files/s   Ferrow / %s: %.2fx", label, Median(rates), ratio,
                    queueRate / Median(rates));
        if (target)
            std::printf(" (target >= 1.00: %s)", queueRate >= Median(rates) ? "met" : "MISSED");
        std::printf("\n");
    };
    report("lftp mirror:", "lftp", lftpRates, true);
    report("lftp, pipelined:", "pipelined lftp", pipelinedRates, false);
    report("curl, one process:", "curl", curlRates, false);

    server.reset();
    MeasureMemory();
    return 0;
}
