#include "engine/Trace.h"

#include "platform/ProgramFolder.h"

#include <QFile>
#include <QTime>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex TraceMutex;
bool TraceStarted = false;
std::chrono::steady_clock::time_point LastLineTime;

void WriteAll(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a trace that cannot be written is not worth failing for
        done += std::size_t(n);
    }
}

} // namespace

std::string TraceFilePath()
{
    return QFile::encodeName(ProgramFilePath(QStringLiteral("Debug.txt"))).toStdString();
}

std::string FormatTraceLine(unsigned long ThreadId, long long ElapsedMS, std::string_view Time,
                            std::string_view Text)
{
    char head[64];
    std::snprintf(head, sizeof head, "Thread %08lX - %06lldms - ", ThreadId, ElapsedMS);
    std::string line = head;
    line.append(Time);
    line += " - ";
    line.append(Text);
    for (char &c : line)
        if (c == '\r' || c == '\n')
            c = '~';
    return line;
}

void Trace(std::string_view Text)
{
    if (!DebugMode)
        return;
    const std::string path = TraceFilePath();

    // One lock covers the clocks and the file, so lines never interleave and the
    // elapsed time always refers to the line written just before.
    const std::lock_guard lock(TraceMutex);
    const std::string time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toStdString();
    const auto now = std::chrono::steady_clock::now();
    const long long elapsed =
        TraceStarted ? std::chrono::duration_cast<std::chrono::milliseconds>(now - LastLineTime).count() : 0;
    TraceStarted = true;
    LastLineTime = now;

    const std::string line =
        FormatTraceLine(static_cast<unsigned long>(::gettid()), elapsed, time, Text) + "\r\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    // An older trace, or one made by another program, may be readable by others; the
    // PASS line must not reach it.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || ((status.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0)) {
        ::close(fd);
        return;
    }
    WriteAll(fd, line);
    ::close(fd);
}

std::string FormatArgs(const char *Format, va_list Args)
{
    va_list copy;
    va_copy(copy, Args);
    const int size = std::vsnprintf(nullptr, 0, Format, copy);
    va_end(copy);
    std::string text;
    if (size > 0) {
        text.resize(std::size_t(size));
        std::vsnprintf(text.data(), text.size() + 1, Format, Args);
    }
    return text;
}

void TraceFmt(const char *Format, ...)
{
    if (!DebugMode)
        return;
    va_list args;
    va_start(args, Format);
    const std::string text = FormatArgs(Format, args);
    va_end(args);
    Trace(text);
}
