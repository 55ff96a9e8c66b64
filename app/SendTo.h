#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// Send To's decisions, kept apart from the window.

// The folder that Any Host Folder... (Move) renames the selection into.
struct TMoveDestination
{
    // Ends with the separator; empty when there is nothing to move.
    QString Folder;
    // Why the typed text cannot be sent; empty when it can.
    QString Refusal;
};

// `typed` as the input box returned it; `current` is the remote view's folder, ending with
// `seperator`. A relative folder is taken from the current one: after a folder shown from
// the cache, the server's own current folder may be another.
TMoveDestination MoveDestinationFor(const QString &typed, const QString &current, QChar seperator);

// The text Clipboard as Name and as URL put on the clipboard.
QString ClipboardLines(const QStringList &lines);
