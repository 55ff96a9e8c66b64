// The short commands: folders, listing, delete, rename, permissions, type, NOOP.

#include "engine/FTPThread.h"

#include "engine/ProtocolText.h"
#include "engine/ServerTypes.h"
#include "engine/TransferStreams.h"

namespace {

const std::string &Param(const TParams &Params, std::size_t Index)
{
    static const std::string none;
    return Index < Params.size() ? Params[Index] : none;
}

} // namespace

bool TFTPThread::FolderCommand(const std::string &Command, int ReplyType)
{
    SendCommand(Command);
    const int replyClass = GetReply();
    bool success = replyClass == 2;
    if (!success && replyClass == 5 && (FReplyCode == 500 || FReplyCode == 502)) {
        SendCommand("X" + Command);
        success = GetReply() == 2;
    }
    NotifyFolderReply(QuotedFolder(FReplyLine), ReplyType, success);
    return success;
}

bool TFTPThread::DoList(const TParams &Params)
{
    FFileTransfer = false;
    std::string mask = Param(Params, 1);
    if (mask == "*.*")
        mask.clear();
    const std::string command(TrimText("LIST " + mask));

    TMemoryStream buffer;
    bool success = RunTransfer(command, true, 0, buffer);
    if (success)
        success = ProcessListing(Param(Params, 0), buffer.Data());
    FFileTransfer = true;
    return success;
}

bool TFTPThread::ProcessListing(const std::string &Folder, const std::string &Text)
{
    const TListParser parser = ServerTypeParser(FOwner.ServerType());
    if (parser == TListParser::None)
        return false;
    TParseContext context;
    context.Host = FOwner.Host();
    if (DebugMode)
        context.Trace = [](const std::string &line) { Trace(line); };
    context.DroppedName = [this](std::string_view name) { Log(DroppedNameMessage(name), clLogError); };
    TDirListing listing;
    ParseListing(Text, parser, FListingState, listing, context);
    NotifyProcessList(Folder, std::move(listing));
    return true;
}

bool TFTPThread::DoDelete(const TParams &Params)
{
    SendCommand("DELE " + Param(Params, 0));
    return GetReply() == 2;
}

bool TFTPThread::DoRename(const TParams &Params)
{
    const std::string &oldName = Param(Params, 0);
    const std::string &newName = Param(Params, 1);
    SendCommand("RNFR " + oldName);
    if (GetReply() != 3)
        return false;
    SendCommand("RNTO " + newName);
    if (GetReply() != 2)
        return false;
    NotifyRenameSuccessful(oldName, newName);
    return true;
}

bool TFTPThread::DoChangeAttributes(const TParams &Params)
{
    const std::string arguments = Param(Params, 0) + ' ' + Param(Params, 1);
    SendCommand("SITE CHMOD " + arguments);
    if (GetReply() == 2)
        return true;
    SendCommand("CHMOD " + arguments);
    return GetReply() == 2;
}

bool TFTPThread::DoSetType(const TParams &Params)
{
    std::int64_t type = TextToInt(Param(Params, 0), 0);
    if (type < 0 || type > 4)
        type = 0;
    // Auto and Binary both mean TYPE I: switching between them sends nothing.
    if (FCurrentType != UnknownType && TransferTypeLetter(int(type)) == TransferTypeLetter(FCurrentType))
        return true;
    FCurrentType = int(type);
    SendCommand(std::string("TYPE ") + TransferTypeLetter(FCurrentType));
    return GetReply() == 2;
}

bool TFTPThread::DoNoOp()
{
    FQuiet = true;
    SendCommand("NOOP");
    const bool success = GetReply() == 2;
    FQuiet = false;
    return success;
}
