#include "engine/EventLoopWait.h"

#include <QCoreApplication>

namespace {

// The innermost wait in progress on this thread; each links to the one it runs inside.
thread_local TEventLoopWait *InnermostWait = nullptr;

} // namespace

TEventLoopWait::TEventLoopWait(const QObject *Guard, int Purpose)
    : FGuard(Guard)
    , FGuarded(Guard != nullptr)
    , FPurpose(Purpose)
    , FOuter(InnermostWait)
{
    InnermostWait = this;
}

TEventLoopWait::~TEventLoopWait()
{
    // Waits end innermost first: a nested wait is a local of a call inside this one.
    InnermostWait = FOuter;
}

void TEventLoopWait::BreakWaits(const QObject *Guard, int Purpose)
{
    for (TEventLoopWait *wait = InnermostWait; wait; wait = wait->FOuter)
        if (wait->FGuarded && wait->FGuard == Guard && wait->FPurpose == Purpose)
            wait->FBroken = true;
}

bool TEventLoopWait::Waiting(const QObject *Guard, int Purpose)
{
    for (const TEventLoopWait *wait = InnermostWait; wait; wait = wait->FOuter)
        if (wait->FGuarded && wait->FGuard == Guard && wait->FPurpose == Purpose)
            return true;
    return false;
}

TWaitEnd TEventLoopWait::Check() const
{
    if (FGuarded && !FGuard)
        return TWaitEnd::Gone;
    return FBroken ? TWaitEnd::Broken : TWaitEnd::Ready;
}

TWaitEnd TEventLoopWait::Until(const std::function<bool()> &Ready)
{
    for (;;) {
        if (const TWaitEnd end = Check(); end != TWaitEnd::Ready)
            return end;
        if (Ready())
            return TWaitEnd::Ready;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

TWaitEnd TEventLoopWait::UntilPolled(const std::function<bool(std::chrono::milliseconds)> &ReadyWithin)
{
    for (;;) {
        if (const TWaitEnd end = Check(); end != TWaitEnd::Ready)
            return end;
        if (ReadyWithin(PollSlice))
            return TWaitEnd::Ready;
        QCoreApplication::processEvents();
    }
}

TWaitEnd TEventLoopWait::Yield()
{
    QCoreApplication::processEvents();
    return Check();
}
