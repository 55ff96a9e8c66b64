#pragma once

// Splitting ftp:// and http:// URLs into their parts, and building a URL from parts
// typed one by one, as the URL dialog does in both directions.

#include <QString>

// The parts of a split URL.
struct TURLParts
{
    QString UserName;
    QString Password;
    QString Host;
    int Port = 21;
    QString Folder;   // up to and including the last '/' of the path
    QString FileName; // after the last '/'
};

// Splits URL into its parts. Without "://" the URL is taken as "ftp://" + URL. Parts
// are percent-decoded after splitting, so an escaped '@', ':' or '/' stays inside its
// part. The user information ends at the authority's last '@' and the user name at its
// first ':', so a password may itself hold '@' and ':'. Without a user name the user is
// "anonymous" with AnonymousPassword. A URL without a '/' after the host gives an empty
// folder, one with it "/". The port defaults to the scheme's (21 for ftp, 80 for http).
//
// Returns false for a URL that cannot be split (an unknown scheme, a port that is not a
// number from 1 to 65535); Parts are then emptied and the port is 21.
bool SplitURL(const QString &URL, const QString &AnonymousPassword, TURLParts &Parts);

// The three kinds of URL the dialog offers.
enum TURLKind : int { ukFTP = 0, ukFTPAnonymous = 1, ukHTTP = 2 };

// The dialog's part fields as typed; the port is text there.
struct TURLFields
{
    QString UserName;
    QString Password;
    QString Host;
    QString Port;
    QString Folder;
    QString FileName;
};

// The split parts as the fields show them.
TURLFields URLFieldsFromParts(const TURLParts &Parts);

// The kind follows the URL's scheme: "http..." is HTTP and loses an "anonymous" user
// name with its password; "ftp..." is FTP anonymous for the user "anonymous" and FTP
// otherwise; any other beginning keeps Kind. Letter case is ignored throughout.
void FollowURLScheme(const QString &URLText, TURLFields &Fields, TURLKind &Kind);

// A click on a kind: FTP anonymous fills in "anonymous" and AnonymousPassword; FTP
// empties an "anonymous" login so that the user types a real one.
void ApplyURLKind(TURLKind Kind, TURLFields &Fields, const QString &AnonymousPassword);

// Builds the URL from the fields. Normalises Fields on the way: the host and port are
// trimmed, a path typed into the host moves to the front of the folder, and a folder
// starting with several '/' keeps one. The login appears only when both user name and
// password are given and the kind is not FTP anonymous; port 21 is left out. Characters
// that would end a part early ('%' everywhere, '/' in the login, ':' and '@' in the
// user name) are percent-escaped, so that SplitURL gives the same parts back.
QString ComposeURL(TURLFields &Fields, TURLKind Kind);

// Percent-decoding of "%XX" escapes, bytes read as UTF-8 (Latin-1 when they are not
// valid UTF-8); a '%' without two hex digits stays as it is.
QString PercentDecoded(const QString &Text);

// Why the parts of a split URL cannot be connected to; empty when they can. A part that
// holds a control character (an escape such as "%0D%0A" decodes to one) would put it
// into a command line, and the engine speaks IPv4 only.
QString URLConnectProblem(const TURLParts &Parts);
