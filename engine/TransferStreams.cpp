#include "engine/TransferStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileStream::~TFileStream()
{
    RemoveIfUnused();
    if (FFd >= 0)
        ::close(FFd);
}

void TFileStream::SetError(int Errno)
{
    FError = std::strerror(Errno);
}

bool TFileStream::Open(const std::string &Path, TMode Mode)
{
    // Non-blocking, so that a FIFO or a device in the way fails at once instead of
    // waiting for a peer; a link as the last component fails for a download.
    const int flags = O_CLOEXEC | O_NONBLOCK | (Mode == ReadOnly ? O_RDONLY : O_WRONLY | O_NOFOLLOW);
    FPath = Path;
    // RemoveIfUnused needs to know whether the file is ours.
    FCreated = false;
    if (Mode == ForDownload) {
        FFd = ::open(Path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        FCreated = FFd >= 0;
    }
    if (!FCreated && (Mode != ForDownload || errno == EEXIST))
        FFd = ::open(Path.c_str(), flags);
    if (FFd < 0) {
        if (errno == ELOOP && Mode != ReadOnly)
            FError = "it is a symbolic link";
        else if (errno == ENXIO)
            FError = "not a regular file";
        else
            SetError(errno);
        return false;
    }
    struct stat info{};
    if (::fstat(FFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode))
            SetError(EISDIR);
        else
            FError = "not a regular file";
        ::close(FFd);
        FFd = -1;
        return false;
    }
    ::fcntl(FFd, F_SETFL, ::fcntl(FFd, F_GETFL) & ~O_NONBLOCK);
    FPosition = 0;
    return true;
}

bool TFileStream::TruncateTo(std::int64_t Size)
{
    struct stat info{};
    if (::fstat(FFd, &info) != 0) {
        SetError(errno);
        return false;
    }
    if (info.st_size > Size && ::ftruncate(FFd, Size) != 0) {
        SetError(errno);
        return false;
    }
    return true;
}

bool TFileStream::BeginTransfer()
{
    FBegun = true;
    return FTruncateAt < 0 || TruncateTo(FTruncateAt);
}

void TFileStream::RemoveIfUnused()
{
    if (!FCreated || FBegun || FFd < 0)
        return;
    ::close(FFd);
    FFd = -1;
    ::unlink(FPath.c_str());
}

bool TFileStream::Seek(std::int64_t Offset)
{
    if (::lseek(FFd, Offset, SEEK_SET) < 0) {
        SetError(errno);
        return false;
    }
    FPosition = Offset;
    return true;
}

long TFileStream::Read(char *Data, std::size_t Size)
{
    for (;;) {
        const ssize_t n = ::read(FFd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetError(errno);
            return -1;
        }
        FPosition += n;
        return long(n);
    }
}

bool TFileStream::Write(const char *Data, std::size_t Size)
{
    while (Size > 0) {
        const ssize_t n = ::write(FFd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetError(n < 0 ? errno : ENOSPC);
            return false;
        }
        Data += n;
        Size -= std::size_t(n);
        FPosition += n;
    }
    return true;
}

bool TMemoryStream::Seek(std::int64_t Offset)
{
    if (Offset < 0 || std::size_t(Offset) > FData.size()) {
        FError = "Invalid position";
        return false;
    }
    FPosition = std::size_t(Offset);
    return true;
}

long TMemoryStream::Read(char *Data, std::size_t Size)
{
    const std::size_t n = std::min(Size, FData.size() - FPosition);
    std::memcpy(Data, FData.data() + FPosition, n);
    FPosition += n;
    return long(n);
}

bool TMemoryStream::Write(const char *Data, std::size_t Size)
{
    if (FPosition + Size > MaxSize) {
        FError = "Listing larger than 256 MiB";
        return false;
    }
    FData.replace(FPosition, std::min(Size, FData.size() - FPosition), Data, Size);
    FPosition += Size;
    return true;
}

void TTextToLocal::Convert(const char *Data, std::size_t Size, std::string &Out)
{
    for (std::size_t i = 0; i < Size; ++i) {
        const char c = Data[i];
        if (FHeldCR && c != '\n')
            Out += '\r';
        FHeldCR = c == '\r';
        if (!FHeldCR)
            Out += c;
    }
}

void TTextToLocal::Finish(std::string &Out)
{
    if (FHeldCR)
        Out += '\r';
    FHeldCR = false;
}

void AppendNetworkText(const char *Data, std::size_t Size, std::string &Out)
{
    const char *end = Data + Size;
    while (Data < end) {
        const char *lf = static_cast<const char *>(std::memchr(Data, '\n', std::size_t(end - Data)));
        const char *stop = lf ? lf : end;
        Out.append(Data, std::size_t(stop - Data));
        if (!lf)
            break;
        Out += "\r\n";
        Data = lf + 1;
    }
}

bool TTextStream::Seek(std::int64_t Offset)
{
    if (Offset != 0) {
        FError = "A text transfer cannot start in the middle of the file";
        return false;
    }
    return FFile.Seek(0);
}

long TTextStream::Read(char *Data, std::size_t Size)
{
    // Each LF may double, so half a block of the file always fits.
    if (Size < 2) {
        FError = "Read block too small for a text transfer";
        return -1;
    }
    FBuffer.resize(Size / 2);
    const long n = FFile.Read(FBuffer.data(), FBuffer.size());
    if (n <= 0)
        return n;
    FNetwork.clear();
    AppendNetworkText(FBuffer.data(), std::size_t(n), FNetwork);
    std::memcpy(Data, FNetwork.data(), FNetwork.size());
    return long(FNetwork.size());
}

bool TTextStream::Write(const char *Data, std::size_t Size)
{
    FBuffer.clear();
    FToLocal.Convert(Data, Size, FBuffer);
    return FFile.Write(FBuffer.data(), FBuffer.size());
}

bool TTextStream::EndTransfer()
{
    FBuffer.clear();
    FToLocal.Finish(FBuffer);
    return FFile.Write(FBuffer.data(), FBuffer.size()) && FFile.EndTransfer();
}
