#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    QString PathOf(const QString &name) const { return FDir.filePath(name); }

    QString WriteBytes(const QString &name, const QByteArray &bytes) const
    {
        const QString path = PathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    static QByteArray ReadBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static int ModeOf(const QString &path)
    {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
    }

    // Writes `value`, saves, and reads it back through a fresh object.
    QString RoundTrip(const QString &value)
    {
        const QString path = PathOf(QStringLiteral("roundtrip.ini"));
        {
            TIniFile ini(path);
            ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), value);
            EXPECT_TRUE(ini.UpdateFile());
        }
        return TIniFile(path).ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("<missing>"));
    }

    QTemporaryDir FDir;
};

const QByteArray HandWritten =
    "; written by hand\r\n"
    "orphan=before any section\r\n"
    "\r\n"
    "  [ General ]   ; trailing remark\r\n"
    "EMail =  guest@example.org  \r\n"
    "\tQuoted=\"  padded value  \"\r\n"
    "HalfQuoted=\"open only\r\n"
    "Equation=a=b=c\r\n"
    "=the empty key\r\n"
    "this line is neither\r\n"
    "# hash comment\r\n"
    "email=duplicate key, never read\r\n"
    "\r\n"
    "[Site]Name]\r\n"
    "Host=ftp.example.org\r\n"
    "\r\n"
    "[general]\r\n"
    "Late=a second General section is never read\r\n";

TEST_F(IniFileTest, ReadsAHandWrittenFile)
{
    const TIniFile ini(WriteBytes(QStringLiteral("hand.ini"), HandWritten));
    const QString general = QStringLiteral("GENERAL");

    EXPECT_EQ(ini.ReadString(general, QStringLiteral("email"), {}), QStringLiteral("guest@example.org"));
    EXPECT_EQ(ini.ReadString(general, QStringLiteral("Quoted"), {}), QStringLiteral("  padded value  "));
    EXPECT_EQ(ini.ReadString(general, QStringLiteral("HalfQuoted"), {}), QStringLiteral("\"open only"));
    EXPECT_EQ(ini.ReadString(general, QStringLiteral("Equation"), {}), QStringLiteral("a=b=c"));
    EXPECT_EQ(ini.ReadString(general, QString(), {}), QStringLiteral("the empty key"));
    EXPECT_EQ(ini.ReadString(QStringLiteral(" Site]Name "), QStringLiteral("HOST"), {}),
              QStringLiteral("ftp.example.org"));

    // Comments, garbage, lines before any section and later duplicates are never read.
    for (const char *key : {"this line is neither", "; written by hand", "# hash comment", "Late"})
        EXPECT_FALSE(ini.ValueExists(general, QString::fromLatin1(key))) << key;
    EXPECT_EQ(ini.ReadString(QString(), QStringLiteral("orphan"), QStringLiteral("def")), QStringLiteral("def"));

    EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("General"), QStringLiteral("Site]Name")}));
    EXPECT_EQ(ini.ReadSection(general),
              (QStringList{QStringLiteral("EMail"), QStringLiteral("Quoted"), QStringLiteral("HalfQuoted"),
                           QStringLiteral("Equation"), QString()}));
    const auto pairs = ini.ReadSectionValues(general);
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[1].second, QStringLiteral("  padded value  "));
    EXPECT_FALSE(ini.Dirty());
}

TEST_F(IniFileTest, RewriteChangesOnlyWhatWasWritten)
{
    const QString path = WriteBytes(QStringLiteral("hand.ini"), HandWritten);
    TIniFile ini(path);
    ini.WriteString(QStringLiteral("general"), QStringLiteral("EMAIL"), QStringLiteral("me@example.org"));
    ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Port"), 2121);
    ini.WriteBool(QStringLiteral("Site]Name"), QStringLiteral("Anonymous"), true);
    ini.WriteString(QStringLiteral("New"), QStringLiteral("Key"), QStringLiteral("v"));
    ASSERT_TRUE(ini.UpdateFile());

    // The key keeps its spelling, new keys go before the blank line that ends the
    // section, a new section comes last, and the file's line end is kept.
    QByteArray expected = HandWritten;
    expected.replace("EMail =  guest@example.org  \r\n", "EMail=me@example.org\r\n");
    expected.replace("email=duplicate key, never read\r\n",
                     "email=duplicate key, never read\r\nPort=2121\r\n");
    expected.replace("Host=ftp.example.org\r\n", "Host=ftp.example.org\r\nAnonymous=1\r\n");
    expected += "\r\n[New]\r\nKey=v\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(IniFileTest, ValuesSurviveARoundTrip)
{
    QString latin1;
    for (char16_t c = 0x20; c <= 0xFF; ++c)
        latin1 += QChar(c);
    // Enclosed so that the leading space survives; the quotes and '=' inside stay.
    EXPECT_EQ(RoundTrip(u'[' + latin1 + u']'), u'[' + latin1 + u']');

    // Each character alone, one key each, in one file.
    const QString path = PathOf(QStringLiteral("chars.ini"));
    TIniFile ini(path);
    for (char16_t c = 0x21; c <= 0xFF; ++c)
        ini.WriteString(QStringLiteral("Chars"), QString::number(int(c)), QString(QChar(c)));
    ASSERT_TRUE(ini.UpdateFile());
    const TIniFile reread(path);
    for (char16_t c = 0x21; c <= 0xFF; ++c)
        EXPECT_EQ(reread.ReadString(QStringLiteral("Chars"), QString::number(int(c)), {}), QString(QChar(c))) << int(c);

    EXPECT_EQ(RoundTrip(QStringLiteral("a=b")), QStringLiteral("a=b"));
    EXPECT_EQ(RoundTrip(QStringLiteral("=")), QStringLiteral("="));
    EXPECT_EQ(RoundTrip(QStringLiteral("\"")), QStringLiteral("\""));
    EXPECT_EQ(RoundTrip(QStringLiteral("\"leading only")), QStringLiteral("\"leading only"));
    EXPECT_EQ(RoundTrip(QStringLiteral("trailing only\"")), QStringLiteral("trailing only\""));
    EXPECT_EQ(RoundTrip(QStringLiteral("\u00A0no-break spaces\u00A0")), QStringLiteral("\u00A0no-break spaces\u00A0"));
    EXPECT_EQ(RoundTrip(QStringLiteral("\u65E5\u672C \U0001F600")), QStringLiteral("\u65E5\u672C \U0001F600"));
    EXPECT_EQ(RoundTrip(QString()), QString());
}

TEST_F(IniFileTest, WritingIsLiteralSoQuotesAndSpacesFollowProfileRules)
{
    // Values are never quoted on write: spaces at the ends are lost unless the caller
    // encloses the value in quotes, and one enclosing pair is removed on reading.
    EXPECT_EQ(RoundTrip(QStringLiteral("  padded  ")), QStringLiteral("padded"));
    EXPECT_EQ(RoundTrip(QStringLiteral("\"  padded  \"")), QStringLiteral("  padded  "));
    EXPECT_EQ(RoundTrip(QStringLiteral("\"a\",\"b\"")), QStringLiteral("a\",\"b"));
    EXPECT_EQ(RoundTrip(QStringLiteral("\"\"")), QString());
    EXPECT_EQ(RoundTrip(QStringLiteral("\"\"\"\"")), QStringLiteral("\"\""));
    // A line break must not add a line to the file.
    EXPECT_EQ(RoundTrip(QStringLiteral("one\ntwo\r\n[Injected]")), QStringLiteral("one two  [Injected]"));
    EXPECT_FALSE(TIniFile(PathOf(QStringLiteral("roundtrip.ini"))).SectionExists(QStringLiteral("Injected")));
}

TEST_F(IniFileTest, KeysThatCannotBeReadBackAreRefused)
{
    TIniFile ini(PathOf(QStringLiteral("keys.ini")));
    for (const char *key : {"a=b", "[Section]", "; remark", "# remark", "line\nbreak"})
        ini.WriteString(QStringLiteral("S"), QString::fromLatin1(key), QStringLiteral("v"));
    ini.WriteString(QStringLiteral("two\nlines"), QStringLiteral("K"), QStringLiteral("v"));
    EXPECT_FALSE(ini.Dirty());
    EXPECT_TRUE(ini.ReadSections().isEmpty());
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    const TIniFile ini(WriteBytes(QStringLiteral("numbers.ini"),
                                  "[N]\n"
                                  "Dec=42\nNeg=-17\nPlus=+5\nQuoted=\"12\"\nSpaced=\" 7 \"\n"
                                  "Hex=0x1F\nUpperHex=0XfF\nAllBits=0xFFFFFFFF\nMax=2147483647\nMin=-2147483648\n"
                                  "Over=2147483648\nHexOver=0x100000000\nTrailing=12abc\nEmpty=\n"
                                  "Word=yes\nBareHex=0x\nBadHex=0x1G\nFloat=1.5\nSignOnly=-\nDoubleSign=--1\n"
                                  "One=1\nZero=0\nTwo=2\nMinusOne=-1\n"));
    const QString n = QStringLiteral("N");
    const auto integer = [&](const char *key) { return ini.ReadInteger(n, QString::fromLatin1(key), -999); };
    EXPECT_EQ(integer("Dec"), 42);
    EXPECT_EQ(integer("Neg"), -17);
    EXPECT_EQ(integer("Plus"), 5);
    EXPECT_EQ(integer("Quoted"), 12);
    EXPECT_EQ(integer("Spaced"), 7);
    EXPECT_EQ(integer("Hex"), 31);
    EXPECT_EQ(integer("UpperHex"), 255);
    EXPECT_EQ(integer("AllBits"), -1);
    EXPECT_EQ(integer("Max"), 2147483647);
    EXPECT_EQ(integer("Min"), -2147483647 - 1);
    for (const char *bad : {"Over", "HexOver", "Trailing", "Empty", "Word", "BareHex", "BadHex", "Float",
                            "SignOnly", "DoubleSign", "Missing"})
        EXPECT_EQ(integer(bad), -999) << bad;

    EXPECT_TRUE(ini.ReadBool(n, QStringLiteral("One"), false));
    EXPECT_FALSE(ini.ReadBool(n, QStringLiteral("Zero"), true));
    EXPECT_TRUE(ini.ReadBool(n, QStringLiteral("Two"), false));
    EXPECT_TRUE(ini.ReadBool(n, QStringLiteral("MinusOne"), false));
    EXPECT_TRUE(ini.ReadBool(n, QStringLiteral("Word"), true));
    EXPECT_FALSE(ini.ReadBool(n, QStringLiteral("Word"), false));
    EXPECT_TRUE(ini.ReadBool(n, QStringLiteral("Missing"), true));

    TIniFile written(PathOf(QStringLiteral("written.ini")));
    written.WriteBool(n, QStringLiteral("T"), true);
    written.WriteBool(n, QStringLiteral("F"), false);
    written.WriteInteger(n, QStringLiteral("I"), -2147483647 - 1);
    ASSERT_TRUE(written.UpdateFile());
    EXPECT_EQ(ReadBytes(written.FileName()), QByteArray("[N]\nT=1\nF=0\nI=-2147483648\n"));
}

TEST_F(IniFileTest, SectionsAndKeysAreErasedEverywhere)
{
    const QString path = WriteBytes(QStringLiteral("erase.ini"),
                                    "[A]\nx=1\ny=2\nX=3\n\n[B]\nz=1\n\n[a]\nw=4\n");
    TIniFile ini(path);
    ini.DeleteKey(QStringLiteral("a"), QStringLiteral("X"));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("A"), QStringLiteral("x")));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("A")), QStringList{QStringLiteral("y")});

    ini.EraseSection(QStringLiteral("A"));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("A")));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("A"), QStringLiteral("w")));
    EXPECT_EQ(ini.ReadSections(), QStringList{QStringLiteral("B")});

    ini.AddSection(QStringLiteral("Empty"));
    ini.AddSection(QStringLiteral("b"));
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), QByteArray("[B]\nz=1\n\n[Empty]\n"));

    // Deleting what is not there changes nothing.
    ini.DeleteKey(QStringLiteral("B"), QStringLiteral("nothing"));
    ini.DeleteKey(QStringLiteral("Nowhere"), QStringLiteral("z"));
    ini.EraseSection(QStringLiteral("Nowhere"));
    EXPECT_FALSE(ini.Dirty());
}

TEST_F(IniFileTest, ChangesStayInMemoryUntilSaved)
{
    const QString path = WriteBytes(QStringLiteral("mem.ini"), "[S]\nK=old\n");
    TIniFile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("old"));
    EXPECT_FALSE(ini.Dirty()) << "an unchanged value is no change";

    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    EXPECT_TRUE(ini.Dirty());
    EXPECT_EQ(ReadBytes(path), QByteArray("[S]\nK=old\n"));
    ini.Reload();
    EXPECT_FALSE(ini.Dirty());
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), {}), QStringLiteral("old"));
}

TEST_F(IniFileTest, MissingFileReadsAsDefaultsAndIsCreatedOnlyByAChange)
{
    const QString path = PathOf(QStringLiteral("missing.ini"));
    TIniFile ini(path);
    EXPECT_FALSE(ini.LoadFailed());
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("K"), 21), 21);
    EXPECT_TRUE(ini.ReadSectionValues(QStringLiteral("S")).empty());
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_FALSE(QFile::exists(path));

    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), QByteArray("[S]\nK=v\n"));
}

TEST_F(IniFileTest, HostileFilesKeepTheirGoodLines)
{
    QByteArray hostile;
    hostile += "[Good]\rA=1\r";                                  // CR-only line ends
    hostile += QByteArray("Nul=before\0after\r", 17);           // NUL inside a value
    hostile += QByteArray("\0\0\0\r", 4);                       // a line of NULs
    hostile += "Latin=caf\xE9\r";                                // not UTF-8
    hostile += "Cut=\xE2\x82\r";                                 // a UTF-8 sequence cut short
    hostile += "[Unclosed\r";                                    // no ']'
    hostile += "Huge=" + QByteArray(4 * 1024 * 1024, 'x') + '\r';
    hostile += "\xFF\xFE[Binary]\x01\x02\r";
    hostile += "B=2";                                            // no line end at all
    const QString path = WriteBytes(QStringLiteral("hostile.ini"), hostile);

    TIniFile ini(path);
    const QString good = QStringLiteral("Good");
    EXPECT_EQ(ini.ReadInteger(good, QStringLiteral("A"), 0), 1);
    EXPECT_EQ(ini.ReadString(good, QStringLiteral("Nul"), {}), QString::fromLatin1("before\0after", 12));
    EXPECT_EQ(ini.ReadString(good, QStringLiteral("Latin"), {}), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(ini.ReadString(good, QStringLiteral("Cut"), {}), QString::fromLatin1("\xE2\x82"));
    EXPECT_EQ(ini.ReadString(good, QStringLiteral("Huge"), {}).size(), 4 * 1024 * 1024);
    EXPECT_EQ(ini.ReadInteger(good, QStringLiteral("B"), 0), 2);
    EXPECT_EQ(ini.ReadSections(), QStringList{good});

    // Everything that was not written comes back byte for byte, in its own line end.
    ini.WriteString(good, QStringLiteral("A"), QStringLiteral("changed"));
    ASSERT_TRUE(ini.UpdateFile());
    QByteArray expected = hostile;
    expected.replace("A=1\r", "A=changed\r");
    expected += '\r';
    EXPECT_EQ(ReadBytes(path), expected);
}

using TSnapshot = std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>>;

TSnapshot Snapshot(const TIniFile &ini)
{
    TSnapshot snapshot;
    for (const QString &section : ini.ReadSections())
        snapshot.emplace_back(section, ini.ReadSectionValues(section));
    return snapshot;
}

TEST_F(IniFileTest, RandomBytesNeverCrashAndRewriteKeepsTheirMeaning)
{
    QRandomGenerator random(20240229);
    static const char interesting[] = "[]=;#\"\r\n \tAb0x";
    for (int round = 0; round < 150; ++round) {
        QByteArray bytes(int(random.bounded(2000)), '\0');
        // Mostly the characters that matter to the parser, some of everything else.
        for (char &c : bytes)
            c = random.bounded(4) == 0 ? char(random.bounded(256))
                                       : interesting[random.bounded(int(sizeof interesting - 1))];
        const QString path = WriteBytes(QStringLiteral("random.ini"), bytes);
        TIniFile ini(path);
        const TSnapshot before = Snapshot(ini);
        for (const auto &[section, pairs] : before) {
            for (const auto &pair : pairs)
                ini.ReadInteger(section, pair.first, 0);
        }
        ini.AddSection(QStringLiteral("Marker"));
        ini.EraseSection(QStringLiteral("Marker"));
        ASSERT_TRUE(ini.UpdateFile());
        ASSERT_EQ(Snapshot(TIniFile(path)), before) << "round " << round;
    }
}

TEST_F(IniFileTest, TextInAnotherEncodingSurvivesReadAndWriteBack)
{
    const QByteArray bytes = "\xEF\xBB\xBF[S]\r\nName=Se\xF1or\r\nOther=1\r\n";
    const QString path = WriteBytes(QStringLiteral("latin.ini"), bytes);
    TIniFile ini(path);
    const QString name = ini.ReadString(QStringLiteral("S"), QStringLiteral("Name"), {});
    EXPECT_EQ(name, QStringLiteral("Se\u00F1or"));
    // What a caller does with every option: read it and write it back.
    ini.WriteString(QStringLiteral("S"), QStringLiteral("Name"), name);
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral("Other"), 2);
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), QByteArray("\xEF\xBB\xBF[S]\r\nName=Se\xF1or\r\nOther=2\r\n"));
}

TEST_F(IniFileTest, PermissionsAreEnforcedOnTheSavedFile)
{
    const mode_t oldMask = ::umask(022);
    const QString fresh = PathOf(QStringLiteral("fresh.ini"));
    TIniFile ini(fresh);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("Password"), QStringLiteral("secret"));
    ASSERT_TRUE(ini.UpdateFile(0600));
    EXPECT_EQ(ModeOf(fresh), 0600);

    const QString existing = WriteBytes(QStringLiteral("existing.ini"), "[S]\nK=1\n");
    ASSERT_TRUE(QFile::setPermissions(existing, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    TIniFile unchanged(existing);
    ASSERT_TRUE(unchanged.UpdateFile(0600));
    EXPECT_EQ(ModeOf(existing), 0600) << "also when there was nothing to write";

    // Without a request the file keeps the mode it had.
    ASSERT_TRUE(QFile::setPermissions(existing, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ReadGroup));
    unchanged.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("2"));
    ASSERT_TRUE(unchanged.UpdateFile());
    EXPECT_EQ(ModeOf(existing), 0640);
    ::umask(oldMask);
}

// The file size limit makes every write past it fail, as a full disk would, and works
// for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld {};
    void (*FOldHandler)(int);
};

TEST_F(IniFileTest, AFailedSaveLeavesTheOldFileWhole)
{
    const QByteArray original = "[S]\nK=" + QByteArray(100, 'o') + '\n';
    const QString path = WriteBytes(QStringLiteral("full.ini"), original);
    TIniFile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QString(10000, u'n'));
    {
        const FileSizeLimit diskFull(512);
        EXPECT_FALSE(ini.UpdateFile());
    }
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_TRUE(ini.Dirty()) << "the change is kept for another try";
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("full.ini")})
        << "no temporary file is left behind";

    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(TIniFile(path).ReadString(QStringLiteral("S"), QStringLiteral("K"), {}).size(), 10000);
}

TEST_F(IniFileTest, AReadOnlyFolderLeavesTheOldFileWhole)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into a read-only folder";
    const QString folder = PathOf(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Sites.ini");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[S]\nK=old\n");
    }
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    TIniFile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    EXPECT_FALSE(ini.UpdateFile());
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadBytes(path), QByteArray("[S]\nK=old\n"));
}

TEST_F(IniFileTest, ALeftoverTemporaryFileDisturbsNothing)
{
    // What a save interrupted by a crash leaves: the old file and a half-written copy.
    const QString path = WriteBytes(QStringLiteral("Sites.ini"), "[S]\nK=old\n");
    WriteBytes(QStringLiteral("Sites.ini.aB3dEf"), "[S]\nK=ha");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), {}), QStringLiteral("old"));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), QByteArray("[S]\nK=new\n"));
}

TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    // A folder in the file's place stands for any file that exists but cannot be read.
    const QString path = PathOf(QStringLiteral("blocked.ini"));
    ASSERT_TRUE(QDir().mkpath(path));
    TIniFile ini(path);
    EXPECT_TRUE(ini.LoadFailed());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("K"), 7), 7);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(IniFileTest, AnOversizedFileIsNeitherReadNorOverwritten)
{
    // Sparse, so the test costs no disk; read whole it would cost far more memory.
    const QString path = WriteBytes(QStringLiteral("huge.ini"), "[S]\nK=v\n");
    ASSERT_TRUE(QFile::resize(path, TIniFile::MaxFileSize + 1));
    TIniFile ini(path);
    EXPECT_TRUE(ini.LoadFailed());
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("default")),
              QStringLiteral("default"));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    EXPECT_FALSE(ini.UpdateFile(0600));
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 1);
    EXPECT_TRUE(ReadBytes(path).startsWith("[S]\nK=v\n"));

    // At the limit the file is still a profile.
    ASSERT_TRUE(QFile::resize(path, TIniFile::MaxFileSize));
    const TIniFile atLimit(path);
    EXPECT_FALSE(atLimit.LoadFailed());
    EXPECT_EQ(atLimit.ReadString(QStringLiteral("S"), QStringLiteral("K"), {}), QStringLiteral("v"));
}

} // namespace

