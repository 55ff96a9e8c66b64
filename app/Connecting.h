#pragma once

// How the main window opens a connection the user asked for, from a stored site (the
// site manager, the Last Connections list) or from a URL. The window supplies the
// steps that touch widgets; the order and the decisions live here.

#include "engine/FTPUrl.h"
#include "sites/SiteStore.h"

#include <QString>
#include <QStringList>

#include <optional>

// One connection to open.
struct TConnectRequest
{
    QString Caption;  // of the remote tab and, through it, of the window
    QString SiteName; // empty for a URL: only stored sites go to Last Connections
    QString Host;
    int Port = 21;
    QString UserName;
    QString Password;
    QString Account;
    QString Folder;
    QString FileMasks;
    QStringList LocalFolders; // the site's non-empty local folders; the first is shown
};

// What a stored site connects with: an anonymous site logs in as "anonymous" with the
// e-mail address. Nothing for a site without a host (a deleted one reads so).
std::optional<TConnectRequest> SiteConnectRequest(const TSite &site, const QString &eMail);
// A URL's parts; the tab is named after the host.
TConnectRequest URLConnectRequest(const TURLParts &parts, const QString &account);

// The main window's part in opening a connection.
class TConnectTarget
{
public:
    virtual ~TConnectTarget() = default;
    virtual bool ActiveRemoteConnected() const = 0;
    virtual void OpenRemoteTab() = 0;
    virtual void SetRemoteCaption(const QString &caption) = 0;
    // The password prompt; nothing when the user cancels it.
    virtual std::optional<QString> AskPassword() = 0;
    virtual void OpenLocalFolder(const QString &folder, bool activate) = 0;
    virtual void ConnectActiveRemote(const TConnectRequest &request) = 0;
    virtual void AddLastConnection(const QString &siteName) = 0;
};

// Opens `request`: a connected active remote view keeps its connection and a new tab
// takes the new one; without a password (none given, prompt cancelled) nothing
// connects. True when a connection was started.
bool OpenConnection(TConnectTarget &target, TConnectRequest request, bool promptForPass);

// The URL history after `url` was used: it moves to the top, no other entry equal to
// it (letter case ignored) is kept.
QStringList URLHistoryWith(const QStringList &history, const QString &url);
