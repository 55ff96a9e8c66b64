#include "engine/ListingCommands.h"

#include "engine/ControlConnection.h"
#include "engine/DataTransfer.h"
#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/ServerTypes.h"
#include "engine/TransferStreams.h"
#include "engine/WorkerHost.h"
#include "engine/WorkerNotifier.h"

TListingCommands::TListingCommands(TControlConnection &Connection, TDataTransfer &Transfers)
    : FNotifier(Connection.Notifier())
    , FTransfers(Transfers)
{}

bool TListingCommands::Run(const TListCommand &Command)
{
    const std::string mask = Command.Mask == "*.*" ? std::string() : Command.Mask;
    TTransferRequest request;
    request.Command = TrimText("LIST " + mask);
    request.IsFile = false;
    TMemoryStream buffer;
    bool success = FTransfers.RunTransfer(request, buffer);
    if (success)
        success = ProcessListing(Command.Folder, buffer.Data());
    return success;
}

bool TListingCommands::ProcessListing(const std::string &Folder, const std::string &Text)
{
    TWorkerHost &host = FNotifier.Host();
    const TListParser parser = ServerTypeParser(host.ServerType());
    if (parser == TListParser::None)
        return false;
    TParseContext context;
    context.Host = host.Host();
    if (DebugMode)
        context.Trace = [](const std::string &line) { Trace(line); };
    context.DroppedName = [this](std::string_view name) {
        FNotifier.Log(DroppedNameMessage(name), clLogError);
    };
    TDirListing listing;
    ParseListing(Text, parser, FListingState, listing, context);
    FNotifier.NotifyProcessList(Folder, std::move(listing));
    return true;
}
