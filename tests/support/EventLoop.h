#pragma once

// The test program's event loop: its application object, and waiting with the events of
// the test's thread processed.

#include <QCoreApplication>

#include <chrono>
#include <functional>

// The application object: the one the program already has (widget tests make a
// QApplication, tests/support/WidgetTests.h), else a QCoreApplication made on first use.
// It is never destroyed: tearing it down among the other statics at exit crashes in Qt's
// clean-up routines.
QCoreApplication &TestApp();

// How long a wait goes on by default. The limit only keeps a broken test from hanging;
// no test depends on how fast the machine is.
inline constexpr std::chrono::milliseconds WaitLimit = std::chrono::seconds(60);

// Processes events until `done` holds or `limit` has passed; returns whether `done` held.
bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = WaitLimit);

// Processes events for `duration`, for tests that show something does not happen.
void ProcessEventsFor(std::chrono::milliseconds duration);
