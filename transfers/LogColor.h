#pragma once

#include "engine/FTPComp.h"

#include <QColor>

// An engine colour (0x00BBGGRR) as a QColor, for every window that shows a connection's
// dialogue.
QColor LogColor(TColor color);
