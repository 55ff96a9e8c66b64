#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// Small POSIX socket helpers for the test servers and the raw test client.
// IPv4 only; every socket is created non-blocking and close-on-exec.

// Owns one file descriptor and closes it.
class TUniqueFd
{
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : FFd(fd) {}
    TUniqueFd(TUniqueFd &&other) noexcept : FFd(other.Release()) {}
    TUniqueFd &operator=(TUniqueFd &&other) noexcept;
    TUniqueFd(const TUniqueFd &) = delete;
    TUniqueFd &operator=(const TUniqueFd &) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const { return FFd; }
    bool IsValid() const { return FFd >= 0; }
    explicit operator bool() const { return IsValid(); }
    int Release();
    void Reset(int fd = -1);

private:
    int FFd = -1;
};

using TDeadline = std::chrono::steady_clock::time_point;

TDeadline DeadlineIn(std::chrono::milliseconds timeout);
// Milliseconds left until the deadline, for poll(); 0 once it has passed.
int MillisecondsLeft(TDeadline deadline);

// A listening socket on 127.0.0.1 (port 0: the kernel picks a free one).
// Throws std::runtime_error on failure.
TUniqueFd ListenOnLoopback(std::uint16_t port = 0);
std::uint16_t LocalPort(int socketFd);

// Connects to host:port (dotted IPv4 address). An invalid fd and the reason in
// error when the connection fails or the deadline passes.
TUniqueFd ConnectTo(const std::string &host, std::uint16_t port, TDeadline deadline,
                    std::string *error = nullptr);
// The same in two halves, for callers that wait in their own way: a socket whose
// connection is under way (invalid, with error set, when it failed at once), and once
// it is writable, the outcome (empty when connected).
TUniqueFd StartConnect(const std::string &host, std::uint16_t port, std::string &error);
std::string ConnectOutcome(int fd);

// Sends all bytes before the deadline; false when the peer went away or time ran out.
bool SendAll(int fd, std::string_view bytes, TDeadline deadline);

// Closes with a TCP reset instead of an orderly FIN.
void CloseWithReset(TUniqueFd &fd);

void SetNoDelay(int fd);

std::string ErrnoText(int error);
