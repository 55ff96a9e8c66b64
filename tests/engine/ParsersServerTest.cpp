// Listings of real servers: the raw LIST output of pyftpdlib and vsftpd read with the
// Unix-style parser, and the same folder listed end to end through the engine. Every
// entry is checked against the files the test put into the served folder.

#include "engine/Parsers.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/FtpServers.h"
#include "tests/support/RawFtpClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t HugeSize = 5'000'000'000LL; // beyond 32 bits, sparse on disk

QByteArray Native(const QString &path)
{
    return QFile::encodeName(path);
}

void SetModified(const QString &path, const QDateTime &when)
{
    const timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Native(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Folders, files with spaces and non-ASCII bytes in their names, blanks at either end
// of a name, a link, an old file listed with its year, a file beyond 4 GiB and one with
// narrower permissions.
void Populate(TTestFtpServer &server)
{
    server.MakeFolder(QStringLiteral("docs"));
    server.MakeFolder(QStringLiteral("folder with spaces"));
    const QString old = server.PutFile(QStringLiteral("old file.txt"), QByteArray(1234, 'o'));
    SetModified(old, QDateTime(QDate(1997, 12, 31), QTime(12, 0), Qt::UTC));
    const QString big = server.PutFile(QStringLiteral("big.bin"), QByteArray(10000, 'b'));
    ASSERT_EQ(::chmod(Native(big).constData(), 0640), 0);
    server.PutFile(QString::fromUtf8("\xC3\x84rger  zwei Leerzeichen.txt"), "x");
    server.PutFile(QStringLiteral(" lead.txt"), "one leading blank");
    server.PutFile(QStringLiteral("  two leading.txt"), "two");
    const QString trailing = server.PutFile(QStringLiteral("trailing.txt  "), "trailing");
    SetModified(trailing, QDateTime(QDate(2001, 3, 3), QTime(12, 0), Qt::UTC));
    server.MakeFolder(QStringLiteral(" lead folder"));
    server.PutFile(QStringLiteral(".hidden"), "h");
    const QString huge = server.PutFile(QStringLiteral("huge.iso"), QByteArray());
    ASSERT_EQ(::truncate(Native(huge).constData(), HugeSize), 0);
    const QString link = server.LocalPath(QStringLiteral("link-to-big"));
    ASSERT_EQ(::symlink("big.bin", Native(link).constData()), 0);
    server.HandOver(link);
}

std::uint32_t AttributesOf(const struct stat &status)
{
    static constexpr std::pair<mode_t, std::uint32_t> Bits[] = {
        {S_IRUSR, faOwnerRead}, {S_IWUSR, faOwnerWrite}, {S_IXUSR, faOwnerExecute},
        {S_IRGRP, faGroupRead}, {S_IWGRP, faGroupWrite}, {S_IXGRP, faGroupExecute},
        {S_IROTH, faOtherRead}, {S_IWOTH, faOtherWrite}, {S_IXOTH, faOtherExecute}};
    std::uint32_t attributes = 0;
    if (S_ISDIR(status.st_mode))
        attributes |= faFolder;
    else if (S_ISLNK(status.st_mode))
        attributes |= faLink;
    for (const auto &[mode, bit] : Bits) {
        if (status.st_mode & mode)
            attributes |= bit;
    }
    return attributes;
}

// Both servers list times in UTC: the minute for recent files, the day for old ones.
TDateTime ListedDate(const struct stat &status)
{
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(status.st_mtime, Qt::UTC);
    const bool old = modified.daysTo(QDateTime::currentDateTimeUtc()) > 180;
    const QTime time = old ? QTime(0, 0) : QTime(modified.time().hour(), modified.time().minute());
    TDateTime date;
    EXPECT_TRUE(TDateTime::TryEncode(modified.date().year(), modified.date().month(),
                                     modified.date().day(), time.hour(), time.minute(), 0, date));
    return date;
}

// What the served folder should list as, by name.
std::map<std::string, TDirEntry> Expected(const TTestFtpServer &server)
{
    std::map<std::string, TDirEntry> entries;
    const QDir root(server.Root());
    const QStringList names =
        root.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        // vsftpd shows dot files only to LIST -a.
        if (name.startsWith(QLatin1Char('.')) && server.Kind() == TServerKind::Vsftpd)
            continue;
        struct stat status {};
        EXPECT_EQ(::lstat(Native(root.filePath(name)).constData(), &status), 0);
        std::string listedName = name.toStdString();
        if (S_ISLNK(status.st_mode))
            listedName += " -> " + QFile::symLinkTarget(root.filePath(name)).section('/', -1).toStdString();
        TDirEntry entry;
        entry.Attributes = AttributesOf(status);
        entry.Size = S_ISDIR(status.st_mode) ? 0 : status.st_size;
        entry.Date = ListedDate(status);
        entries.emplace(listedName, entry);
    }
    return entries;
}

void ExpectListing(const TDirListing &listing, const std::map<std::string, TDirEntry> &expected)
{
    std::map<std::string, TDirEntry> listed;
    for (const TListItem &item : listing)
        listed.emplace(item.Name, item.Entry);
    std::vector<std::string> listedNames;
    std::vector<std::string> expectedNames;
    for (const auto &[name, entry] : listed)
        listedNames.push_back(name);
    for (const auto &[name, entry] : expected)
        expectedNames.push_back(name);
    ASSERT_EQ(listedNames, expectedNames);
    EXPECT_EQ(listing.size(), expected.size()) << "an entry was listed twice";
    for (const auto &[name, entry] : expected) {
        const TDirEntry &got = listed.at(name);
        EXPECT_EQ(got.Attributes, entry.Attributes) << name;
        EXPECT_EQ(got.Size, entry.Size) << name;
        EXPECT_EQ(got.Date, entry.Date) << name << ": " << got.Date.ToDateTime().toString().toStdString()
                                        << " instead of " << entry.Date.ToDateTime().toString().toStdString();
    }
}

class ParsersServerTest : public EngineTestBase, public testing::WithParamInterface<TServerKind>
{
};

std::string RawListing(const TTestFtpServer &server)
{
    TRawFtpClient client;
    EXPECT_TRUE(client.Connect(server.Host(), server.Port())) << client.LastError();
    EXPECT_EQ(TRawFtpClient::Code(client.ReadReply()), 220);
    EXPECT_EQ(TRawFtpClient::Code(client.LogIn(server.User(), server.Password())), 230);
    const std::optional<std::string> text = client.Fetch("LIST");
    EXPECT_TRUE(text.has_value()) << client.LastError();
    return text.value_or(std::string());
}

} // namespace

TEST_P(ParsersServerTest, RawListingReadsEveryEntry)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::unique_ptr<TTestFtpServer> server = StartTestServer(GetParam());
    Populate(*server);

    const std::string text = RawListing(*server);
    ASSERT_FALSE(text.empty());
    SCOPED_TRACE("LIST output:\n" + text);
    TParseContext ctx;
    ctx.Today = QDateTime::currentDateTimeUtc().date();
    TListingState state;
    TDirListing listing;
    ASSERT_TRUE(ParseListing(text, TListParser::Unix, state, listing, ctx));
    ExpectListing(listing, Expected(*server));
}

TEST_P(ParsersServerTest, EngineListsFolderEndToEnd)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::unique_ptr<TTestFtpServer> server = StartTestServer(GetParam());
    Populate(*server);

    TFTPComponent engine;
    TEngineRecorder recorder(engine);
    engine.SetHost(server->Host());
    engine.SetPort(server->Port());
    engine.SetUserName(server->User());
    engine.SetPassword(server->Password());
    engine.SetPassive(true);
    engine.Login();
    ASSERT_TRUE(recorder.WaitFor("LoggedIn")) << testing::PrintToString(recorder.Outline());
    engine.List("/", "");
    ASSERT_TRUE(recorder.WaitFor("ProcessList")) << testing::PrintToString(recorder.Outline());

    const TRecordedEvent list = recorder.Of("ProcessList").front();
    EXPECT_EQ(list.Text, "/");
    ExpectListing(list.List, Expected(*server));

    // The listed name is the server's name: it fetches the file.
    const QTemporaryDir local;
    const QString copy = local.filePath(QStringLiteral("copy"));
    engine.Download(" lead.txt", copy, ttBinary);
    const auto fileEnded = [&] {
        for (const TRecordedEvent &e : recorder.Of("Progress"))
            if (e.Flag && e.Text == std::to_string(ppEnd))
                return true;
        return false;
    };
    ASSERT_TRUE(WaitUntil(fileEnded)) << testing::PrintToString(recorder.Outline());
    QFile fetched(copy);
    ASSERT_TRUE(fetched.open(QIODevice::ReadOnly)) << testing::PrintToString(recorder.Logs());
    EXPECT_EQ(fetched.readAll(), QByteArray("one leading blank"));
}

INSTANTIATE_TEST_SUITE_P(RealServers, ParsersServerTest,
                         testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const testing::TestParamInfo<TServerKind> &info) { return KindName(info.param); });
