#include "app/Connecting.h"

std::optional<TConnectRequest> SiteConnectRequest(const TSite &site, const QString &eMail)
{
    if (site.Host.trimmed().isEmpty())
        return std::nullopt;
    TConnectRequest request;
    // A site not yet named is shown by its host.
    request.Caption = site.Name.isEmpty() ? site.Host.trimmed() : site.Name;
    request.SiteName = site.Name;
    request.Host = site.Host.trimmed();
    request.Port = site.Port;
    request.UserName = site.Anonymous ? QStringLiteral("anonymous") : site.UserName;
    request.Password = site.Anonymous ? eMail : site.Password;
    request.Folder = site.HostFolder;
    for (const QString &folder : site.LocalFolders) {
        if (!folder.trimmed().isEmpty())
            request.LocalFolders.append(folder.trimmed());
    }
    return request;
}

TConnectRequest URLConnectRequest(const TURLParts &parts, const QString &account)
{
    TConnectRequest request;
    request.Caption = parts.Host;
    request.Host = parts.Host;
    request.Port = parts.Port;
    request.UserName = parts.UserName;
    request.Password = parts.Password;
    request.Account = account;
    request.Folder = parts.Folder;
    // A URL naming a file selects it after the first listing.
    request.FileMasks = parts.FileName;
    return request;
}

bool OpenConnection(TConnectTarget &target, TConnectRequest request, bool promptForPass)
{
    if (request.Host.isEmpty())
        return false;
    if (target.ActiveRemoteConnected())
        target.OpenRemoteTab();
    target.SetRemoteCaption(request.Caption);
    if (request.Password.isEmpty() && promptForPass) {
        if (std::optional<QString> typed = target.AskPassword())
            request.Password = *typed;
    }
    if (request.Password.isEmpty())
        return false;
    for (int i = 0; i < request.LocalFolders.size(); ++i)
        target.OpenLocalFolder(request.LocalFolders[i], i == 0);
    target.ConnectActiveRemote(request);
    if (!request.SiteName.isEmpty())
        target.AddLastConnection(request.SiteName);
    return true;
}

QStringList URLHistoryWith(const QStringList &history, const QString &url)
{
    QStringList result;
    if (!url.isEmpty())
        result.append(url);
    for (const QString &entry : history) {
        if (!entry.isEmpty() && entry.compare(url, Qt::CaseInsensitive) != 0)
            result.append(entry);
    }
    return result;
}
