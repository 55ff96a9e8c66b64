#include "engine/FolderCommands.h"

#include "engine/ControlConnection.h"
#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/WorkerNotifier.h"

TFolderCommands::TFolderCommands(TControlConnection &Connection)
    : FConnection(Connection)
    , FNotifier(Connection.Notifier())
{}

bool TFolderCommands::FolderCommand(const std::string &Command, int ReplyType)
{
    FConnection.SendCommand(Command);
    const int replyClass = FConnection.GetReply();
    bool success = replyClass == 2;
    if (!success && replyClass == 5 && (FConnection.ReplyCode() == 500 || FConnection.ReplyCode() == 502)) {
        FConnection.SendCommand("X" + Command);
        success = FConnection.GetReply() == 2;
    }
    FNotifier.NotifyFolderReply(QuotedFolder(FConnection.ReplyLine()), ReplyType, success);
    return success;
}

bool TFolderCommands::Run(const TGetCurrentFolderCommand &)
{
    return FolderCommand("PWD", frCurrent);
}

bool TFolderCommands::Run(const TSetCurrentFolderCommand &Command)
{
    return FolderCommand("CWD " + Command.Folder, frChange);
}

bool TFolderCommands::Run(const TCreateFolderCommand &Command)
{
    return FolderCommand("MKD " + Command.Name, frCreate);
}

bool TFolderCommands::Run(const TRemoveFolderCommand &Command)
{
    return FolderCommand("RMD " + Command.Name, frRemove);
}

bool TFolderCommands::Run(const TDeleteCommand &Command)
{
    FConnection.SendCommand("DELE " + Command.Name);
    return FConnection.GetReply() == 2;
}

bool TFolderCommands::Run(const TRenameCommand &Command)
{
    FConnection.SendCommand("RNFR " + Command.OldName);
    if (FConnection.GetReply() != 3)
        return false;
    FConnection.SendCommand("RNTO " + Command.NewName);
    if (FConnection.GetReply() != 2)
        return false;
    FNotifier.NotifyRenameSuccessful(Command.OldName, Command.NewName);
    return true;
}

bool TFolderCommands::Run(const TChangeAttributesCommand &Command)
{
    const std::string arguments = ModeText(Command.Attributes) + ' ' + Command.Name;
    FConnection.SendCommand("SITE CHMOD " + arguments);
    if (FConnection.GetReply() == 2)
        return true;
    FConnection.SendCommand("CHMOD " + arguments);
    return FConnection.GetReply() == 2;
}

bool TFolderCommands::Run(const TSetTypeCommand &Command)
{
    const int type = Command.Type >= ttAuto && Command.Type <= ttLocal ? int(Command.Type) : int(ttAuto);
    // Auto and Binary both mean TYPE I: switching between them sends nothing.
    const int current = FConnection.CurrentType();
    if (current != TControlConnection::UnknownType && TransferTypeLetter(type) == TransferTypeLetter(current))
        return true;
    FConnection.SetCurrentType(type);
    FConnection.SendCommand(std::string("TYPE ") + TransferTypeLetter(type));
    return FConnection.GetReply() == 2;
}

bool TFolderCommands::Run(const TNoOpCommand &)
{
    const TQuietScope quiet(FNotifier);
    FConnection.SendCommand("NOOP");
    return FConnection.GetReply() == 2;
}
