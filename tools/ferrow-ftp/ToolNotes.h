#pragma once

// The engine's notifications as ferrow-ftp records and prints them, and the rules that
// decide from them whether a command succeeded.

#include "engine/FTPComp.h"
#include "tools/ferrow-ftp/ToolOptions.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TNoteKind {
    Abort,
    CantLogIn,
    Connect,
    Disconnect,
    Error,
    FolderReply,
    Log,
    LoggedIn,
    Progress,
    ProcessList,
    RenameSuccessful,
    UpdateFileSize,
};

struct TNote
{
    TNoteKind Kind = TNoteKind::Log;
    int Code = 0;            // Error: code; FolderReply: reply type; Progress: phase
    std::string Text;        // Error: desc; FolderReply, ProcessList: folder; Log: message;
                             // RenameSuccessful: old name; UpdateFileSize: file name
    std::string Text2;       // RenameSuccessful: new name
    bool Flag = false;       // FolderReply: result; Progress: is a file
    std::int64_t Number = 0; // Progress: bytes; UpdateFileSize: new size
    TColor Color = clLogInfo;
};

// One line as the debug trace writes the notification, without the host; CR and LF
// become '~' so that every notification stays on one line. Progress, which the trace
// leaves out, prints its three fields the same way.
std::string NoteLine(const TNote &Note);

// The code of the last complete reply among the Log notes ("250 Done" gives 250); 0
// when there is none.
int LastReplyCode(const std::vector<TNote> &Notes);

// Whether the notes raised while the command ran (from its queuing to the QUIT of the
// logout) tell that it succeeded.
bool CommandSucceeded(TToolCommand Command, const std::vector<TNote> &Notes);
