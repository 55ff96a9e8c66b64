#pragma once

#include <QString>

// "The program folder": where the options file, "Sites.ini", "Debug.txt", the log file,
// "Dev/dev.ini" and the files shipped with the program are found. It is the
// executable's folder when that is writable (a portable install, such as the build
// folder) and not a folder named "bin" (an installed copy); otherwise the per-user data
// folder, created when missing.
//
// An override wins over both: SetProgramFolderOverride(), else the environment
// variable FERROW_PROGRAM_FOLDER. Safe to call from any thread.
//
// The folder is returned without a trailing '/'; use ProgramFilePath() to name a file in it.
QString ProgramFolder();
QString ProgramFilePath(const QString &name);

// An empty folder removes the override.
void SetProgramFolderOverride(const QString &folder);

// The rule itself, for a given executable folder: that folder when it is a writable
// folder not named "bin", else the per-user data folder (created when missing).
QString ResolveProgramFolder(const QString &executableFolder);
// The per-user data folder used when the executable's folder is not writable.
QString UserProgramFolder();

// A file shipped with the program ("welcome.html", "help/index.html"): the program
// folder's copy when there is one, else the installed one in "<prefix>/share/ferrow"
// beside the executable's "bin" folder. Empty when neither exists.
QString ShippedFilePath(const QString &name);
