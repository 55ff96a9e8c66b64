#pragma once

// What a worker reads and writes of the engine that owns it. Called on the worker's
// thread: every member must be safe to call from there.

#include <string>

struct TNotification;

class TWorkerHost
{
public:
    virtual std::string Host() const = 0;
    virtual int ServerType() const = 0;
    virtual void SetServerType(int Value) = 0;
    virtual bool CanResume() const = 0;
    virtual void SetCanResume(bool Value) = 0;
    virtual bool Passive() const = 0;
    virtual void SetPassive(bool Value) = 0;
    // Queues a notification for the owner's thread, which WakeOwner then wakes for
    // every note queued so far.
    virtual void QueueNotification(TNotification Note) = 0;
    virtual void WakeOwner() = 0;

protected:
    ~TWorkerHost() = default;
};
