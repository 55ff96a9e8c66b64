#pragma once

#include "tests/support/TestSockets.h"

#include <cstdint>

// A range of loopback ports below the kernel's ephemeral range (32768 and up), reserved
// for one test server among all test processes on this machine, so that passive
// listeners of servers started at once never collide with each other or with a client
// socket. The reservation is a lock on one byte of a shared lock file, held for the
// object's life and released by the kernel when the process ends, even by a crash.
class TPortBlock
{
public:
    static constexpr int Size = 100;

    // Throws std::runtime_error when the lock file cannot be used or every block is taken.
    TPortBlock();

    std::uint16_t First() const { return FFirst; }
    std::uint16_t Last() const { return static_cast<std::uint16_t>(FFirst + Size - 1); }

private:
    TUniqueFd FLockFile;
    std::uint16_t FFirst = 0;
};
