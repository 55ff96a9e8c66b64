#pragma once

// The worker's message queue: commands in the order queued, the flush request that
// discards them, and the quit request that ends the worker.

#include "engine/FTPCommands.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

struct TQueuedMessage
{
    enum TKind { mkCommand, mkFlush, mkQuit };
    TKind Kind = mkCommand;
    TEngineCommand Command; // for mkCommand
};

class TCommandQueue
{
public:
    void PostCommand(TEngineCommand Command);
    // Returns the ticket WaitFlushed waits for.
    std::uint64_t PostFlush();
    // Wins over everything still queued.
    void PostQuit();

    // Blocks until a message is there.
    TQueuedMessage Take();
    // True when no message is waiting.
    bool Empty();
    // Removes a flush request waiting in the queue; true when there was one.
    bool TakePendingFlush();
    // Discards every queued command and flush request (never the quit request) and
    // releases everyone waiting for a flush.
    void DiscardAll();

    // True once the flush with this ticket has been handled.
    bool WaitFlushed(std::uint64_t Ticket, std::chrono::milliseconds Timeout);

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TQueuedMessage> FMessages;
    bool FQuit = false;
    std::uint64_t FFlushesPosted = 0;
    std::uint64_t FFlushesHandled = 0;
};
