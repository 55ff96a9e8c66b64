#pragma once

// For widget tests: the QApplication, made before the program's first test.

#include "tests/support/EventLoop.h"
#include "tests/support/QtPrinting.h"

#include <gtest/gtest.h>

#include <QApplication>

// The widget tests' application object, made on first use: offscreen unless
// QT_QPA_PLATFORM says otherwise, with a fixed locale so that the status texts read the
// same on every machine. Never destroyed, like TestApp().
QApplication &WidgetTestApp();

class TWidgetEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { WidgetTestApp(); }
};

inline ::testing::Environment *const WidgetEnvironment =
    ::testing::AddGlobalTestEnvironment(new TWidgetEnvironment);
