#include "tests/support/EventLoop.h"

#include <QDeadlineTimer>
#include <QTimer>

QCoreApplication &TestApp()
{
    if (QCoreApplication *existing = QCoreApplication::instance())
        return *existing;
    static int argc = 1;
    static char name[] = "ferrow-test";
    static char *argv[] = {name, nullptr};
    return *new QCoreApplication(argc, argv);
}

bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    TestApp();
    const QDeadlineTimer deadline(limit);
    // Wakes the blocking wait below when the condition changes without an event (a file
    // written by a server, a worker thread's flag).
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds duration)
{
    WaitUntil([] { return false; }, duration);
}
