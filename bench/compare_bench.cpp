// Compare Folders on large folders: a generated folder on a local pyftpdlib server, shown
// by a real THostView, against a generated local folder of the same size. The figure is
// the comparison itself (both sides marked), not the listing; its time per entry should
// not grow with the folder.

#include "app/Compare.h"
#include "app/CompareForm.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FtpServers.h"
#include "views/HostView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Sizes[] = {10000, 100000};
constexpr double TargetMS = 1000;
constexpr double TargetPerEntryRatio = 1.5;
constexpr int Runs = 11;

// Sparse files (no disk cost). The local side writes every third name in capitals, lacks
// every 100th entry and holds every 7th one bigger, so all branches of the rule are taken.
bool MakeFolder(const QString &folder, int count, bool local)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < count; ++i) {
        if (local && i % 100 == 0)
            continue;
        QString name = QStringLiteral("entry-%1.txt").arg(i, 6, 10, QLatin1Char('0'));
        if (local && i % 3 == 0)
            name = name.toUpper();
        const QByteArray path = QFile::encodeName(folder + u'/' + name);
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const off_t size = off_t(i % 5000) + (local && i % 7 == 0 ? 1 : 0);
        const bool sized = ::ftruncate(fd, size) == 0;
        ::close(fd);
        if (!sized)
            return false;
    }
    return true;
}

std::vector<TCompareEntry> LocalEntries(const QString &folder)
{
    std::vector<TCompareEntry> entries;
    for (const QFileInfo &info :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
        entries.push_back({info.fileName(), info.size(),
                           TDateTime::FromDateTime(info.lastModified()).WholeMinutes(), info.isDir()});
    return entries;
}

// Listing 100,000 entries may take minutes on a slow machine.
constexpr std::chrono::minutes ListingLimit{10};

bool Shows(const THostView &view, const std::string &folder, int count)
{
    return view.FolderBytes() == folder && !view.Animating() && view.ItemCount() == count;
}

// The best of a few runs, in milliseconds.
double CompareMS(const std::vector<TCompareEntry> &local, const std::vector<TCompareEntry> &remote,
                 std::size_t &selected)
{
    double best = 1e18;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const TCompareResult result = CompareFolders(local, remote, TCompareSettings());
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        selected = result.LocalRows.size() + result.RemoteRows.size();
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (const std::string why = UnavailableReason(TServerKind::Pyftpdlib); !why.empty()) {
        std::printf("compare_bench: skipped: %s\n", why.c_str());
        return 0;
    }
    TPyftpdServer server;
    QTemporaryDir localRoot;
    for (const int count : Sizes) {
        const QString name = QString::number(count);
        if (!MakeFolder(server.LocalPath(name), count, false)
            || !MakeFolder(localRoot.filePath(name), count, true)) {
            std::printf("compare_bench: cannot create the generated folders\n");
            return 1;
        }
    }

    THostView view;
    view.resize(900, 600);
    view.show();
    view.FTP().SetPassive(true);
    view.Connect(QString::fromStdString(server.Host()), server.Port(), QString::fromStdString(server.User()),
                 QString::fromStdString(server.Password()), QString(), QStringLiteral("/"), QString());
    if (!WaitUntil([&] { return view.Connected() && Shows(view, "/", 2); }, ListingLimit)) {
        std::printf("compare_bench: could not connect\n");
        return 1;
    }

    double perEntry[2] = {};
    for (int i = 0; i < 2; ++i) {
        const int count = Sizes[i];
        const std::string folder = "/" + std::to_string(count) + "/";
        view.ChangeFolder(QString::fromStdString(folder));
        if (!WaitUntil([&] { return Shows(view, folder, count); }, ListingLimit)) {
            std::printf("compare_bench: the folder of %d entries was not shown\n", count);
            return 1;
        }
        const std::vector<TCompareEntry> remote = CompareEntries(view);
        const std::vector<TCompareEntry> local = LocalEntries(localRoot.filePath(QString::number(count)));
        std::size_t selected = 0;
        const double ms = CompareMS(local, remote, selected);
        perEntry[i] = ms / double(local.size() + remote.size());
        std::printf("compare_bench: %6d local against %6d remote entries  %8.2f ms  (%zu selected)\n",
                    int(local.size()), int(remote.size()), ms, selected);
        if (count == Sizes[1]) {
            const double ratio = perEntry[1] / perEntry[0];
            std::printf("  time per entry at %d / at %d  %.2f (target at most %.1f)\n", Sizes[1], Sizes[0],
                        ratio, TargetPerEntryRatio);
            std::printf("  %d entries in %.0f ms (target under %.0f ms): %s\n", Sizes[1], ms, TargetMS,
                        ms < TargetMS && ratio <= TargetPerEntryRatio ? "targets met" : "TARGET MISSED");
        }
    }
    return 0;
}
