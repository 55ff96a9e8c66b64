#include "tools/screens/Screens.h"

#include "app/Main.h"

static const TScreenScene MainWindow{"main-window", [](TScreenContext &context) {
    context.Save(context.MainWindow(), QStringLiteral("main-window"));
}};
