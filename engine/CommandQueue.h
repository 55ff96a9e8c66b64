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
};

class TCommandQueue
{
public:
    void PostCommand(TEngineCommand Command);
    // Queues the commands as one: the worker never sees the first without the others.
    void PostCommands(std::vector<TEngineCommand> Commands);
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
};
