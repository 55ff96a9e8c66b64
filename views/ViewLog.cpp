#include "views/ViewLog.h"

void TViewLog::Add(const QString &text, const QColor &color)
{
    FLines.push_back({text, color});
    while (FLines.size() > std::size_t(MaxLines))
        FLines.pop_front();
}
