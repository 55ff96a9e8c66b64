#pragma once

// The worker's message queue: commands in the order queued, the flush request that
// discards them, and the quit request that ends the worker.

#include "engine/FTPCommands.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

struct TQueuedMessage
{
    enum TKind { mkCommand, mkFlush, mkQuit };
    TKind Kind = mkCommand;
    TEngineCommand Command; // for mkCommand
    // A group queued with a ticket: the worker says when it begins it, and runs one
    // queued "after success" only when the command before it succeeded.
    std::uint64_t Ticket = 0;
    bool AfterSuccess = false;
};

// What became of a ticketed group that was to be withdrawn.
enum class TWithdrawal {
    Withdrawn, // still queued: taken out, it sends nothing and reports nothing
    Taken,     // the worker has it: its begin or drop is reported
    Gone,      // neither: discarded by a flush, or never queued
};

class TCommandQueue
{
public:
    void PostCommand(TEngineCommand Command);
    // Queues the commands as one: the worker never sees the first without the others.
    void PostCommands(std::vector<TEngineCommand> Commands, std::uint64_t Ticket = 0,
                      bool AfterSuccess = false);
    // Takes a ticketed group out unless the worker has begun taking it.
    TWithdrawal Withdraw(std::uint64_t Ticket);
    // The worker's: drops what is left of a group it has begun taking.
    void DiscardGroup(std::uint64_t Ticket);
    // Returns the ticket WaitFlushed waits for.
    std::uint64_t PostFlush();
    // Wins over everything still queued.
    void PostQuit();

    // Blocks until a message is there.
    TQueuedMessage Take();
    // True when no message is waiting.
    bool Empty();
    // True when a flush request waits in the queue.
    bool FlushPending();
    // Handles the flush requests: discards every message queued before the last of them,
    // and that flush; what was queued after it stays. Releases everyone waiting for a flush.
    void DiscardThroughLastFlush();

    // True once the flush with this ticket has been handled.
    bool WaitFlushed(std::uint64_t Ticket, std::chrono::milliseconds Timeout);

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TQueuedMessage> FMessages;
    bool FQuit = false;
    std::uint64_t FFlushesPosted = 0;
    std::uint64_t FFlushesHandled = 0;
    std::uint64_t FLastTakenTicket = 0;
};
