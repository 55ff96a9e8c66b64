#include "app/ProgramIcon.h"

QIcon ProgramIcon()
{
    QIcon builtIn;
    for (const int size : {16, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/ferrow-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("ferrow"), builtIn);
}
