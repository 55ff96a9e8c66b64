#include "engine/TransferStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileStream::~TFileStream()
{
    if (FFd >= 0)
        ::close(FFd);
}

void TFileStream::SetError(int Errno)
{
    FError = std::strerror(Errno);
}

bool TFileStream::Open(const std::string &Path, TMode Mode)
{
    const int flags = O_CLOEXEC | (Mode == ReadOnly ? O_RDONLY : O_WRONLY);
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
        SetError(errno);
        return false;
    }
    struct stat info{};
    if (::fstat(FFd, &info) == 0 && S_ISDIR(info.st_mode)) {
        SetError(EISDIR);
        ::close(FFd);
        FFd = -1;
        return false;
    }
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
