#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLocale>

#include <functional>
#include <memory>

// One QApplication for the whole test program, offscreen, with a fixed locale so that
// the status texts read the same on every machine.
class TWidgetEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "views_test";
        static char *argv[] = {name, nullptr};
        FApp = std::make_unique<QApplication>(argc, argv);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { FApp.reset(); }

private:
    std::unique_ptr<QApplication> FApp;
};

inline ::testing::Environment *const WidgetEnvironment =
    ::testing::AddGlobalTestEnvironment(new TWidgetEnvironment);

// Processes events until `done` holds. The limit only keeps a broken test from hanging;
// nothing here depends on how fast the machine is.
inline bool WaitUntil(const std::function<bool()> &done, int limitMS = 60000)
{
    const QDeadlineTimer deadline(limitMS);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}
