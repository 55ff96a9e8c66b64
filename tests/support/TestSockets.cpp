#include "tests/support/TestSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

TUniqueFd &TUniqueFd::operator=(TUniqueFd &&other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int TUniqueFd::Release()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void TUniqueFd::Reset(int fd)
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = fd;
}

TDeadline DeadlineIn(std::chrono::milliseconds timeout)
{
    return std::chrono::steady_clock::now() + timeout;
}

int MillisecondsLeft(TDeadline deadline)
{
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 1'000'000 ? 1'000'000 : static_cast<int>(left);
}

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

namespace {

sockaddr_in LoopbackAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

TUniqueFd NewTcpSocket()
{
    return TUniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

} // namespace

TUniqueFd ListenOnLoopback(std::uint16_t port)
{
    TUniqueFd fd = NewTcpSocket();
    if (!fd)
        throw std::runtime_error("socket: " + ErrnoText(errno));
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = LoopbackAddress(port);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        throw std::runtime_error("bind 127.0.0.1:" + std::to_string(port) + ": " + ErrnoText(errno));
    if (::listen(fd.Get(), 16) != 0)
        throw std::runtime_error("listen: " + ErrnoText(errno));
    return fd;
}

std::uint16_t LocalPort(int socketFd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socketFd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

TUniqueFd StartConnect(const std::string &host, std::uint16_t port, std::string &error)
{
    sockaddr_in address = LoopbackAddress(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + host;
        return {};
    }
    TUniqueFd fd = NewTcpSocket();
    if (!fd) {
        error = "socket: " + ErrnoText(errno);
        return {};
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        error = "connect: " + ErrnoText(errno);
        return {};
    }
    return fd;
}

std::string ConnectOutcome(int fd)
{
    int socketError = 0;
    socklen_t length = sizeof socketError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &length) != 0)
        socketError = errno;
    return socketError == 0 ? std::string() : "connect: " + ErrnoText(socketError);
}

TUniqueFd ConnectTo(const std::string &host, std::uint16_t port, TDeadline deadline,
                    std::string *error)
{
    std::string why;
    TUniqueFd fd = StartConnect(host, port, why);
    if (fd) {
        pollfd entry{fd.Get(), POLLOUT, 0};
        const int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
        why = ready > 0 ? ConnectOutcome(fd.Get())
                        : ready == 0 ? "connect: timed out" : "poll: " + ErrnoText(errno);
        if (why.empty())
            return fd;
    }
    if (error)
        *error = why;
    return {};
}

bool SendAll(int fd, std::string_view bytes, TDeadline deadline)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd entry{fd, POLLOUT, 0};
        if (::poll(&entry, 1, MillisecondsLeft(deadline)) <= 0)
            return false;
    }
    return true;
}

void CloseWithReset(TUniqueFd &fd)
{
    if (!fd)
        return;
    const linger abortive{1, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    fd.Reset();
}

void SetNoDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}
