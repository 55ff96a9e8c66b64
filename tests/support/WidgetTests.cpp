#include "tests/support/WidgetTests.h"

#include <QLocale>

#include <cstdio>
#include <cstdlib>

QApplication &WidgetTestApp()
{
    if (QCoreApplication *existing = QCoreApplication::instance()) {
        if (auto *app = qobject_cast<QApplication *>(existing))
            return *app;
        std::fputs("a QCoreApplication was made before the widget tests' QApplication\n", stderr);
        std::abort();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ferrow-widget-test";
    static char *argv[] = {name, nullptr};
    auto *app = new QApplication(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return *app;
}
