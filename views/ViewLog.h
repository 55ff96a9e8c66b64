#pragma once

#include "engine/FTPComp.h"
#include "transfers/LogColor.h"

#include <QColor>
#include <QString>

#include <deque>

struct TViewLogLine
{
    QString Text;
    QColor Color;
};

// The log of one remote view's connection: the newest lines with their colours.
class TViewLog
{
public:
    static constexpr int MaxLines = 800;

    void Add(const QString &text, const QColor &color);
    void Clear() { FLines.clear(); }
    int Count() const { return int(FLines.size()); }
    const std::deque<TViewLogLine> &Lines() const { return FLines; }

private:
    std::deque<TViewLogLine> FLines;
};
