#include "engine/CommandQueue.h"

#include <algorithm>

void TCommandQueue::PostCommand(TEngineCommand Command)
{
    {
        const std::lock_guard lock(FMutex);
        FMessages.push_back({TQueuedMessage::mkCommand, std::move(Command)});
    }
    FChanged.notify_all();
}

void TCommandQueue::PostCommands(std::vector<TEngineCommand> Commands, std::uint64_t Ticket,
                                 bool AfterSuccess)
{
    {
        const std::lock_guard lock(FMutex);
        for (TEngineCommand &command : Commands)
            FMessages.push_back({TQueuedMessage::mkCommand, std::move(command), Ticket, AfterSuccess});
    }
    FChanged.notify_all();
}

void TCommandQueue::DiscardGroup(std::uint64_t Ticket)
{
    const std::lock_guard lock(FMutex);
    std::erase_if(FMessages, [Ticket](const TQueuedMessage &m) { return m.Ticket == Ticket; });
}

TWithdrawal TCommandQueue::Withdraw(std::uint64_t Ticket)
{
    const std::lock_guard lock(FMutex);
    if (Ticket != 0 && FLastTakenTicket == Ticket)
        return TWithdrawal::Taken;
    const auto removed = std::erase_if(
        FMessages, [Ticket](const TQueuedMessage &m) { return Ticket != 0 && m.Ticket == Ticket; });
    return removed > 0 ? TWithdrawal::Withdrawn : TWithdrawal::Gone;
}

std::uint64_t TCommandQueue::PostFlush()
{
    std::uint64_t ticket;
    {
        const std::lock_guard lock(FMutex);
        ticket = ++FFlushesPosted;
        FMessages.push_back({TQueuedMessage::mkFlush, {}});
    }
    FChanged.notify_all();
    return ticket;
}

void TCommandQueue::PostQuit()
{
    {
        const std::lock_guard lock(FMutex);
        FQuit = true;
    }
    FChanged.notify_all();
}

TQueuedMessage TCommandQueue::Take()
{
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FQuit || !FMessages.empty(); });
    if (FQuit)
        return {TQueuedMessage::mkQuit, {}};
    TQueuedMessage message = std::move(FMessages.front());
    FMessages.pop_front();
    if (message.Ticket != 0)
        FLastTakenTicket = message.Ticket;
    return message;
}

bool TCommandQueue::Empty()
{
    const std::lock_guard lock(FMutex);
    return FMessages.empty();
}

bool TCommandQueue::FlushPending()
{
    const std::lock_guard lock(FMutex);
    return std::any_of(FMessages.begin(), FMessages.end(),
                       [](const TQueuedMessage &m) { return m.Kind == TQueuedMessage::mkFlush; });
}

void TCommandQueue::DiscardThroughLastFlush()
{
    {
        const std::lock_guard lock(FMutex);
        // A command queued after the flush was meant to run: its sender may have queued it
        // while waiting for the flush.
        const auto last = std::find_if(FMessages.rbegin(), FMessages.rend(), [](const TQueuedMessage &m) {
            return m.Kind == TQueuedMessage::mkFlush;
        });
        FMessages.erase(FMessages.begin(), last.base());
        FFlushesHandled = FFlushesPosted;
    }
    FChanged.notify_all();
}

bool TCommandQueue::WaitFlushed(std::uint64_t Ticket, std::chrono::milliseconds Timeout)
{
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, Timeout, [&] { return FFlushesHandled >= Ticket || FQuit; });
}
