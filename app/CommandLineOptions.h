#pragma once

// The program's command-line switches, read in two passes: the file switches and the
// help switch while the main window is created, the connection and transfer switches
// on its first activation. Arguments are the process arguments without the program
// name (QCoreApplication::arguments().mid(1)).
//
// A switch begins with '-' or, only when the argument is exactly two characters long,
// with '/': on this platform a longer argument that starts with '/' is a path. Its
// value follows in the same argument ("-uhost") or, for a two-character argument, is
// the next argument ("-u host"), which is then used up. "-c" and the help switch keep
// their letter case; every other switch is recognised in either case.

#include "platform/DateTime.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// What the first pass finds.
struct TStartupSwitches
{
    bool ShowUsage = false;     // "-?": show the usage text instead of the program
    QString IniFileName;        // "-i"; empty when not given
    QString SitesFileName;      // "-n"; empty when not given
    bool DebugMode = false;     // "-d"
};

TStartupSwitches ReadStartupSwitches(const QStringList &Arguments);

// What the second pass collects, with the start values of the values not given.
struct TConnectionSwitches
{
    QString Host;                                        // "-c host[:port]"
    int Port = 21;
    QString UserName = QStringLiteral("anonymous");      // "-u"
    QString Password;                                    // "-p"
    QString Account;                                     // "-a"
    QString LocalFolder;                                 // "-l"; the caller's start folder
    QString HostFolder;                                  // "-h"
    QStringList ReceiveList;                             // "-r a;b": files to download
    QStringList SendList;                                // "-s a;b": files to upload
    bool ExitWhenDone = false;                           // "-x"
};

// An argument "ftp://[user[:password]@]host[:port][/folder]" sets the host, port, login
// and host folder as the URL window splits them; switches after it win.
// LocalFolder is the folder the first local view shows, kept unless "-l" is given.
TConnectionSwitches ReadConnectionSwitches(const QStringList &Arguments, const QString &LocalFolder);

// The anonymous login takes the e-mail option as its password. Returns true when the
// password is still empty and the user is to be asked for it: only with PromptForPass
// on and a host to connect to.
bool ResolveCommandLinePassword(TConnectionSwitches &Switches, const QString &EMail,
                                bool PromptForPass);

// One transfer the command line asks for, ready for the transfer queue.
struct TCommandLineTransfer
{
    QString RemoteFolder; // ends with '/' unless empty
    QString LocalFolder;  // ends with '/'
    QString FileName;
    std::int64_t Size = 0;
    TDateTime Date;
};

// A receive list with '*' or '?' is a list of masks for the remote view to select from
// after its first listing; otherwise each entry is one download.
bool HasWildcards(const QStringList &List);
// Whether the receive list names its downloads one by one (no wildcards): the queue then
// fetches them without the remote view.
bool DownloadsNamed(const TConnectionSwitches &Switches);

// The downloads of a receive list without wildcards. Each entry is a path below the
// host folder, or from the server's root when it starts with '/'; '\' separates folders
// as '/' does. Entries without a file name are left out.
std::vector<TCommandLineTransfer> CommandLineDownloads(const TConnectionSwitches &Switches);

// The uploads of the send list: each entry is a local file, in the local folder when it
// names no folder. Files that cannot be opened for reading (wildcards among them) are
// left out without a message; their paths go to Unreadable when it is given.
std::vector<TCommandLineTransfer> CommandLineUploads(const TConnectionSwitches &Switches,
                                                     QStringList *Unreadable = nullptr);

// "Ferrow Command Line Usage"
QString CommandLineUsageCaption();
// The usage text; its lines are separated by line feed then carriage return.
QString CommandLineUsageText();
