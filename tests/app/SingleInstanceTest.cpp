#include "app/SingleInstance.h"
#include "tests/support/EventLoop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(SingleInstance, NameCarriesProgramAndUserInRuntimeFolder)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(TSingleInstance::ServerName("ferrow", "bob"), runtime.filePath("ferrow-bob"));
    EXPECT_EQ(TSingleInstance::ServerName("a/b", ""), runtime.filePath("a_b-_"))
        << "a name can never point into another folder";
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, SecondClaimAsksTheFirstToRaise)
{
    TestApp();
    QTemporaryDir runtime;
    const QString name = runtime.filePath("ferrow-test");
    TSingleInstance first;
    bool raised = false;
    QObject::connect(&first, &TSingleInstance::RaiseRequested, [&] { raised = true; });
    ASSERT_EQ(first.Claim(name), TSingleInstance::TResult::First);

    TSingleInstance second;
    EXPECT_EQ(second.Claim(name), TSingleInstance::TResult::AnotherRunning);
    EXPECT_TRUE(WaitUntil([&] { return raised; }, 5s));
}

TEST(SingleInstance, StaleSocketOfACrashedCopyIsTakenOver)
{
    TestApp();
    QTemporaryDir runtime;
    const QString name = runtime.filePath("ferrow-test");
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    TSingleInstance instance;
    EXPECT_EQ(instance.Claim(name), TSingleInstance::TResult::First);
}
