#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

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

// What a paste does with one entry of the clipboard in a folder.
enum class TPasteKind {
    Copy,
    Move,
    Nothing, // a cut entry pasted where it already is
    Refuse,  // Message says why
    Ask,     // the name is taken: the user decides (TReplaceAnswer)
};

struct TPastePlan
{
    TPasteKind Kind = TPasteKind::Nothing;
    QString Name;    // the name in the target folder
    QString Message; // for Refuse
};

// The plan for pasting `source` (cut or copied) into `folder`. A copy into its own
// folder gets a free name; a folder never goes into itself or its own subfolders.
TPastePlan PlanPaste(const QString &source, const QString &folder, bool cut);

enum class TReplaceAnswer { Replace, Skip, KeepBoth, Cancel };

// The question for a taken name.
QString ReplaceQuestion(const QString &name);

// Carries out a Copy or Move plan; `replace` puts the entry in place of the one of the
// same name, which is removed only once the new one is whole beside it.
bool PasteEntry(const QString &source, const QString &folder, const QString &name, bool move, bool replace,
                QString *error);

// The bytes of the files in a folder tree; links count as themselves, never their targets.
// `going`, when given, hears the bytes counted so far now and then; false stops the count.
std::int64_t TreeSize(const QString &path, const std::function<bool(std::int64_t)> &going = {});

// The nine permission boxes' bits of the properties window (owner read, bit 2, first)
// for a file's mode, following a link to its target.
std::uint32_t LocalPermissions(const QString &path);
// Gives the entry these permission bits, keeping its other mode bits. A link is left
// alone: its mode is its target's, which may lie outside what the user chose.
bool SetLocalPermissions(const QString &path, std::uint32_t permissions, QString *error);
