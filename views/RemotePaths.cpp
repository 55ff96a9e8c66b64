#include "views/RemotePaths.h"

#include "platform/TextCodec.h"

#include <QByteArray>

#include <algorithm>

namespace {

char FoldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

bool TFolderLess::operator()(std::string_view a, std::string_view b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
    });
}

bool SameFolder(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithFolder(a, b);
}

bool StartsWithFolder(std::string_view path, std::string_view prefix)
{
    if (prefix.size() > path.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), path.begin(),
                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

QString DecodeServerText(std::string_view bytes)
{
    return DecodeUtf8OrLatin1(bytes);
}

std::string EncodeUserText(const QString &text)
{
    return text.toStdString();
}

char SeperatorForFolder(std::string_view folder, char current)
{
    if (folder.find('/') == std::string_view::npos && folder.find('\\') != std::string_view::npos)
        return '\\';
    return current;
}

TRemoteName SplitRemotePath(std::string_view path, char seperator)
{
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos)
        return {std::string(), std::string(path)};
    TRemoteName result{std::string(path.substr(0, cut + 1)), std::string(path.substr(cut + 1))};
    std::replace_if(result.Folder.begin(), result.Folder.end(),
                    [](char c) { return c == '/' || c == '\\'; }, seperator);
    return result;
}

namespace {

std::string ComposeURL(std::string_view login, std::string_view host, int port, std::string_view path)
{
    std::string url = "ftp://";
    if (!login.empty())
        url.append(login).append("@");
    url.append(host);
    if (port != 21)
        url.append(":").append(std::to_string(port));
    url.append(path);
    return url;
}

} // namespace

std::string ItemURL(std::string_view host, int port, std::string_view user,
                    std::string_view password, std::string_view path)
{
    if (user == "anonymous")
        return ComposeURL({}, host, port, path);
    return ComposeURL(std::string(user).append(":").append(password), host, port, path);
}

std::string PublicItemURL(std::string_view host, int port, std::string_view user, std::string_view path)
{
    return ComposeURL(user == "anonymous" ? std::string_view() : user, host, port, path);
}
