#pragma once

#include <QIcon>

// The program's icon: the desktop theme's "ferrow" icon of an installed copy, else the
// built-in renderings, so that a copy run from its build folder looks the same.
QIcon ProgramIcon();
