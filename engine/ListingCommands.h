#pragma once

// Listing a folder: LIST over a data connection, read by the server type's parser.

#include "engine/FTPCommands.h"
#include "engine/Parsers.h"

#include <string>

class TControlConnection;
class TDataTransfer;
class TWorkerNotifier;

class TListingCommands
{
public:
    TListingCommands(TControlConnection &Connection, TDataTransfer &Transfers);
    TListingCommands(const TListingCommands &) = delete;
    TListingCommands &operator=(const TListingCommands &) = delete;

    bool Run(const TListCommand &Command);

private:
    bool ProcessListing(const std::string &Folder, const std::string &Text);

    TWorkerNotifier &FNotifier;
    TDataTransfer &FTransfers;
    // What one listing leaves for the next.
    TListingState FListingState;
};
