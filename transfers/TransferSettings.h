#pragma once

#include <string>
#include <string_view>
#include <vector>

class TFTPComponent;

// The option values the transfer queue and the per-file transfer decision read. The
// transfers library cannot see the application's options store, so the application
// copies these values in whenever its options change.
struct TTransferSettings
{
    // "Connection"/"TransferMode": 0 Auto, 1 ASCII, 2 Binary, 3 EBCDIC, 4 Local.
    int TransferMode = 0;
    // "FileTypes": extensions sent as ASCII in Auto mode, each beginning with a period.
    std::vector<std::string> AsciiExtensions{".1st", ".asc", ".asi", ".asp",   ".cfm",
                                             ".css", ".diz", ".doc", ".htm",   ".html",
                                             ".me",  ".shtml", ".txt"};
    // "Advanced"/"ConfirmLowerCase": uploaded files get lowercase remote names.
    bool ForceLowerCase = false;
    // "Connection"/"UsePASV": the queue's new engines open data connections with PASV.
    bool Passive = false;

    // "Advanced" options of the per-file decision.
    bool NoTransferOlder = false;   // "NoXferOlder"
    int TryToResume = 1;            // 0 none, 1 binary files, 2 all files
    bool ConfirmRestarts = true;    // "ConfirmRestarts"
    bool ConfirmOverwrites = true;  // "ConfirmOverwrites"
    bool PreserveTimeStamp = true;  // "PreserveTimeStamp": downloads keep the server's date

    // The "Firewall" section.
    bool FirewallEnabled = false;
    int FirewallType = 0;                  // 0..3
    std::string FirewallHost;
    std::string FirewallPort = "21";       // text as stored; not a number means 21
    std::string FirewallUser;
    std::string FirewallPassword;
};

// The firewall port option as a number, blanks around it allowed; 21 when it is not one.
int FirewallPortNumber(std::string_view text);

// Queues the logon of an engine whose connection data is set: through the firewall when
// the options name one.
void QueueLogon(TFTPComponent &engine, const TTransferSettings &settings);
