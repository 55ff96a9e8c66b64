#include "app/SendTo.h"

#include <QCoreApplication>

TMoveDestination MoveDestinationFor(const QString &typed, const QString &current, QChar seperator)
{
    // A line break would end the rename command early and start another.
    if (typed.contains(QLatin1Char('\r')) || typed.contains(QLatin1Char('\n')) || typed.contains(QChar(0)))
        return {QString(), QCoreApplication::translate(
                               "SendTo", "A folder name cannot contain a line break or a NUL character.")};
    if (typed.isEmpty())
        return {};
    QString folder = typed;
    if (!folder.startsWith(seperator) && current.startsWith(seperator))
        folder.prepend(current);
    if (!folder.endsWith(seperator))
        folder.append(seperator);
    if (folder == current)
        return {};
    return {folder, QString()};
}

QString ClipboardLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QLatin1Char('\n');
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}
