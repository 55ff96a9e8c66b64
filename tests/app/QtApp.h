#pragma once

#include <QApplication>

// The widget tests' application object, made once on first use. It is never destroyed:
// tearing it down among the other statics at exit crashes in Qt's clean-up routines.
inline QApplication &TestApp()
{
    static int argc = 1;
    static char name[] = "ferrow-test";
    static char *argv[] = {name, nullptr};
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

// Runs the event loop until `done` holds or `ms` have passed; returns `done`'s last answer.
template <typename Predicate>
bool WaitUntil(Predicate done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

#include <QString>
#include <ostream>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
