// The transfer queue against its peers: many small downloads from one folder of a local
// vsftpd (pyftpdlib when vsftpd cannot run here), by the queue, by lftp's mirror (with its
// defaults, and pipelined) and by one curl process reusing its connection; the queue also
// with its progress window and transfer manager, hidden and shown; then the queue's
// memory per waiting item, and the cost of the manager's rows as the queue grows.

#include "tests/support/FtpServers.h"
#include "transfers/Transfer.h"

#include <QCoreApplication>
#ifdef FERROW_BENCH_WINDOWS
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"

#include <QApplication>
#endif
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

// The progress window and the transfer manager watching a queue, as the program has them.
enum class TWindows { None, Hidden, Shown };

#ifdef FERROW_BENCH_WINDOWS
struct TQueueWindows
{
    TQueueWindows(TTransferItems &queue, bool shown)
        : Progress(queue)
        , Manager(queue, Progress)
    {
        if (shown) {
            Progress.show();
            Manager.show();
        }
    }
    TfrmTransfer Progress;
    TfrmTransferMngr Manager;
};
#else
struct TQueueWindows
{
    TQueueWindows(TTransferItems &, bool) {}
};
#endif

TResult RunQueue(const TTestFtpServer &server, const QString &localDir, TWindows windows = TWindows::None)
{
    TTransferItems queue;
    TTransferSettings settings;
    settings.Passive = true;
    queue.SetSettings(settings);
    std::optional<TQueueWindows> watching;
    if (windows != TWindows::None)
        watching.emplace(queue, windows == TWindows::Shown);
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

#ifdef FERROW_BENCH_WINDOWS
// A port that takes connections and never answers: the queue's first item waits there
// for its welcome, and every item after it stays pending.
class TSilentPort
{
public:
    TSilentPort()
    {
        FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (FSocket >= 0 && ::bind(FSocket, reinterpret_cast<sockaddr *>(&address), length) == 0
            && ::listen(FSocket, 4) == 0 && ::getsockname(FSocket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            FPort = ntohs(address.sin_port);
    }
    ~TSilentPort()
    {
        if (FSocket >= 0)
            ::close(FSocket);
    }
    TSilentPort(const TSilentPort &) = delete;
    TSilentPort &operator=(const TSilentPort &) = delete;
    int Port() const { return FPort; }

private:
    int FSocket = -1;
    int FPort = 0;
};

// Rows of the shown transfer manager: the time to add one as the queue grows, and its
// memory beside the queue's own.
void MeasureManagerRows()
{
    constexpr int Total = 100000;
    constexpr int Chunk = 1000;
    TSilentPort silent;
    if (silent.Port() == 0) {
        std::printf("Transfer manager rows: no silent port\n");
        return;
    }
    const auto makeItem = [&silent](int i) {
        auto item = std::make_unique<TTransferItem>();
        item->Host = "127.0.0.1";
        item->Port = silent.Port();
        item->UserName = "someuser";
        item->Password = "some-password";
        item->SourceFolder = "/pub/releases/2024/source/";
        item->DestFolder = "/home/someuser/Downloads/releases/";
        item->Name = QStringLiteral("package-%1.tar.gz").arg(i, 6, 10, QLatin1Char('0')).toStdString();
        item->Size = 123456789;
        return item;
    };
    // Heap per item of a queue alone and of a queue with the manager shown; the time of
    // each chunk of adds, with the events that make and paint the rows.
    const auto fill = [&](bool withWindows, std::vector<double> *chunkSeconds) {
        auto queue = std::make_unique<TTransferItems>();
        std::optional<TQueueWindows> windows;
        if (withWindows)
            windows.emplace(*queue, true);
        QCoreApplication::processEvents();
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        QElapsedTimer timer;
        for (int i = 0; i < Total; i += Chunk) {
            timer.start();
            for (int j = i; j < i + Chunk; ++j) {
                auto item = makeItem(j);
                queue->Add(item);
            }
            QCoreApplication::processEvents();
            if (chunkSeconds)
                chunkSeconds->push_back(double(timer.nsecsElapsed()) / 1e9);
        }
        const double perItem = double(mallinfo2().uordblks - before) / Total;
        windows.reset();
        queue.reset();
        return perItem;
    };
    const double queueOnly = fill(false, nullptr);
    std::vector<double> chunks;
    const double withManager = fill(true, &chunks);
    // The three chunks that end at 10,000 and at 100,000 items.
    const auto perRow = [&chunks](int endingAt) {
        const int last = endingAt / Chunk - 1;
        return Median({chunks[std::size_t(last - 2)], chunks[std::size_t(last - 1)], chunks[std::size_t(last)]})
               / Chunk * 1e6;
    };
    const double at10k = perRow(10000);
    const double at100k = perRow(Total);
    std::printf("Transfer manager shown, %d items added in chunks of %d: %.2f us/row at 10,000, %.2f us/row at "
                "100,000; ratio %.2f (target <= 1.5: %s)\n",
                Total, Chunk, at10k, at100k, at100k / at10k, at100k / at10k <= 1.5 ? "met" : "MISSED");
    std::printf("Transfer manager memory: %.0f bytes/row beside the queue's %.0f bytes/item\n",
                withManager - queueOnly, queueOnly);
}
#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef FERROW_BENCH_WINDOWS
    // The windows are measured as real widgets, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
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
    std::vector<double> queueRates, lftpRates, pipelinedRates, curlRates, hiddenRates, shownRates;
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
#ifdef FERROW_BENCH_WINDOWS
            [&] { record(RunQueue(*server, dir("windows-hidden"), TWindows::Hidden), hiddenRates); },
            [&] { record(RunQueue(*server, dir("windows-shown"), TWindows::Shown), shownRates); },
#endif
        };
        // FERROW_BENCH_CLIENT=N runs only client N (0 the queue, 1 lftp, 2 pipelined lftp,
        // 3 curl, 4 the queue with its windows hidden, 5 shown), for profiling it.
        const int only =
            qEnvironmentVariableIsSet("FERROW_BENCH_CLIENT") ? qEnvironmentVariableIntValue("FERROW_BENCH_CLIENT") : -1;
        for (std::size_t i = 0; i < std::size(clients); ++i) {
            const std::size_t client = (std::size_t(run) + i) % std::size(clients);
            if (only < 0 || std::size_t(only) == client)
                clients[client]();
        }
        const auto last = [](const std::vector<double> &rates) { return rates.empty() ? 0.0 : rates.back(); };
        std::printf("  run %d: Ferrow %.1f (windows hidden %.1f, shown %.1f), lftp %.1f, lftp pipelined %.1f, "
                    "curl %.1f files/s\n",
                    run + 1, last(queueRates), last(hiddenRates), last(shownRates), last(lftpRates),
                    last(pipelinedRates), last(curlRates));
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
#ifdef FERROW_BENCH_WINDOWS
    // The windows must cost the queue nothing a user would notice.
    if (!hiddenRates.empty() && !shownRates.empty()) {
        const double hidden = Median(hiddenRates);
        const double shown = Median(shownRates);
        const double lftp = Median(lftpRates);
        std::printf("  Ferrow, windows hidden: %7.1f files/s\n", hidden);
        std::printf("  Ferrow, windows shown:  %7.1f files/s   shown / hidden: %.2fx (target >= 0.95: %s)", shown,
                    shown / hidden, shown >= 0.95 * hidden ? "met" : "MISSED");
        if (!lftpRates.empty())
            std::printf("   shown / lftp: %.2fx (target >= 1.00: %s)", shown / lftp, shown >= lftp ? "met" : "MISSED");
        std::printf("\n");
    }
#endif

    server.reset();
    MeasureMemory();
#ifdef FERROW_BENCH_WINDOWS
    MeasureManagerRows();
#endif
    return 0;
}
