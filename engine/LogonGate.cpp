#include "engine/LogonGate.h"

#include <chrono>

void TLogonGate::Decide(bool Succeeded)
{
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        if (FState != TState::Pending)
            return;
        FState = Succeeded ? TState::Open : TState::Closed;
    }
    FDecided.notify_all();
}

bool TLogonGate::Wait(const std::function<bool()> &Cancelled)
{
    std::unique_lock<std::mutex> lock(FMutex);
    while (FState == TState::Pending) {
        FDecided.wait_for(lock, std::chrono::milliseconds(20));
        if (FState != TState::Pending)
            break;
        // Asked unlocked: a cancel may have to take locks of its own.
        lock.unlock();
        const bool cancelled = Cancelled && Cancelled();
        lock.lock();
        if (cancelled)
            return false;
    }
    return FState == TState::Open;
}

TLogonPromise::TLogonPromise(std::shared_ptr<TLogonGate> Gate)
    : FGate(std::move(Gate))
{}

TLogonPromise::~TLogonPromise()
{
    Decide(false);
}

void TLogonPromise::Decide(bool Succeeded)
{
    if (FGate)
        FGate->Decide(Succeeded);
}
