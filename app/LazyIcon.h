#pragma once

#include <QIcon>

#include <functional>

// An icon made by `factory` only when it is first drawn or measured: reading every size
// of an icon costs start-up time that a window that never shows it should not pay.
QIcon LazyIcon(std::function<QIcon()> factory);
