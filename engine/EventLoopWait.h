#pragma once

// The one way the program waits while keeping its own thread's events flowing (the
// engine's worker waits, the remote view's folder wait and list fill). It carries the
// rules every such wait needs:
//   - everything may run meanwhile: notifications, timers, the user's commands, and
//     so other waits, nested inside this one;
//   - when the object the wait serves (its guard) is destroyed meanwhile, the wait ends
//     with Gone and the caller must not touch that object again;
//   - BreakWaits ends every wait in progress for a guard and purpose, nested or not,
//     with Broken: a disconnection ends a view's folder wait, a newer fill the older.
// Qt Core only; owner's thread only.

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

enum class TWaitEnd { Ready, Gone, Broken };

class TEventLoopWait
{
public:
    // Guard may be null: such a wait ends only when it is ready. Purpose tells apart
    // the kinds of wait one guard runs, so that breaking one leaves the others.
    explicit TEventLoopWait(const QObject *Guard = nullptr, int Purpose = 0);
    ~TEventLoopWait();
    TEventLoopWait(const TEventLoopWait &) = delete;
    TEventLoopWait &operator=(const TEventLoopWait &) = delete;

    // Ends every wait in progress on this thread for Guard and Purpose.
    static void BreakWaits(const QObject *Guard, int Purpose = 0);
    // Whether such a wait is in progress on this thread.
    static bool Waiting(const QObject *Guard, int Purpose = 0);

    // Processes events until Ready holds, sleeping until the next event in between: for
    // conditions that only an event of this thread can change.
    TWaitEnd Until(const std::function<bool()> &Ready);
    // For conditions another thread changes: ReadyWithin may block for up to the slice
    // it is given; the events that arrived meanwhile are processed between slices.
    TWaitEnd UntilPolled(const std::function<bool(std::chrono::milliseconds Slice)> &ReadyWithin);
    // Processes the events pending now, once: lets a long loop keep the window alive.
    TWaitEnd Yield();

    static constexpr std::chrono::milliseconds PollSlice{200};

private:
    // How the wait stands after events were processed; Ready means "go on".
    TWaitEnd Check() const;

    QPointer<const QObject> FGuard;
    const bool FGuarded;
    const int FPurpose;
    bool FBroken = false;
    TEventLoopWait *FOuter; // the wait this one runs inside, on this thread
};
