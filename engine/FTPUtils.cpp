#include "engine/FTPUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view LinkArrow = " -> ";
constexpr unsigned char ScrambleKey = 0x3C;
constexpr int MaxThousandGroups = 5;

bool MatchesMask(QStringView name, QStringView mask)
{
    qsizetype pos = 0;
    bool pendingStar = false;
    for (const QChar c : mask) {
        if (c == QLatin1Char('*')) {
            pendingStar = true;
        } else if (c == QLatin1Char('?')) {
            if (pos >= name.size())
                return false;
            ++pos;
        } else if (pendingStar) {
            const qsizetype found = name.indexOf(c, pos);
            if (found < 0)
                return false;
            pos = found + 1;
            pendingStar = false;
        } else {
            if (pos >= name.size() || name[pos] != c)
                return false;
            ++pos;
        }
    }
    return pos == name.size() || pendingStar;
}

template <typename TText>
bool CutAfterPrevious(TText &path)
{
    if (path.size() < 2)
        return false;
    const auto last = path[path.size() - 1];
    const auto previous = path.lastIndexOf(last, path.size() - 2);
    path.truncate(previous < 0 ? 0 : previous + 1);
    return true;
}

// std::string counterparts of the QString calls CutAfterPrevious makes.
struct TByteString
{
    std::string &Text;

    std::size_t size() const { return Text.size(); }
    char operator[](std::size_t i) const { return Text[i]; }
    long long lastIndexOf(char c, std::size_t from) const
    {
        const std::size_t found = Text.rfind(c, from);
        return found == std::string::npos ? -1 : static_cast<long long>(found);
    }
    void truncate(long long size) { Text.resize(std::size_t(size)); }
};

struct TTempRegistry
{
    std::mutex Lock;
    QStringList Files;
};

TTempRegistry &TempRegistry()
{
    static TTempRegistry registry;
    return registry;
}

struct TSoundPlayer
{
    std::mutex Lock;
    std::function<void(const QString &)> Play;
};

TSoundPlayer &SoundPlayer()
{
    static TSoundPlayer player;
    return player;
}

QString Refuse(QString *errorMessage, const QString &text)
{
    if (errorMessage)
        *errorMessage = text;
    return QString();
}

QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool DeleteOne(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir().rmdir(path);
    return QFile::remove(path);
}

} // namespace

bool MatchesMasks(const QString &name, const QStringList &masks)
{
    if (masks.isEmpty() || masks.contains(QStringLiteral("*.*")))
        return true;
    const QString lowerName = name.toLower();
    for (const QString &mask : masks) {
        if (MatchesMask(lowerName, mask))
            return true;
    }
    return false;
}

bool MatchesMasks(std::string_view name, const QStringList &masks)
{
    return MatchesMasks(QString::fromUtf8(name.data(), qsizetype(name.size())), masks);
}

std::string LinkName(std::string_view name)
{
    return std::string(name.substr(0, name.find(LinkArrow)));
}

std::string LinkTarget(std::string_view name)
{
    const std::size_t arrow = name.find(LinkArrow);
    if (arrow == std::string_view::npos)
        return std::string();
    return std::string(name.substr(arrow + LinkArrow.size()));
}

bool ParentPath(std::string &path)
{
    TByteString bytes{path};
    return CutAfterPrevious(bytes);
}

bool ParentPath(QString &path)
{
    return CutAfterPrevious(path);
}

void AppendCharIfMissing(std::string &text, char c)
{
    if (!text.empty() && text.back() != c)
        text += c;
}

void AppendCharIfMissing(QString &text, QChar c)
{
    if (!text.isEmpty() && text.back() != c)
        text += c;
}

void ReplaceChar(std::string &text, char oldChar, char newChar)
{
    std::replace(text.begin(), text.end(), oldChar, newChar);
}

void ReplaceChar(QString &text, QChar oldChar, QChar newChar)
{
    text.replace(oldChar, newChar);
}

QString ThousandSeparators(const QString &digits)
{
    return ThousandSeparators(digits, QLocale().groupSeparator());
}

QString ThousandSeparators(const QString &digits, const QString &separator)
{
    QString result = digits;
    int inserted = 0;
    for (qsizetype pos = digits.size() - 3; pos > 0 && inserted < MaxThousandGroups; pos -= 3) {
        result.insert(pos, separator);
        ++inserted;
    }
    return result;
}

std::string ScramblePassword(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = char(~static_cast<unsigned char>(c) ^ ScrambleKey);
    return result;
}

void SetSoundPlayer(std::function<void(const QString &)> player)
{
    TSoundPlayer &sound = SoundPlayer();
    const std::lock_guard guard(sound.Lock);
    sound.Play = std::move(player);
}

void PlaySoundFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    std::function<void(const QString &)> play;
    {
        TSoundPlayer &sound = SoundPlayer();
        const std::lock_guard guard(sound.Lock);
        play = sound.Play;
    }
    if (play)
        play(fileName);
}

QString TempFolder(QString *errorMessage)
{
    return TempFolderIn(QStandardPaths::writableLocation(QStandardPaths::TempLocation),
                        errorMessage);
}

QString TempFolderIn(const QString &base, QString *errorMessage)
{
    const QString path = base + QStringLiteral("/ferrow-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        return Refuse(errorMessage, QStringLiteral("Cannot create the temporary folder %1: %2")
                                        .arg(path, SystemError(errno)));
    }
    // lstat, so that a link planted under our name is refused rather than followed.
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0) {
        return Refuse(errorMessage, QStringLiteral("Cannot read the temporary folder %1: %2")
                                        .arg(path, SystemError(errno)));
    }
    if (!S_ISDIR(status.st_mode))
        return Refuse(errorMessage, QStringLiteral("The temporary folder %1 is not a folder").arg(path));
    if (status.st_uid != ::getuid()) {
        return Refuse(errorMessage,
                      QStringLiteral("The temporary folder %1 belongs to another user").arg(path));
    }
    if ((status.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0) {
        return Refuse(errorMessage, QStringLiteral("Cannot make the temporary folder %1 private: %2")
                                        .arg(path, SystemError(errno)));
    }
    return path;
}

void RegisterTempFile(const QString &path)
{
    TTempRegistry &registry = TempRegistry();
    const std::lock_guard guard(registry.Lock);
    registry.Files.append(path);
}

int DeleteTempFiles()
{
    QStringList files;
    {
        TTempRegistry &registry = TempRegistry();
        const std::lock_guard guard(registry.Lock);
        files.swap(registry.Files);
    }
    int deleted = 0;
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        if (DeleteOne(*it))
            ++deleted;
    }
    return deleted;
}
