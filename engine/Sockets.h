#pragma once

// The socket layer below the worker: Windows Sockets error codes and their texts (the
// codes the Error notification carries), name resolution and an owning socket handle.

#include <cstdint>
#include <string>

// The Windows Sockets codes the engine reports or tests for.
enum TWinSockError : int {
    WSAEINTR = 10004,
    WSAENOTSOCK = 10038,
    WSAEMSGSIZE = 10040,
    WSAECONNRESET = 10054,
    WSAENOTCONN = 10057,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

// An IPv4 address in network order; all ones when unknown.
constexpr std::uint32_t NoAddress = 0xFFFFFFFFu;

// "Connection refused" for 10061 and so on; "Not a WinSock error [%d]" otherwise.
std::string SocketErrorText(int Code);
// The Windows Sockets code of an errno value (0 for 0).
int WinSockErrorFromErrno(int Errno);
// The Windows Sockets code of a getaddrinfo failure.
int WinSockErrorFromResolver(int EaiCode, int Errno);

// "192.168.1.5".
std::string DottedAddress(std::uint32_t NetOrderAddress);

// A dotted address is taken as it is; anything else is looked up by name (IPv4).
// Returns 0 and sets Address, or returns the Windows Sockets code of the failure.
int ResolveHost(const std::string &HostText, std::uint32_t &Address);

// Owns one socket descriptor; closes it when destroyed.
class TSocket
{
public:
    TSocket() = default;
    explicit TSocket(int Fd) : FFd(Fd) {}
    ~TSocket() { Reset(); }
    TSocket(TSocket &&Other) noexcept : FFd(Other.Release()) {}
    TSocket &operator=(TSocket &&Other) noexcept
    {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    TSocket(const TSocket &) = delete;
    TSocket &operator=(const TSocket &) = delete;

    int Fd() const { return FFd; }
    bool IsOpen() const { return FFd >= 0; }
    void Reset(int Fd = -1);
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd = -1;
};
