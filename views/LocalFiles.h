#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

// Local file work behind the local view's clipboard, new-folder and delete commands.

// What the clipboard holds for a cut or copy of local files: file URLs, and the
// "x-special/gnome-copied-files" form that file managers read for cut versus copy.
QMimeData *FileClipboardData(const QStringList &paths, bool cut);

struct TClipboardFiles
{
    QStringList Paths;
    bool Cut = false;
};
// The local files on the clipboard (file URLs only) and whether they were cut.
TClipboardFiles ClipboardFiles(const QMimeData *data);

// A name for `name` inside `folder` that no entry uses yet: the name itself, else
// "name (2)", "name (3)", ... with the extension of a file kept at the end.
QString FreeName(const QString &folder, const QString &name, bool isFolder);

// Copies a file or a folder tree into `destFolder` under `name`. On failure returns
// false with the reason in `error`; what was copied before the failure stays.
bool CopyEntry(const QString &source, const QString &destFolder, const QString &name, QString *error);
// Moves a file or folder into `destFolder` under `name`, copying and deleting when a
// rename across file systems is impossible. The source is deleted only after a
// complete copy.
bool MoveEntry(const QString &source, const QString &destFolder, const QString &name, QString *error);
