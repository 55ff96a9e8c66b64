#include "app/ProgramIcon.h"

#include "app/LazyIcon.h"

QIcon ProgramIcon()
{
    // Six sizes up to 256 pixels are read only once a window system asks for them.
    return LazyIcon([] {
        QIcon builtIn;
        for (const int size : {16, 32, 48, 64, 128, 256})
            builtIn.addFile(QStringLiteral(":/icons/ferrow-%1.png").arg(size), QSize(size, size));
        return QIcon::fromTheme(QStringLiteral("ferrow"), builtIn);
    });
}
