#include "tests/support/PortBlock.h"

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int FirstPort = 10000;
constexpr int BlockCount = (32000 - FirstPort) / TPortBlock::Size;
constexpr const char *LockPath = "/tmp/ferrow-test-ports.lock";

TUniqueFd OpenLockFile()
{
    // Without O_CREAT first: a sticky /tmp refuses O_CREAT on another user's file.
    TUniqueFd fd(::open(LockPath, O_RDWR | O_CLOEXEC));
    if (!fd && errno == ENOENT) {
        fd.Reset(::open(LockPath, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd)
            ::fchmod(fd.Get(), 0666); // shared by every user's test runs
        else if (errno == EEXIST)
            fd.Reset(::open(LockPath, O_RDWR | O_CLOEXEC));
    }
    if (!fd)
        throw std::runtime_error(std::string("cannot open ") + LockPath + ": " + ErrnoText(errno));
    return fd;
}

// An open-file-description lock: unlike a classic record lock it also excludes a second
// block taken by the same process through another open().
bool SetLockByte(int fd, int index, short type)
{
    struct flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = index;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Another program's listener on a block's first port (a server left running by hand)
// would answer for the test's own server, and the tests would talk to the wrong one.
bool ListenPortFree(std::uint16_t port)
{
    const TUniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return true; // nothing to learn; the server's own start will tell
    const int reuse = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(socket.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

} // namespace

TPortBlock::TPortBlock()
    : FLockFile(OpenLockFile())
{
    // Processes start their search at different blocks, and each new block of this
    // process at the next one, so a block a failed server just used rests a while.
    static std::atomic<int> counter{0};
    const int start = static_cast<int>((::getpid() * 7L + counter++) % BlockCount);
    for (int i = 0; i < BlockCount; ++i) {
        const int index = (start + i) % BlockCount;
        if (!SetLockByte(FLockFile.Get(), index, F_WRLCK))
            continue;
        const auto first = static_cast<std::uint16_t>(FirstPort + index * Size);
        if (!ListenPortFree(first)) {
            SetLockByte(FLockFile.Get(), index, F_UNLCK);
            continue;
        }
        FFirst = first;
        return;
    }
    throw std::runtime_error("every test port block is in use");
}
