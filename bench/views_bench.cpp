// The remote view with a large folder: a generated folder of 100,000 entries on a local
// pyftpdlib server, shown, sorted and filtered by a real THostView (offscreen); the heap
// the view needs per entry on top of the listing; and the longest stretch without event
// processing while the folder is shown, which is what the user feels as a freeze.

#include "engine/FTPComp.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FtpServers.h"
#include "views/FileList.h"
#include "views/HostListModel.h"
#include "views/HostView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// FERROW_BENCH_ENTRIES overrides the number of entries.
const int EntryCount = qEnvironmentVariableIsSet("FERROW_BENCH_ENTRIES")
    ? qEnvironmentVariableIntValue("FERROW_BENCH_ENTRIES")
    : 100000;
constexpr int FolderEvery = 500; // one folder per this many entries
constexpr double BytesPerEntryTarget = 400;

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// Files with varied names, extensions and sizes (sparse, so they cost no disk).
bool MakeBigFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    static const char *const Extensions[] = {".txt", ".bin", ".html", ".jpg", ".c", ".zq9"};
    for (int i = 0; i < EntryCount; ++i) {
        const QString name = QStringLiteral("%1/entry-%2%3")
                                 .arg(folder)
                                 .arg((i * 7919) % EntryCount, 6, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(Extensions[i % 6]));
        const QByteArray path = QFile::encodeName(name);
        if (i % FolderEvery == 0) {
            if (::mkdir(path.constData(), 0755) != 0)
                return false;
            continue;
        }
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const bool sized = ::ftruncate(fd, off_t((i * 2654435761u) % 50000000u)) == 0;
        ::close(fd);
        if (!sized)
            return false;
    }
    return true;
}

// Listing 100,000 entries may take minutes on a slow machine.
constexpr std::chrono::minutes ListingLimit{10};

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool Shows(const THostView &view, const std::string &folder)
{
    const auto listing = view.ListingCache().Listing(folder);
    return listing && view.FolderBytes() == folder && view.Model()->Listing() == listing && !view.BuildingList();
}

// Bytes the listing holds on the heap: its records and its names.
std::size_t ListingBytes(const TDirListing &listing)
{
    return listing.capacity() * sizeof(TListItem) + listing.NameBlockBytes();
}

// Measures the longest gap between two turns of the event loop while `work` runs.
class TStallMeter
{
public:
    TStallMeter()
    {
        FTimer.setInterval(1);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            const qint64 now = FClock.elapsed();
            FLongest = std::max(FLongest, now - FLast);
            FLast = now;
        });
    }
    void Start()
    {
        FLongest = 0;
        FClock.start();
        FLast = 0;
        FTimer.start();
    }
    qint64 Stop()
    {
        FTimer.stop();
        return std::max(FLongest, FClock.elapsed() - FLast);
    }

private:
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FLast = 0;
    qint64 FLongest = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (const std::string why = UnavailableReason(TServerKind::Pyftpdlib); !why.empty()) {
        std::printf("views_bench: skipped: %s\n", why.c_str());
        return 0;
    }
    TPyftpdServer server;
    server.PutFile("small/one.txt", "1");
    QElapsedTimer timer;
    timer.start();
    if (!MakeBigFolder(server.LocalPath("big"))) {
        std::printf("views_bench: cannot create the generated folder\n");
        return 1;
    }
    std::printf("views_bench: %d entries generated in %lld ms\n", EntryCount, timer.elapsed());

    THostView view;
    view.resize(900, 600);
    view.show();
    view.FTP().SetPassive(true);
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QString::fromStdString(server.User()),
                 QString::fromStdString(server.Password()), QString(), QStringLiteral("/small"), QString());
    if (!WaitUntil([&] { return Shows(view, "/small/"); }, ListingLimit)) {
        std::printf("views_bench: could not connect\n");
        return 1;
    }
    Settle();

    // Showing: the server lists, the engine parses, the view fills.
    TStallMeter stalls;
    const std::size_t heapBefore = HeapInUse();
    timer.restart();
    stalls.Start();
    view.ChangeFolder(QStringLiteral("/big"));
    if (!WaitUntil([&] { return Shows(view, "/big/"); }, ListingLimit)) {
        std::printf("views_bench: the big folder was not shown\n");
        return 1;
    }
    const qint64 listAndShowMS = timer.elapsed();
    const qint64 listStallMS = stalls.Stop();
    Settle();
    const std::size_t heapAfter = HeapInUse();
    const auto listing = view.ListingCache().Listing("/big/");
    const std::size_t listingBytes = ListingBytes(*listing);
    const int entries = int(listing->size());
    const double viewBytesPerEntry =
        (double(heapAfter) - double(heapBefore) - double(listingBytes)) / double(entries);

    // Showing again from the cache: the view's own share.
    view.ChangeFolder(QStringLiteral("/small"));
    Settle();
    timer.restart();
    stalls.Start();
    view.ChangeFolder(QStringLiteral("/big"));
    WaitUntil([&] { return Shows(view, "/big/"); }, ListingLimit);
    const qint64 cachedShowMS = timer.elapsed();
    const qint64 fillStallMS = stalls.Stop();
    Settle();

    std::printf("views_bench: folder of %d entries (%d shown)\n", entries, view.ItemCount());
    std::printf("  list + parse + show from the server  %7lld ms\n", listAndShowMS);
    std::printf("  show from the cache                  %7lld ms\n", cachedShowMS);
    std::printf("  longest stall, showing from server   %7lld ms\n", listStallMS);
    std::printf("  longest stall, showing from cache    %7lld ms\n", fillStallMS);

    static const char *const ColumnNames[] = {"", "name", "size", "type", "date"};
    for (const int column : {2, 2, 3, 4, 1}) {
        timer.restart();
        view.ColumnClick(column);
        Settle();
        std::printf("  sort by %-4s %-10s               %7lld ms\n", ColumnNames[column],
                    view.SortColumn() > 0 ? "ascending" : "descending", timer.elapsed());
    }

    timer.restart();
    view.SetMask(QStringLiteral("*.txt"));
    Settle();
    const int filtered = view.ItemCount();
    std::printf("  filter *.txt (%6d shown)            %7lld ms\n", filtered, timer.elapsed());
    timer.restart();
    view.SetMask(QStringLiteral("*.*"));
    Settle();
    std::printf("  filter *.*   (%6d shown)            %7lld ms\n", view.ItemCount(), timer.elapsed());

    std::printf("  listing's own heap                   %7.1f bytes per entry\n", double(listingBytes) / entries);
    std::printf("  view's heap on top of the listing    %7.1f bytes per entry (target %.0f, ratio %.2f)\n",
                viewBytesPerEntry, BytesPerEntryTarget, viewBytesPerEntry / BytesPerEntryTarget);
    view.Disconnect();
    WaitUntil([&] { return !view.Connected(); }, std::chrono::seconds(10));
    return viewBytesPerEntry <= BytesPerEntryTarget ? 0 : 1;
}
