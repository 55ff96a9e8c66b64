#pragma once

// The short commands on the control connection alone: folders, delete, rename,
// permissions, type and NOOP.

#include "engine/FTPCommands.h"

#include <string>

class TControlConnection;
class TWorkerNotifier;

class TFolderCommands
{
public:
    explicit TFolderCommands(TControlConnection &Connection);
    TFolderCommands(const TFolderCommands &) = delete;
    TFolderCommands &operator=(const TFolderCommands &) = delete;

    bool Run(const TGetCurrentFolderCommand &Command);
    bool Run(const TSetCurrentFolderCommand &Command);
    bool Run(const TCreateFolderCommand &Command);
    bool Run(const TRemoveFolderCommand &Command);
    bool Run(const TDeleteCommand &Command);
    bool Run(const TRenameCommand &Command);
    bool Run(const TChangeAttributesCommand &Command);
    bool Run(const TSetTypeCommand &Command);
    bool Run(const TNoOpCommand &Command);

private:
    // Tries the X form (XPWD, XCWD, ...) when the server does not know the command.
    bool FolderCommand(const std::string &Command, int ReplyType);

    TControlConnection &FConnection;
    TWorkerNotifier &FNotifier;
};
