#pragma once

// Small helpers shared by the engine, the views and the transfer queue.

#include "engine/Trace.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// True when `masks` is empty or holds "*.*", or when the lower-cased name matches one
// of the masks (which are expected in lower case). '*' takes the shortest run up to the
// first occurrence of the next mask character and never backtracks, so "*.txt" does
// not match "a.b.txt"; '?' takes exactly one character.
bool MatchesMasks(const QString &name, const QStringList &masks);
// The same for a name as the server's bytes, read as UTF-8.
bool MatchesMasks(std::string_view name, const QStringList &masks);

// A link's listed name is "name -> target".
std::string LinkName(std::string_view name);
std::string LinkTarget(std::string_view name);

// Cuts the path right after the previous occurrence of its last character, so
// "/pub/dir/" becomes "/pub/" (and becomes empty when there is none). False, leaving
// the path alone, when it is shorter than 2 characters.
bool ParentPath(std::string &path);
bool ParentPath(QString &path);

// Appends c unless the text is empty or already ends with it.
void AppendCharIfMissing(std::string &text, char c);
void AppendCharIfMissing(QString &text, QChar c);

void ReplaceChar(std::string &text, char oldChar, char newChar);
void ReplaceChar(QString &text, QChar oldChar, QChar newChar);

// Inserts the locale's thousands separator (or the one given) before each group of
// three digits from the right, at most five times.
QString ThousandSeparators(const QString &digits);
QString ThousandSeparators(const QString &digits, const QString &separator);

// Reversible scrambling of stored passwords: every byte b becomes ~b ^ 0x3C, so
// applying it twice gives the text back.
std::string ScramblePassword(std::string_view text);

// The engine cannot play sounds itself; the application installs a player at start.
void SetSoundPlayer(std::function<void(const QString &fileName)> player);
// Hands the file to the installed player; nothing happens for an empty name or when no
// player is installed.
void PlaySoundFile(const QString &fileName);

template <typename T>
constexpr const T &Min(const T &a, const T &b)
{
    return b < a ? b : a;
}

// The user's private temporary folder, "ferrow-<uid>" inside the system's temporary
// folder, created with mode 0700. A folder of that name that belongs to someone else
// or is not a real folder is refused: the result is empty and `errorMessage` says why.
QString TempFolder(QString *errorMessage = nullptr);
// The same below the given folder instead of the system's temporary folder.
QString TempFolderIn(const QString &base, QString *errorMessage = nullptr);

// Temporary copies to delete at program end.
void RegisterTempFile(const QString &path);
// Deletes every registered file (or empty folder), the last registered first, and
// forgets them all; returns how many were deleted.
int DeleteTempFiles();
