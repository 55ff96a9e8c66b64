#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// How files are handed to other programs and to the internal viewer. Plain rules, so
// that every command line can be checked without starting anything.

// One start of another program. Every argument reaches the program as it is: no shell
// sees it and nothing splits it again, so a server's name is only ever a name.
struct TLaunch
{
    QString Program;
    QStringList Arguments;
    QString WorkingFolder;

    friend bool operator==(const TLaunch &, const TLaunch &) = default;
};

// The folder a program lives in, found on PATH for a bare name; empty when unknown.
QString ProgramFolderOf(const QString &program);

// The viewer program on one file.
TLaunch ViewerLaunch(const QString &viewer, const QString &path, const QString &workingFolder);
// The HTML editor on several files at once; no program when `paths` is empty.
TLaunch EditorLaunch(const QString &editor, const QStringList &paths, const QString &workingFolder);

// Edit with NotePad on local files: one start per file, in the viewer's own folder.
std::vector<TLaunch> LocalNotePadLaunches(const QString &viewer, const QStringList &paths);
// Edit with Scrivel on local files: one start with all of them, in the editor's folder.
std::vector<TLaunch> LocalEditorLaunches(const QString &editor, const QStringList &paths);

// What the owner does with copies a remote view fetched into the temporary folder.
enum TFetchMode : int { fmDownloadNow = 2, fmOpen = 3, fmView = 4, fmEdit = 5 };

struct TFetchedPlan
{
    QString OpenPath;              // opened the desktop's way (mode 3)
    std::vector<TLaunch> Launches; // modes 4 and 5
    bool Temporary = false;        // the copies are deleted at program end
};

TFetchedPlan FetchedFilesPlan(int mode, const QStringList &paths, const QString &viewer,
                              const QString &editor, const QString &tempFolder);

// The file kinds the internal viewer shows, and those offered to the HTML editor.
bool IsWebFile(const QString &name);
bool IsEditorFile(const QString &name);

// Whether the Edit with... entries are enabled as the menu opens.
struct TEditEntries
{
    bool NotePad = false;
    bool Editor = false;

    friend bool operator==(const TEditEntries &, const TEditEntries &) = default;
};

// `selected`: a selected (and, remotely, focused) entry exists. A local name without
// extension passes the editor's test; a remote one does not.
TEditEntries LocalEditEntries(bool selected, bool isFolder, const QString &name, const QString &htmlEditor);
TEditEntries RemoteEditEntries(bool selected, bool isFolder, const QString &name, const QString &htmlEditor);

// The page the internal viewer opens when shown: the focused list's selected entry when
// it is a web file, else the start page. `remoteUrl` / `localPath` are empty when that
// list has no focus or no (existing) selected file.
QString ViewerStartUrl(const QString &remoteUrl, const QString &localPath, const QString &startPage);

// What a new selection makes the shown viewer open; empty when the page stays.
QString ViewerSelectionUrl(const QString &remoteUrl, const QString &remoteName, const QString &localPath);
