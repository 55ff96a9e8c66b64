// Listing parser speed and memory: a generated 1,000,000-line Unix listing and a
// 1,000,000-line DOS listing, against a plain line split of the same bytes.

#include "engine/Parsers.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>

#include <time.h>

// Live heap bytes, counted by replacing the global allocation functions.
namespace {
std::atomic<std::int64_t> LiveBytes{0};
}

void *operator new(std::size_t size)
{
    void *p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    LiveBytes += std::int64_t(malloc_usable_size(p));
    return p;
}

void operator delete(void *p) noexcept
{
    if (!p)
        return;
    LiveBytes -= std::int64_t(malloc_usable_size(p));
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

constexpr int LineCount = 1'000'000;
constexpr int Rounds = 5;
constexpr double TargetLinesPerSecond = 2'000'000;
constexpr double TargetSplitRatio = 4.0;
constexpr double TargetMemoryRatio = 3.0;

const char *const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char *const Words[] = {"report", "backup", "index", "photo", "Final Draft", "data",
                             "release-notes", "a", "linux-6.1.12", "my documents", "x",
                             "2023-summary", "readme", "setup_installer", "IMG_20230812"};
const char *const Extensions[] = {".txt", ".tar.gz", ".jpg", "", ".html", ".iso", ".c", ".pdf"};

class TNameMaker
{
public:
    explicit TNameMaker(std::mt19937 &random) : FRandom(random) {}

    // One to four words and an extension: 1 to about 60 bytes.
    std::string Next()
    {
        std::string name;
        const int words = Pick(4) + 1;
        for (int i = 0; i < words; ++i) {
            if (i > 0)
                name += Pick(3) == 0 ? " " : "_";
            name += Words[Pick(std::size(Words))];
        }
        name += Extensions[Pick(std::size(Extensions))];
        return name;
    }

    int Pick(std::size_t n) { return int(FRandom() % n); }

private:
    std::mt19937 &FRandom;
};

std::string MakeUnixListing()
{
    std::mt19937 random(12345);
    TNameMaker names(random);
    std::string text = "total 123456\r\n";
    char line[512];
    for (int i = 1; i < LineCount; ++i) {
        const int kind = names.Pick(10);
        const char *mode = kind < 7 ? "-rw-r--r--" : kind < 9 ? "drwxr-xr-x" : "lrwxrwxrwx";
        const long long size = kind == 7 || kind == 8 ? 4096 : (long long)(random() % 10'000'000'000LL);
        const char *month = Months[names.Pick(12)];
        const int day = names.Pick(28) + 1;
        char when[16];
        if (names.Pick(2) == 0)
            std::snprintf(when, sizeof when, "%02d:%02d", names.Pick(24), names.Pick(60));
        else
            std::snprintf(when, sizeof when, " %d", 1990 + names.Pick(34));
        std::string name = names.Next();
        if (kind == 9)
            name += " -> ../" + names.Next();
        std::snprintf(line, sizeof line, "%s %3d %-8s %-8s %12lld %s %2d %5s %s\r\n", mode,
                      names.Pick(20) + 1, names.Pick(2) ? "ftpuser" : "root",
                      names.Pick(2) ? "users" : "wheel", size, month, day, when, name.c_str());
        text += line;
    }
    return text;
}

std::string MakeDosListing()
{
    std::mt19937 random(54321);
    TNameMaker names(random);
    std::string text;
    char line[512];
    for (int i = 0; i < LineCount; ++i) {
        const bool folder = names.Pick(5) == 0;
        char sizeText[24];
        if (folder)
            std::snprintf(sizeText, sizeof sizeText, "%-14s", "<DIR>");
        else
            std::snprintf(sizeText, sizeof sizeText, "%14lld", (long long)(random() % 10'000'000'000LL));
        std::snprintf(line, sizeof line, "%02d-%02d-%02d  %02d:%02d%s %s %s\r\n", names.Pick(12) + 1,
                      names.Pick(28) + 1, names.Pick(100), names.Pick(12) + 1, names.Pick(60),
                      names.Pick(2) ? "AM" : "PM", sizeText, names.Next().c_str());
        text += line;
    }
    return text;
}

// The machine is shared: time is this thread's CPU time, which other programs running
// at the same time do not inflate.
double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The floor: find every line by its CR and LF and nothing else.
std::size_t SplitLines(std::string_view text, std::size_t &bytes)
{
    std::size_t lines = 0;
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        const char *lineEnd = lf ? lf : end;
        const char *cr = static_cast<const char *>(std::memchr(p, '\r', std::size_t(lineEnd - p)));
        bytes += std::size_t((cr ? cr : lineEnd) - p);
        ++lines;
        p = lineEnd + 1;
    }
    return lines;
}

double BestSplitSeconds(std::string_view text)
{
    double best = 1e9;
    std::size_t sink = 0;
    for (int round = 0; round < Rounds; ++round) {
        const double start = CpuSeconds();
        sink += SplitLines(text, sink);
        best = std::min(best, CpuSeconds() - start);
    }
    if (sink == 1)
        std::puts("");
    return best;
}

// What producing the entries costs without reading anything: the same names and records
// copied into a fresh listing.
double BestStoreSeconds(const TDirListing &model)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        const double start = CpuSeconds();
        TDirListing copy;
        copy.reserve(model.size());
        for (const TListItem &item : model)
            copy.push_back(item.Name, item.Entry);
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

struct TRun
{
    double StoreSeconds = 0;
    double Seconds = 1e9;
    std::size_t Entries = 0;
    std::int64_t ListingBytes = 0;
    std::int64_t EntryBytes = 0;
};

TRun BestParse(std::string_view text, TListParser parser)
{
    TRun best;
    TParseContext ctx;
    ctx.Today = QDate(2024, 6, 15);
    for (int round = 0; round < Rounds; ++round) {
        TListingState state;
        const std::int64_t before = LiveBytes;
        const double start = CpuSeconds();
        TDirListing listing;
        ParseListing(text, parser, state, listing, ctx);
        best.Seconds = std::min(best.Seconds, CpuSeconds() - start);
        best.ListingBytes = LiveBytes - before;
        best.Entries = listing.size();
        best.EntryBytes = 0;
        for (const TListItem &item : listing)
            best.EntryBytes += std::int64_t(item.Name.size() + sizeof(TDirEntry));
        if (round == Rounds - 1)
            best.StoreSeconds = BestStoreSeconds(listing);
    }
    return best;
}

const char *Verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

void Report(const char *title, std::string_view text, TListParser parser, bool withTargets)
{
    const double split = BestSplitSeconds(text);
    const TRun run = BestParse(text, parser);
    const double megabytes = double(text.size()) / 1e6;
    const double linesPerSecond = LineCount / run.Seconds;
    const double ratio = run.Seconds / split;
    const double memoryRatio = double(run.ListingBytes) / double(run.EntryBytes);

    std::printf("%s: %d lines, %.1f MB, %zu entries\n", title, LineCount, megabytes, run.Entries);
    std::printf("  parse:       %8.1f ms  %12.0f lines/s  %8.1f MB/s\n", run.Seconds * 1e3,
                linesPerSecond, megabytes / run.Seconds);
    std::printf("  line split:  %8.1f ms  %12.0f lines/s  %8.1f MB/s\n", split * 1e3,
                LineCount / split, megabytes / split);
    std::printf("  storing the same entries without parsing: %.1f ms\n", run.StoreSeconds * 1e3);
    std::printf("  parse / line split: %.2fx; parse / (line split + storing): %.2fx\n", ratio,
                run.Seconds / (split + run.StoreSeconds));
    std::printf("  listing memory: %.1f MB for %.1f MB of entries = %.2fx\n",
                double(run.ListingBytes) / 1e6, double(run.EntryBytes) / 1e6, memoryRatio);
    if (withTargets) {
        std::printf("  target >= %.0f lines/s: %s\n", TargetLinesPerSecond,
                    Verdict(linesPerSecond >= TargetLinesPerSecond));
        std::printf("  target within %.0fx of line split: %s\n", TargetSplitRatio,
                    Verdict(ratio <= TargetSplitRatio));
    }
    std::printf("  target memory <= %.0fx entries: %s\n", TargetMemoryRatio,
                Verdict(memoryRatio <= TargetMemoryRatio));
}

} // namespace

int main()
{
    std::printf("Listing parsers (best of %d rounds, thread CPU time; entries' bytes = sum of name length + "
                "sizeof(TDirEntry) = %zu; memory = live heap bytes of the listing)\n",
                Rounds, sizeof(TDirEntry));
    const std::string unix = MakeUnixListing();
    Report("Unix listing", unix, TListParser::Unix, true);
    const std::string dos = MakeDosListing();
    Report("DOS listing", dos, TListParser::Dos, false);
    return 0;
}
