#include "engine/FTPUrl.h"

#include "platform/TextCodec.h"

#include <QByteArray>

#include <algorithm>
#include <optional>

namespace {

const QString AnonymousUser = QStringLiteral("anonymous");

// The scheme's default port; 0 for a scheme this client cannot use.
int DefaultPort(const QString &scheme)
{
    if (scheme == u"ftp")
        return 21;
    if (scheme == u"http")
        return 80;
    if (scheme == u"https")
        return 443;
    return 0;
}

// "/a/./b/../c" becomes "/a/c"; ".." never climbs above the root.
QString WithoutDotSegments(QString input)
{
    QString output;
    while (!input.isEmpty()) {
        if (input.startsWith(u"../"))
            input.remove(0, 3);
        else if (input.startsWith(u"./"))
            input.remove(0, 2);
        else if (input.startsWith(u"/./"))
            input.remove(0, 2);
        else if (input == u"/.")
            input = QStringLiteral("/");
        else if (input.startsWith(u"/../") || input == u"/..") {
            input = input.size() == 3 ? QStringLiteral("/") : input.sliced(3);
            output.truncate(qMax(0, int(output.lastIndexOf(u'/'))));
        } else if (input == u"." || input == u"..")
            input.clear();
        else {
            qsizetype next = input.indexOf(u'/', 1);
            if (next < 0)
                next = input.size();
            output += input.first(next);
            input.remove(0, next);
        }
    }
    return output;
}

std::optional<int> PortNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return value;
}

bool IsSchemeChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-'
           || c == u'.';
}

// Escapes every character of `special` and '%' itself.
QString Escaped(const QString &text, QStringView special)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'%' || special.contains(c))
            result += u'%' + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            result += c;
    }
    return result;
}

bool IsAnonymous(const QString &userName)
{
    return userName.compare(AnonymousUser, Qt::CaseInsensitive) == 0;
}

} // namespace

QString PercentDecoded(const QString &Text)
{
    if (!Text.contains(u'%'))
        return Text;
    QString result;
    result.reserve(Text.size());
    QByteArray run; // consecutive escaped bytes, decoded together as one UTF-8 sequence
    const qsizetype size = Text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (Text[i] == u'%' && i + 2 < size && HexDigitValue(Text[i + 1]) >= 0
            && HexDigitValue(Text[i + 2]) >= 0) {
            run += char(HexDigitValue(Text[i + 1]) * 16 + HexDigitValue(Text[i + 2]));
            i += 2;
            continue;
        }
        if (!run.isEmpty()) {
            result += DecodeUtf8OrLatin1(run);
            run.clear();
        }
        result += Text[i];
    }
    if (!run.isEmpty())
        result += DecodeUtf8OrLatin1(run);
    return result;
}

bool SplitURL(const QString &URL, const QString &AnonymousPassword, TURLParts &Parts)
{
    const auto fail = [&Parts] {
        Parts = TURLParts{};
        return false;
    };

    QString text = URL.trimmed();
    if (!text.contains(u"://"))
        text = QStringLiteral("ftp://") + text;

    const qsizetype schemeEnd = text.indexOf(u"://");
    const QString scheme = text.first(schemeEnd).toLower();
    if (scheme.isEmpty() || !std::all_of(scheme.begin(), scheme.end(), IsSchemeChar))
        return fail();
    const int defaultPort = DefaultPort(scheme);
    if (defaultPort == 0)
        return fail();

    const QString rest = text.sliced(schemeEnd + 3);
    const qsizetype pathStart = rest.indexOf(u'/');
    const QString authority = pathStart < 0 ? rest : rest.first(pathStart);
    const QString path = pathStart < 0 ? QString() : rest.sliced(pathStart);

    // The last '@' ends the login: a password may hold '@' unescaped.
    const qsizetype at = authority.lastIndexOf(u'@');
    const QString login = at < 0 ? QString() : authority.first(at);
    const QString hostPort = authority.sliced(at + 1);

    QString rawHost = hostPort;
    QString portText;
    qsizetype colon = -1;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return fail();
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != u':')
                return fail();
            colon = close + 1;
        }
    } else {
        colon = hostPort.indexOf(u':');
    }
    if (colon >= 0) {
        rawHost = hostPort.first(colon);
        portText = hostPort.sliced(colon + 1);
    }
    int port = defaultPort;
    if (!portText.isEmpty()) {
        const std::optional<int> number = PortNumber(portText);
        if (!number)
            return fail();
        port = *number;
    }

    TURLParts parts;
    const qsizetype loginColon = login.indexOf(u':');
    parts.UserName = PercentDecoded(loginColon < 0 ? login : login.first(loginColon));
    parts.Password = loginColon < 0 ? QString() : PercentDecoded(login.sliced(loginColon + 1));
    parts.Host = PercentDecoded(rawHost);
    parts.Port = port;
    if (parts.UserName.isEmpty()) {
        parts.UserName = AnonymousUser;
        parts.Password = AnonymousPassword;
    }

    const QString decodedPath = PercentDecoded(WithoutDotSegments(path));
    const qsizetype slash = decodedPath.lastIndexOf(u'/');
    if (slash < 0) {
        parts.Folder = decodedPath;
    } else {
        parts.Folder = decodedPath.first(slash + 1);
        parts.FileName = decodedPath.sliced(slash + 1);
    }
    Parts = std::move(parts);
    return true;
}

TURLFields URLFieldsFromParts(const TURLParts &Parts)
{
    return TURLFields{Parts.UserName, Parts.Password, Parts.Host, QString::number(Parts.Port),
                      Parts.Folder, Parts.FileName};
}

void FollowURLScheme(const QString &URLText, TURLFields &Fields, TURLKind &Kind)
{
    if (URLText.startsWith(u"http", Qt::CaseInsensitive)) {
        Kind = ukHTTP;
        if (IsAnonymous(Fields.UserName)) {
            Fields.UserName.clear();
            Fields.Password.clear();
        }
    } else if (URLText.startsWith(u"ftp", Qt::CaseInsensitive)) {
        Kind = IsAnonymous(Fields.UserName) ? ukFTPAnonymous : ukFTP;
    }
}

void ApplyURLKind(TURLKind Kind, TURLFields &Fields, const QString &AnonymousPassword)
{
    if (Kind == ukFTPAnonymous) {
        Fields.UserName = AnonymousUser;
        Fields.Password = AnonymousPassword;
    } else if (Kind == ukFTP && IsAnonymous(Fields.UserName)) {
        Fields.UserName.clear();
        Fields.Password.clear();
    }
}

QString ComposeURL(TURLFields &Fields, TURLKind Kind)
{
    QString url;
    if (Kind != ukFTPAnonymous && !Fields.UserName.isEmpty() && !Fields.Password.isEmpty())
        url = Escaped(Fields.UserName, u":@/") + u':' + Escaped(Fields.Password, u"/") + u'@';

    Fields.Host = Fields.Host.trimmed();
    const qsizetype slash = Fields.Host.indexOf(u'/');
    if (slash >= 0) {
        Fields.Folder.prepend(Fields.Host.sliced(slash));
        Fields.Host.truncate(slash);
    }
    // An '@' typed into the host stays unescaped: "user@host" there is a login.
    url += Escaped(Fields.Host, {});

    Fields.Port = Fields.Port.trimmed();
    if (!Fields.Port.isEmpty() && Fields.Port != u"21")
        url += u':' + Fields.Port;

    while (Fields.Folder.startsWith(u"//"))
        Fields.Folder.remove(0, 1);
    if (!Fields.Folder.isEmpty()) {
        qsizetype first = 0;
        while (first < Fields.Folder.size() && Fields.Folder[first] == u'/')
            ++first;
        // A folder of slashes alone is the root: one '/', not two.
        url += u'/' + Escaped(Fields.Folder.sliced(first), {});
    }

    if (!Fields.FileName.isEmpty()) {
        if (!url.isEmpty() && !url.endsWith(u'/'))
            url += u'/';
        url += Escaped(Fields.FileName, {});
    }

    return (Kind == ukHTTP ? QStringLiteral("http://") : QStringLiteral("ftp://")) + url;
}

QString URLConnectProblem(const TURLParts &Parts)
{
    const auto hasControl = [](const QString &text) {
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    };
    for (const QString *part : {&Parts.UserName, &Parts.Password, &Parts.Host, &Parts.Folder, &Parts.FileName}) {
        if (hasControl(*part))
            return QStringLiteral("The URL holds a control character (a line break or NUL, perhaps "
                                  "escaped with %): it cannot be sent to a server.");
    }
    if (Parts.Host.startsWith(u'[') || Parts.Host.count(u':') > 0)
        return QStringLiteral("IPv6 addresses are not supported: give a host name or an IPv4 address.");
    return QString();
}
