#pragma once

// One logon that waits for another's outcome. A second connection that should log on
// only with data the first has just proven (so that a wrong password costs one refusal,
// not two) waits on a gate the first one's logon opens or closes, without the owner's
// thread having to hear of it first.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TLogonGate
{
public:
    // The first logon's outcome; only the first decision counts.
    void Decide(bool Succeeded);
    // Waits until decided, asking Cancelled every few milliseconds; true when the first
    // logon succeeded and the wait was not cancelled.
    bool Wait(const std::function<bool()> &Cancelled);

private:
    enum class TState { Pending, Open, Closed };
    std::mutex FMutex;
    std::condition_variable FDecided;
    TState FState = TState::Pending;
};

// The first logon's side of a gate: decides it when that logon ends. A logon dropped
// before it ran closes the gate, so that nobody waits for it forever.
class TLogonPromise
{
public:
    explicit TLogonPromise(std::shared_ptr<TLogonGate> Gate);
    ~TLogonPromise();
    TLogonPromise(const TLogonPromise &) = delete;
    TLogonPromise &operator=(const TLogonPromise &) = delete;

    void Decide(bool Succeeded);

private:
    std::shared_ptr<TLogonGate> FGate;
};

// What a login command carries of the two: the gate to wait on before connecting, and
// the promise its own outcome keeps. Either may be empty.
struct TLogonOrder
{
    std::shared_ptr<TLogonGate> After;
    std::shared_ptr<TLogonPromise> Promise;
};
