#include "engine/EventLoopWait.h"
#include "engine/Event.h"

#include "tests/engine/EngineTestSupport.h"

#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// ---- The multicast event ----

TEST(EventTest, ListenersComeAndGoWhileItIsRaised)
{
    auto event = std::make_unique<TEvent<int>>();
    std::vector<std::string> calls;
    TScopedConnection first;
    TScopedConnection second;
    TScopedConnection late;
    first = event->Connect([&](int value) {
        calls.push_back("first " + std::to_string(value));
        second.Disconnect(); // a listener freed before the event reaches it
        late = event->Connect([&](int) { calls.push_back("late"); });
    });
    second = event->Connect([&](int) { calls.push_back("second"); });
    event->Raise(1);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 1"})) << "neither the freed nor the new listener ran";
    EXPECT_FALSE(second.Connected());

    calls.clear();
    {
        const TScopedConnection scoped = event->Connect([&](int) { calls.push_back("scoped"); });
    }
    first.Disconnect();
    event->Raise(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"late"})) << "a destroyed connection disconnects";

    // The event destroyed by a listener: the raise stops, the rest hear nothing.
    calls.clear();
    const TScopedConnection destroying = event->Connect([&](int) { event.reset(); });
    const TScopedConnection after = event->Connect([&](int) { calls.push_back("after"); });
    event->Raise(3);
    EXPECT_FALSE(event);
    EXPECT_EQ(calls, (std::vector<std::string>{"late"}));
    EXPECT_FALSE(after.Connected()) << "connections outlive their event harmlessly";
}

// ---- The one wait that processes events ----

class EventLoopWaitTest : public testing::Test
{
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(EventLoopWaitTest, EndsWhenReadyBrokenOrItsObjectDies)
{
    QObject context;
    bool ready = false;
    QTimer::singleShot(10ms, &context, [&] { ready = true; });
    TEventLoopWait readyWait(&context);
    EXPECT_EQ(readyWait.Until([&] { return ready; }), TWaitEnd::Ready);

    // Broken by purpose: a break for another kind of wait leaves this one running.
    auto guard = std::make_unique<QObject>();
    bool otherBroken = false;
    QTimer::singleShot(0, &context, [&] {
        TEventLoopWait::BreakWaits(guard.get(), 2);
        otherBroken = true;
    });
    QTimer::singleShot(20ms, &context, [&] { TEventLoopWait::BreakWaits(guard.get(), 1); });
    TEventLoopWait broken(guard.get(), 1);
    EXPECT_TRUE(TEventLoopWait::Waiting(guard.get(), 1));
    EXPECT_EQ(broken.Until([] { return false; }), TWaitEnd::Broken);
    EXPECT_TRUE(otherBroken);

    // The object the wait serves is freed meanwhile: the wait ends without asking the
    // condition again, which would read the freed object.
    int polls = 0;
    QTimer::singleShot(10ms, &context, [&] { guard.reset(); });
    TEventLoopWait gone(guard.get());
    EXPECT_EQ(gone.UntilPolled([&](std::chrono::milliseconds) {
        EXPECT_TRUE(guard) << "asked after the object died";
        ++polls;
        return false;
    }),
              TWaitEnd::Gone);
    EXPECT_GT(polls, 0);
}

TEST_F(EventLoopWaitTest, NestedWaitsEndInnermostFirstAndBreakTogether)
{
    QObject guard;
    std::vector<TWaitEnd> ends;
    QTimer::singleShot(0, &guard, [&] {
        TEventLoopWait inner(&guard);
        QTimer::singleShot(10ms, &guard, [&] { TEventLoopWait::BreakWaits(&guard); });
        ends.push_back(inner.Until([] { return false; }));
    });
    {
        TEventLoopWait outer(&guard);
        ends.push_back(outer.Until([] { return false; }));
    }
    EXPECT_EQ(ends, (std::vector<TWaitEnd>{TWaitEnd::Broken, TWaitEnd::Broken}));
    EXPECT_FALSE(TEventLoopWait::Waiting(&guard)) << "every wait left the chain";
}

} // namespace
