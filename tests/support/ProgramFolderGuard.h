#pragma once

#include "platform/ProgramFolder.h"

#include <QString>

// Points the program folder at `folder` while it lives, so that nothing a test does
// touches the real program folder; the override is gone afterwards.
class TProgramFolderGuard
{
public:
    explicit TProgramFolderGuard(const QString &folder) { SetProgramFolderOverride(folder); }
    ~TProgramFolderGuard() { SetProgramFolderOverride(QString()); }

    TProgramFolderGuard(const TProgramFolderGuard &) = delete;
    TProgramFolderGuard &operator=(const TProgramFolderGuard &) = delete;
};
