#include "app/CommandLineOptions.h"

#include "engine/FTPUrl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

enum TCaseRule { crExact, crAnyCase };

struct TSwitch
{
    char Letter;
    bool TakesValue;
    TCaseRule CaseRule;
};

// Every switch of both passes: each pass must know which arguments the other pass's
// switches use up as values.
constexpr TSwitch Switches[] = {
    {'?', false, crExact},   {'i', true, crAnyCase},  {'n', true, crAnyCase},
    {'d', false, crAnyCase}, {'c', true, crExact},    {'u', true, crAnyCase},
    {'p', true, crAnyCase},  {'a', true, crAnyCase},  {'l', true, crAnyCase},
    {'h', true, crAnyCase},  {'r', true, crAnyCase},  {'s', true, crAnyCase},
    {'x', false, crAnyCase},
};

bool Matches(const QString &argument, const TSwitch &sw)
{
    const QString text = sw.CaseRule == crExact ? argument : argument.toLower();
    const QChar letter = QChar::fromLatin1(sw.Letter);
    if (text.size() >= 2 && text[0] == u'-' && text[1] == letter)
        return true;
    return text.size() == 2 && text[0] == u'/' && text[1] == letter;
}

// Stands in for a switch letter: an ftp:// URL given as an argument of its own.
constexpr char UrlArgument = '\0';

struct TFoundSwitch
{
    char Letter;
    QString Value;
};

std::vector<TFoundSwitch> FindSwitches(const QStringList &arguments)
{
    std::vector<TFoundSwitch> found;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments[i].trimmed();
        // A link handed over by the desktop: the whole URL as one argument.
        if (argument.startsWith(QStringLiteral("ftp://"), Qt::CaseInsensitive)) {
            found.push_back({UrlArgument, argument});
            continue;
        }
        for (const TSwitch &sw : Switches) {
            if (!Matches(argument, sw))
                continue;
            QString value;
            if (sw.TakesValue) {
                if (argument.size() > 2)
                    value = argument.sliced(2);
                else if (i + 1 < arguments.size())
                    value = arguments[++i].trimmed(); // a value is never read as a switch
            }
            found.push_back({sw.Letter, value});
            break;
        }
    }
    return found;
}

std::optional<int> PortNumber(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

QStringList SplitFileList(const QString &value)
{
    return value.split(u';', Qt::SkipEmptyParts);
}

QString WithTrailingSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

TStartupSwitches ReadStartupSwitches(const QStringList &Arguments)
{
    TStartupSwitches result;
    for (const TFoundSwitch &found : FindSwitches(Arguments)) {
        switch (found.Letter) {
        case '?': result.ShowUsage = true; break;
        case 'i': result.IniFileName = found.Value; break;
        case 'n': result.SitesFileName = found.Value; break;
        case 'd': result.DebugMode = true; break;
        default: break;
        }
    }
    return result;
}

TConnectionSwitches ReadConnectionSwitches(const QStringList &Arguments, const QString &LocalFolder)
{
    TConnectionSwitches result;
    result.LocalFolder = LocalFolder;
    for (const TFoundSwitch &found : FindSwitches(Arguments)) {
        switch (found.Letter) {
        case 'c': {
            const qsizetype colon = found.Value.indexOf(u':');
            result.Host = colon < 0 ? found.Value : found.Value.first(colon);
            result.Port = colon < 0 ? 21 : PortNumber(found.Value.sliced(colon + 1)).value_or(21);
            break;
        }
        case UrlArgument: {
            TURLParts parts;
            if (!SplitURL(found.Value, QString(), parts))
                break;
            result.Host = parts.Host;
            result.Port = parts.Port;
            result.UserName = parts.UserName;
            result.Password = parts.Password;
            // A link without a closing '/' names a folder as often as a file; it is opened
            // as a folder, since a file cannot be told apart before connecting.
            result.HostFolder = parts.Folder + parts.FileName;
            break;
        }
        case 'u': result.UserName = found.Value; break;
        case 'p': result.Password = found.Value; break;
        case 'a': result.Account = found.Value; break;
        case 'l': result.LocalFolder = found.Value; break;
        case 'h': result.HostFolder = found.Value; break;
        case 'r': result.ReceiveList = SplitFileList(found.Value); break;
        case 's': result.SendList = SplitFileList(found.Value); break;
        case 'x': result.ExitWhenDone = true; break;
        default: break;
        }
    }
    return result;
}

bool ResolveCommandLinePassword(TConnectionSwitches &Switches, const QString &EMail,
                                bool PromptForPass)
{
    if (Switches.Password.isEmpty() && Switches.UserName == u"anonymous")
        Switches.Password = EMail;
    return Switches.Password.isEmpty() && PromptForPass && !Switches.Host.isEmpty();
}

bool HasWildcards(const QStringList &List)
{
    for (const QString &entry : List) {
        if (entry.contains(u'*') || entry.contains(u'?'))
            return true;
    }
    return false;
}

bool DownloadsNamed(const TConnectionSwitches &Switches)
{
    return !Switches.ReceiveList.isEmpty() && !HasWildcards(Switches.ReceiveList);
}

std::vector<TCommandLineTransfer> CommandLineDownloads(const TConnectionSwitches &Switches)
{
    std::vector<TCommandLineTransfer> transfers;
    QString hostFolder = Switches.HostFolder;
    hostFolder.replace(u'\\', u'/');
    if (!hostFolder.isEmpty())
        hostFolder = WithTrailingSlash(hostFolder);
    const QString localFolder = WithTrailingSlash(Switches.LocalFolder);
    const TDateTime now = TDateTime::Now();

    for (QString entry : Switches.ReceiveList) {
        entry.replace(u'\\', u'/');
        const qsizetype slash = entry.lastIndexOf(u'/');
        TCommandLineTransfer transfer;
        transfer.FileName = entry.sliced(slash + 1);
        if (transfer.FileName.isEmpty())
            continue;
        // A path from the server's root does not go below the host folder.
        transfer.RemoteFolder = (entry.startsWith(u'/') ? QString() : hostFolder) + entry.first(slash + 1);
        transfer.LocalFolder = localFolder;
        transfer.Date = now;
        transfers.push_back(std::move(transfer));
    }
    return transfers;
}

std::vector<TCommandLineTransfer> CommandLineUploads(const TConnectionSwitches &Switches,
                                                     QStringList *Unreadable)
{
    std::vector<TCommandLineTransfer> transfers;
    QString hostFolder = Switches.HostFolder;
    if (!hostFolder.isEmpty())
        hostFolder = WithTrailingSlash(hostFolder);

    for (const QString &entry : Switches.SendList) {
        const qsizetype slash = entry.lastIndexOf(u'/');
        const QString folder = slash < 0 ? Switches.LocalFolder : entry.first(slash + 1);
        TCommandLineTransfer transfer;
        transfer.FileName = entry.sliced(slash + 1);
        if (transfer.FileName.isEmpty())
            continue;
        transfer.LocalFolder = WithTrailingSlash(QDir(folder).absolutePath());
        QFile file(transfer.LocalFolder + transfer.FileName);
        if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
            if (Unreadable)
                Unreadable->append(file.fileName());
            continue;
        }
        transfer.RemoteFolder = hostFolder;
        transfer.Size = file.size();
        transfer.Date = TDateTime::FromDateTime(QFileInfo(file).lastModified());
        transfers.push_back(std::move(transfer));
    }
    return transfers;
}

QString CommandLineUsageCaption()
{
    return QStringLiteral("Ferrow Command Line Usage");
}

QString CommandLineUsageText()
{
    static const char *const Lines[] = {
        "Ferrowx [/c Host[:port]]",
        "        [/u User name]",
        "        [/p Password]",
        "        [/a Account]",
        "        [/l [drive:][folder]]",
        "        [/h [folder]]",
        "        [/r [folder][filename][;[folder][filename]...]]",
        "        [/s [drive:][folder][filename][;[drive:][folder][filename]...]]",
        "        [/x]",
        "        [/i [drive:][folder][filename]",
        "        [/n [drive:][folder][filename]",
        "",
        "/c - Host name or IP address",
        "/u - User name",
        "/p - Password",
        "/a - Account",
        "/l - Local folder",
        "/h - Host folder",
        "/r - Files to receive",
        "/s - Files to send",
        "/x - Exit when done transferring",
        "/i - Path to settings (.ini) file",
        "/n - Path to sites listing (.ini) file",
        "",
        "\"/\" can be replaced with \"-\"",
    };
    QStringList lines;
    for (const char *line : Lines)
        lines.append(QString::fromLatin1(line));
    return lines.join(QStringLiteral("\n\r"));
}
