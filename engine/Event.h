#pragma once

// A multicast event whose connections cannot outlive either side. Connect returns a
// TScopedConnection; destroying it (with the listener that holds it) disconnects, and
// destroying the event disconnects every listener. A listener may disconnect itself or
// others, connect new listeners, or destroy the event while it is being raised: the
// raise then stops, and no handler runs for a listener that has gone.
//
// Not thread-safe: an event is connected, raised and destroyed on one thread.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TScopedConnection;

namespace EventDetail {

struct TSlotBase
{
    bool Live = true;
    virtual ~TSlotBase() = default;
    virtual void Release() = 0;
};

} // namespace EventDetail

// Owns one listener's connection to one event; move-only.
class TScopedConnection
{
public:
    TScopedConnection() = default;
    ~TScopedConnection() { Disconnect(); }
    TScopedConnection(TScopedConnection &&Other) noexcept
        : FSlot(std::move(Other.FSlot))
    {}
    TScopedConnection &operator=(TScopedConnection &&Other) noexcept
    {
        if (this != &Other) {
            Disconnect();
            FSlot = std::move(Other.FSlot);
        }
        return *this;
    }
    TScopedConnection(const TScopedConnection &) = delete;
    TScopedConnection &operator=(const TScopedConnection &) = delete;

    void Disconnect()
    {
        if (const auto slot = FSlot.lock())
            slot->Release();
        FSlot.reset();
    }
    // False once either side has disconnected.
    bool Connected() const
    {
        const auto slot = FSlot.lock();
        return slot && slot->Live;
    }

private:
    template <typename...>
    friend class TEvent;
    explicit TScopedConnection(std::weak_ptr<EventDetail::TSlotBase> Slot)
        : FSlot(std::move(Slot))
    {}

    std::weak_ptr<EventDetail::TSlotBase> FSlot;
};

// Several connections held as one, released together.
class TScopedConnections
{
public:
    TScopedConnections &operator+=(TScopedConnection Connection)
    {
        std::erase_if(FConnections, [](const TScopedConnection &held) { return !held.Connected(); });
        FConnections.push_back(std::move(Connection));
        return *this;
    }
    void Clear() { FConnections.clear(); }
    bool Empty() const { return FConnections.empty(); }

private:
    std::vector<TScopedConnection> FConnections;
};

template <typename... Args>
class TEvent
{
public:
    using THandler = std::function<void(Args...)>;

    TEvent() = default;
    ~TEvent()
    {
        FState->Alive = false;
        for (const auto &slot : FState->Slots)
            slot->Release();
    }
    TEvent(const TEvent &) = delete;
    TEvent &operator=(const TEvent &) = delete;

    // The handler runs on every Raise until the returned connection is destroyed or
    // disconnected. Discarding the result disconnects at once.
    [[nodiscard]] TScopedConnection Connect(THandler Handler)
    {
        Prune();
        auto slot = std::make_shared<TSlot>(std::move(Handler));
        FState->Slots.push_back(slot);
        return TScopedConnection(slot);
    }

    bool HasListeners() const
    {
        for (const auto &slot : FState->Slots)
            if (slot->Live)
                return true;
        return false;
    }

    // Calls every listener connected before the raise began, in connection order.
    // Arguments are passed on as lvalues, so a listener that takes a non-const
    // reference sees what earlier listeners left in it.
    void Raise(Args... Arguments) const
    {
        // Both copies keep what the loop touches alive if a handler destroys the event.
        const std::shared_ptr<TState> state = FState;
        const std::vector<std::shared_ptr<TSlot>> listeners = state->Slots;
        for (const auto &slot : listeners) {
            if (!state->Alive)
                return;
            if (!slot->Live)
                continue;
            const THandler handler = slot->Handler; // survives its own disconnection
            handler(Arguments...);
        }
    }

private:
    struct TSlot final : EventDetail::TSlotBase
    {
        explicit TSlot(THandler Handler)
            : Handler(std::move(Handler))
        {}
        void Release() override
        {
            Live = false;
            Handler = nullptr; // frees what the handler captured
        }
        THandler Handler;
    };

    struct TState
    {
        bool Alive = true;
        std::vector<std::shared_ptr<TSlot>> Slots;
    };

    void Prune()
    {
        auto &listeners = FState->Slots;
        std::erase_if(listeners, [](const auto &slot) { return !slot->Live; });
    }

    std::shared_ptr<TState> FState = std::make_shared<TState>();
};
