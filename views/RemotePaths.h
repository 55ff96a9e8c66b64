#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

// Folder paths of a server as its raw bytes, and the rules the remote view builds on
// them. Folder lookups ignore the case of ASCII letters, so two server folders whose
// paths differ only in case share one cache entry.

struct TFolderLess
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

bool SameFolder(std::string_view a, std::string_view b);
// Whether `path` begins with `prefix`, ignoring case as above.
bool StartsWithFolder(std::string_view path, std::string_view prefix);

// Bytes from a server as the user sees them: UTF-8, or Latin-1 when they are not valid
// UTF-8.
QString DecodeServerText(std::string_view bytes);
// What the user typed, as bytes for the server.
std::string EncodeUserText(const QString &text);

// The separator after a current-folder reply: '\' when the folder holds no '/' but a
// '\' (a "C:\DATA" server), otherwise `current`.
char SeperatorForFolder(std::string_view folder, char current);

// A full path cut into its folder (with its trailing separator) and its name. Both '/'
// and '\' end the folder, which is then written with `seperator`.
struct TRemoteName
{
    std::string Folder;
    std::string Name;
};
TRemoteName SplitRemotePath(std::string_view path, char seperator);

// The ftp:// URL of a remote path with the connection's login. The password is written
// in clear and nothing is escaped; an anonymous login and port 21 are left out.
std::string ItemURL(std::string_view host, int port, std::string_view user,
                    std::string_view password, std::string_view path);
// The same without the password, for text that leaves the program (the clipboard).
std::string PublicItemURL(std::string_view host, int port, std::string_view user, std::string_view path);
