#include "engine/FTPUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t ModeOf(const QString &path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status.st_mode & 07777;
}

QString PrivateFolderName(const QString &base)
{
    return base + QStringLiteral("/ferrow-") + QString::number(::getuid());
}

bool WriteFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

TEST(MatchesMasks, NoMasksOrStarDotStarMatchEverything)
{
    EXPECT_TRUE(MatchesMasks(QStringLiteral("anything"), QStringList()));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("noext"), {QStringLiteral("*.txt"), QStringLiteral("*.*")}));
}

TEST(MatchesMasks, StarsAndQuestionMarks)
{
    const QStringList masks = {QStringLiteral("*.txt"), QStringLiteral("??.doc")};
    EXPECT_TRUE(MatchesMasks(QStringLiteral("readme.txt"), masks));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("ab.doc"), masks));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("abc.doc"), masks));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("a.doc"), masks));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("readme.txt2"), masks));

    // The name is lower-cased; the masks are taken as given.
    EXPECT_TRUE(MatchesMasks(QStringLiteral("README.TXT"), masks));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("readme.txt"), {QStringLiteral("*.TXT")}));

    EXPECT_TRUE(MatchesMasks(QStringLiteral("abc"), {QStringLiteral("a*")}));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("abc"), {QStringLiteral("*")}));
    EXPECT_TRUE(MatchesMasks(QStringLiteral(""), {QStringLiteral("*")}));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("abc"), {QStringLiteral("a*?")}));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("ab"), {QStringLiteral("ab?")}));
}

TEST(MatchesMasks, StarNeverBacktracks)
{
    EXPECT_FALSE(MatchesMasks(QStringLiteral("a.b.txt"), {QStringLiteral("*.txt")}));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("aab"), {QStringLiteral("*ab")}));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("ab"), {QStringLiteral("*ab")}));
}

TEST(MatchesMasks, ServerBytesAreReadAsUtf8)
{
    const std::string name = "\xC3\x84rger.TXT"; // "Ärger.TXT"
    EXPECT_TRUE(MatchesMasks(name, {QString::fromUtf8("\xC3\xA4*.txt")}));
    EXPECT_TRUE(MatchesMasks(name, {QStringLiteral("?rger.txt")}));
}

TEST(LinkNames, SplitAtFirstArrow)
{
    EXPECT_EQ(LinkName("lib -> usr/lib"), "lib");
    EXPECT_EQ(LinkTarget("lib -> usr/lib"), "usr/lib");
    EXPECT_EQ(LinkName("a -> b -> c"), "a");
    EXPECT_EQ(LinkTarget("a -> b -> c"), "b -> c");
    EXPECT_EQ(LinkName("plain"), "plain");
    EXPECT_EQ(LinkTarget("plain"), "");
    EXPECT_EQ(LinkName("a->b"), "a->b");
}

TEST(PathHelpers, ParentPath)
{
    std::string path = "/pub/dir/";
    EXPECT_TRUE(ParentPath(path));
    EXPECT_EQ(path, "/pub/");
    EXPECT_TRUE(ParentPath(path));
    EXPECT_EQ(path, "/");
    EXPECT_FALSE(ParentPath(path));
    EXPECT_EQ(path, "/");

    // The last character decides; when it does not occur again nothing is left.
    path = "/pub/dir";
    EXPECT_TRUE(ParentPath(path));
    EXPECT_EQ(path, "");

    QString local = QStringLiteral("/home/me/");
    EXPECT_TRUE(ParentPath(local));
    EXPECT_EQ(local, QStringLiteral("/home/"));
    local = QStringLiteral("x");
    EXPECT_FALSE(ParentPath(local));
    EXPECT_EQ(local, QStringLiteral("x"));
}

TEST(PathHelpers, AppendReplaceScan)
{
    std::string text;
    AppendCharIfMissing(text, '/');
    EXPECT_EQ(text, "");
    text = "/pub";
    AppendCharIfMissing(text, '/');
    AppendCharIfMissing(text, '/');
    EXPECT_EQ(text, "/pub/");

    QString local = QStringLiteral("/tmp");
    AppendCharIfMissing(local, QLatin1Char('/'));
    EXPECT_EQ(local, QStringLiteral("/tmp/"));

    text = "a\\b\\c";
    ReplaceChar(text, '\\', '/');
    EXPECT_EQ(text, "a/b/c");
    ReplaceChar(local, QLatin1Char('/'), QLatin1Char('|'));
    EXPECT_EQ(local, QStringLiteral("|tmp|"));
}

TEST(ThousandSeparators, GroupsOfThreeFromTheRight)
{
    const QString comma = QStringLiteral(",");
    EXPECT_EQ(ThousandSeparators(QStringLiteral("0"), comma), QStringLiteral("0"));
    EXPECT_EQ(ThousandSeparators(QStringLiteral("999"), comma), QStringLiteral("999"));
    EXPECT_EQ(ThousandSeparators(QStringLiteral("1024"), comma), QStringLiteral("1,024"));
    EXPECT_EQ(ThousandSeparators(QStringLiteral("123456"), comma), QStringLiteral("123,456"));
    EXPECT_EQ(ThousandSeparators(QStringLiteral("1234567"), comma), QStringLiteral("1,234,567"));
    // At most five separators.
    EXPECT_EQ(ThousandSeparators(QStringLiteral("1234567890123456789"), comma),
              QStringLiteral("1234,567,890,123,456,789"));
}

TEST(ThousandSeparators, UsesLocaleSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ThousandSeparators(QStringLiteral("1048576")), QStringLiteral("1.048.576"));
    QLocale::setDefault(saved);
}

TEST(ScramblePassword, IsItsOwnInverse)
{
    EXPECT_EQ(ScramblePassword(""), "");
    EXPECT_EQ(ScramblePassword("a"), "\xA2");
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    const std::string scrambled = ScramblePassword(every);
    EXPECT_EQ(scrambled.size(), every.size());
    EXPECT_NE(scrambled, every);
    EXPECT_EQ(ScramblePassword(scrambled), every);
}

TEST(PlaySoundFile, GoesToInstalledPlayerOnly)
{
    SetSoundPlayer(nullptr);
    PlaySoundFile(QStringLiteral("ignored.wav"));

    QStringList played;
    SetSoundPlayer([&played](const QString &file) { played.append(file); });
    PlaySoundFile(QStringLiteral("ding.wav"));
    PlaySoundFile(QString());
    SetSoundPlayer(nullptr);
    PlaySoundFile(QStringLiteral("after.wav"));
    EXPECT_EQ(played, QStringList{QStringLiteral("ding.wav")});
}

TEST(Min, SmallerOfTwo)
{
    EXPECT_EQ(Min(3, 7), 3);
    EXPECT_EQ(Min<std::int64_t>(5000000000LL, 7), 7);
}

TEST(TempFolder, CreatedPrivate)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    QString error;
    const QString folder = TempFolderIn(base.path(), &error);
    EXPECT_EQ(folder, PrivateFolderName(base.path()));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(ModeOf(folder), mode_t(0700));

    // Our own folder left open to others is closed again.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    EXPECT_EQ(TempFolderIn(base.path()), folder);
    EXPECT_EQ(ModeOf(folder), mode_t(0700));
}

TEST(TempFolder, FollowsSystemTemporaryFolder)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(base.path()));
    const QString folder = TempFolder();
    qputenv("TMPDIR", saved);
    EXPECT_EQ(folder, PrivateFolderName(base.path()));
}

TEST(TempFolder, RefusesWhatIsNotOurFolder)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString name = PrivateFolderName(base.path());
    QString error;

    ASSERT_TRUE(QFile::link(base.path(), name));
    EXPECT_TRUE(TempFolderIn(base.path(), &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("is not a folder"))) << error.toStdString();
    ASSERT_TRUE(QFile::remove(name));

    ASSERT_TRUE(WriteFile(name));
    EXPECT_TRUE(TempFolderIn(base.path(), &error).isEmpty());
    ASSERT_TRUE(QFile::remove(name));

    if (::getuid() != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    ASSERT_TRUE(QDir().mkdir(name));
    ASSERT_EQ(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
    error.clear();
    EXPECT_TRUE(TempFolderIn(base.path(), &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("belongs to another user"))) << error.toStdString();
}

TEST(TempFiles, DeletedLastToFirst)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString folder = base.path() + QStringLiteral("/copies");
    const QString file = folder + QStringLiteral("/view.txt");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(WriteFile(file));

    // The folder can only go once the file inside it, registered later, is gone.
    RegisterTempFile(folder);
    RegisterTempFile(file);
    RegisterTempFile(base.path() + QStringLiteral("/never-created"));
    EXPECT_EQ(DeleteTempFiles(), 2);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(DeleteTempFiles(), 0);
}
