#include "sites/SiteStore.h"

#include "engine/FTPUtils.h"
#include "platform/IniFile.h"
#include "tests/support/ProgramFolderGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

const int PrivateFile = (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser).toInt();

class SiteStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FDir.isValid());
    }

    QString Path(const QString &name) const { return FDir.filePath(name); }
    QString SitesFile() const { return Path("Sites.ini"); }

    void WriteFile(const QString &name, const QByteArray &content) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadFile(const QString &name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static TSite Site(const QString &name, const QString &host = QStringLiteral("ftp.example.com"))
    {
        TSite site;
        site.Name = name;
        site.Host = host;
        site.UserName = QStringLiteral("bob");
        site.Password = QStringLiteral("secret");
        return site;
    }

    QTemporaryDir FDir;
    const TProgramFolderGuard FProgramFolder{FDir.path()};
};

// What the profile layer reads for a key, quotes removed.
QString Stored(const QString &fileName, const QString &section, const QString &key)
{
    return TIniFile(fileName).ReadString(section, key, QStringLiteral("<missing>"));
}

QString LegacyForm(const QByteArray &passwordBytes)
{
    const std::string scrambled = ScramblePassword(std::string_view(passwordBytes.constData(), passwordBytes.size()));
    return QString::fromLatin1(scrambled.data(), qsizetype(scrambled.size()));
}

} // namespace

TEST_F(SiteStoreTest, ANewFileHasNoSites)
{
    const TSiteStore store(SitesFile());
    EXPECT_TRUE(store.Sites().isEmpty());
    EXPECT_TRUE(store.LastSite().isEmpty());
    EXPECT_EQ(store.LastSiteIndex(), -1);
    EXPECT_FALSE(store.LoadSite(QString()).has_value());

    const TSite site = *store.LoadSite("nowhere");
    EXPECT_EQ(site.Port, 21);
    EXPECT_FALSE(site.Anonymous);
    EXPECT_EQ(site.UserName, "anonymous");
    EXPECT_TRUE(site.Password.isEmpty());
    EXPECT_TRUE(site.Notes.isEmpty());
    EXPECT_FALSE(QFile::exists(SitesFile()));
    EXPECT_EQ(TSiteStore::DefaultFileName(), SitesFile());
}

TEST_F(SiteStoreTest, IndexStaysSortedAndRenumbered)
{
    TSiteStore store(SitesFile());
    ASSERT_TRUE(store.SaveSite(Site("alpha")));
    ASSERT_TRUE(store.SaveSite(Site("gamma")));
    ASSERT_TRUE(store.SaveSite(Site("beta")));
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site1"), "alpha");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site2"), "beta");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site3"), "gamma");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "LastSite"), "beta");

    ASSERT_TRUE(store.DeleteSite("alpha"));
    const TIniFile ini(SitesFile());
    EXPECT_FALSE(ini.SectionExists("alpha"));
    EXPECT_FALSE(ini.ValueExists("Sites", "Site3"));
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site1"), "beta");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site2"), "gamma");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "LastSite"), "beta");
    EXPECT_EQ(store.Sites(), QStringList({"beta", "gamma"}));

    // Deleting touches no other site's section.
    EXPECT_EQ(ini.ReadSection("gamma").size(), 10);
    EXPECT_EQ(store.LoadSite("gamma")->Password, "secret");

    const TSiteStore reopened(SitesFile());
    EXPECT_EQ(reopened.Sites(), QStringList({"beta", "gamma"}));
    EXPECT_EQ(reopened.LastSiteIndex(), 0);

    ASSERT_TRUE(store.DeleteSite("beta"));
    EXPECT_EQ(TSiteStore(SitesFile()).LastSiteIndex(), -1); // names a deleted site
}

TEST_F(SiteStoreTest, SavingAnExistingNameInOtherCaseKeepsOneEntry)
{
    TSiteStore store(SitesFile());
    ASSERT_TRUE(store.SaveSite(Site("Work")));
    ASSERT_TRUE(store.SaveSite(Site("WORK", "other.example.com")));
    EXPECT_EQ(store.Sites(), QStringList({"Work"}));
    EXPECT_EQ(store.LoadSite("work")->Host, "other.example.com");
    EXPECT_EQ(store.LastSiteIndex(), 0);
}

TEST_F(SiteStoreTest, EverySiteKeyRoundTrips)
{
    TSite site = Site(" spaced name ");
    site.Host = "10.0.0.1";
    site.Port = 2121;
    site.UserName = "\"quoted\"";
    site.Password = QString::fromUtf8("pa ss\"wörd,é");
    site.HostFolder = "/pub/ my folder /";
    site.LocalFolders = {"/home/me/a", "", " /tmp/x "};
    site.Notes = {"first line", "", "x,y", "say \"hi\"", "\ttab", "plain"};
    {
        TSiteStore store(SitesFile());
        ASSERT_TRUE(store.SaveSite(site));
    }
    const TSiteStore store(SitesFile());
    ASSERT_EQ(store.Sites(), QStringList({" spaced name "}));
    const TSite back = *store.LoadSite(store.Sites().front());
    EXPECT_EQ(back.Host, site.Host);
    EXPECT_EQ(back.Port, site.Port);
    EXPECT_EQ(back.Anonymous, site.Anonymous);
    EXPECT_EQ(back.UserName, site.UserName);
    EXPECT_EQ(back.Password, site.Password);
    EXPECT_EQ(back.HostFolder, site.HostFolder);
    EXPECT_EQ(back.LocalFolders, site.LocalFolders);
    EXPECT_EQ(back.Notes, site.Notes);
    EXPECT_EQ(TIniFile(SitesFile()).ReadSection(" spaced name ").size(), 10);
}

TEST_F(SiteStoreTest, AnonymousSiteKeepsItsSetting)
{
    TSite site = Site("anon");
    site.Anonymous = true;
    TSiteStore store(SitesFile());
    ASSERT_TRUE(store.SaveSite(site));
    EXPECT_TRUE(TSiteStore(SitesFile()).LoadSite("anon")->Anonymous);
    EXPECT_EQ(Stored(SitesFile(), "anon", "Anonymous"), "1");
}

TEST_F(SiteStoreTest, FilesWithPasswordsArePrivate)
{
    TSiteStore store(SitesFile());
    ASSERT_TRUE(store.SaveSite(Site("a")));
    EXPECT_EQ(QFileInfo(SitesFile()).permissions().toInt(), PrivateFile);

    TPresetSite preset{"Preset", "ftp.preset.org", false, "dev", "pw"};
    ASSERT_TRUE(TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), preset));
    EXPECT_EQ(QFileInfo(TSiteStore::PresetFileName()).permissions().toInt(), PrivateFile);
}

TEST_F(SiteStoreTest, HandWrittenFile)
{
    // Gaps in the numbering, no LastSite, odd spacing and quoting, a duplicate, unknown
    // keys and comments: every named site is listed and nothing unknown is dropped.
    WriteFile("Sites.ini",
              "; my sites\r\n"
              "[Sites]\r\n"
              "Site1 = Zeta\r\n"
              "site3=\"alpha one\"\r\n"
              "Site7=zeta\r\n"
              "Site9=\r\n"
              "Colour=blue\r\n"
              "\r\n"
              "[ALPHA ONE]\r\n"
              "  Host =  \"ftp.alpha.org\"  \r\n"
              "Port=abc\r\n"
              "Anonymous=7\r\n"
              "Comments=\"line, one\",two,\"\"\r\n"
              "Extra=keep me\r\n"
              "\r\n"
              "[Zeta]\r\n"
              "Host=zeta.org\r\n"
              "Port=70000\r\n"
              "User=zed\r\n"
              "Comments=solo line\r\n");
    TSiteStore store(SitesFile());
    EXPECT_EQ(store.Sites(), QStringList({"alpha one", "Zeta"}));
    EXPECT_EQ(store.LastSiteIndex(), -1);

    const TSite alpha = *store.LoadSite("alpha one");
    EXPECT_EQ(alpha.Host, "ftp.alpha.org");
    EXPECT_EQ(alpha.Port, 21);
    EXPECT_TRUE(alpha.Anonymous);
    EXPECT_EQ(alpha.Notes, QStringList({"line, one", "two", ""}));
    const TSite zeta = *store.LoadSite("Zeta");
    EXPECT_EQ(zeta.Port, 21);
    EXPECT_EQ(zeta.UserName, "zed");
    EXPECT_EQ(zeta.Notes, QStringList({"solo line"}));

    ASSERT_TRUE(store.SaveSite(Site("beta")));
    const QByteArray after = ReadFile("Sites.ini");
    EXPECT_TRUE(after.startsWith("; my sites\r\n[Sites]\r\n"));
    EXPECT_TRUE(after.contains("Colour=blue\r\n"));
    EXPECT_TRUE(after.contains("Extra=keep me\r\n"));
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site1"), "alpha one");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site2"), "beta");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site3"), "Zeta");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site7"), "<missing>");
    EXPECT_EQ(Stored(SitesFile(), "Sites", "Site9"), "<missing>");
}

TEST_F(SiteStoreTest, GarbageNeverCrashesAndKeepsTheReadableRest)
{
    QByteArray garbage("[Sites]\nSite1=ok\nSite2=");
    garbage += QByteArray("\xff\xfe\x00\x01" "broken\n[ok]\nHost=h\n[", 24);
    for (int i = 0; i < 256; ++i)
        garbage += char(i);
    garbage += "\n=\n==\n[[[]]\nPassword=\xce\xa9zz\n";
    WriteFile("Sites.ini", garbage);
    TSiteStore store(SitesFile());
    ASSERT_EQ(store.Sites().size(), 2);
    EXPECT_EQ(store.LoadSite("ok")->Host, "h");
    for (const QString &name : store.Sites())
        EXPECT_TRUE(store.LoadSite(name).has_value());
}

TEST_F(SiteStoreTest, InvalidNamesAreRefused)
{
    TSiteStore store(SitesFile());
    EXPECT_FALSE(store.SaveSite(Site("")));
    EXPECT_FALSE(store.SaveSite(Site("  ")));
    EXPECT_FALSE(store.SaveSite(Site("Sites")));
    EXPECT_FALSE(store.SaveSite(Site("two\nlines")));
    EXPECT_TRUE(store.Sites().isEmpty());
    EXPECT_FALSE(QFile::exists(SitesFile()));
}

TEST_F(SiteStoreTest, FailedSaveLeavesTheOldFileWhole)
{
    TSiteStore store(SitesFile());
    ASSERT_TRUE(store.SaveSite(Site("kept")));
    const QByteArray before = ReadFile("Sites.ini");

    // A file size limit makes the write fail part-way, as a full disk would.
    TSite big = Site("big");
    big.Notes.fill(QString(200, u'x'), 100);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = store.SaveSite(big);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile("Sites.ini"), before);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList({"Sites.ini"}));
    EXPECT_EQ(store.Sites(), QStringList({"kept"}));
    ASSERT_TRUE(store.SaveSite(Site("after")));
    EXPECT_EQ(TSiteStore(SitesFile()).Sites(), QStringList({"after", "kept"}));
}

TEST(StoredPasswordTest, AsciiPasswordsKeepTheClassicForm)
{
    const QString stored = StoredPassword("secret");
    ASSERT_EQ(stored.size(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_NE(stored[i], QString("secret")[i]);
    EXPECT_EQ(stored, LegacyForm("secret"));
    EXPECT_EQ(PasswordFromStored(stored), "secret");
    EXPECT_EQ(StoredPassword(QString()), QString());
    EXPECT_EQ(PasswordFromStored(QString()), QString());

    // Every printable ASCII password of one and two characters.
    for (char a = 0x20; a < 0x7F; ++a) {
        for (char b = 0x20; b < 0x7F; ++b) {
            const QString password = QString(QChar::fromLatin1(a)) + QChar::fromLatin1(b);
            const QString form = StoredPassword(password);
            ASSERT_EQ(form, LegacyForm(password.toLatin1()));
            ASSERT_EQ(PasswordFromStored(form), password);
        }
    }
}

TEST(StoredPasswordTest, PasswordsWhoseScrambledBytesAProfileCannotHold)
{
    // é scrambles to NUL, Ɋ to a line feed, Ύ to a carriage return, あ to a leading
    // blank, ʀ to a tab.
    for (const char *utf8 : {"café", "é", "Ɋx", "Ύ", "あいう", "xʀx", "pässwörd"}) {
        const QString password = QString::fromUtf8(utf8);
        const QString form = StoredPassword(password);
        EXPECT_TRUE(form.startsWith(QChar(PasswordHexMarker))) << utf8;
        EXPECT_EQ(PasswordFromStored(form), password) << utf8;
    }
}

TEST(StoredPasswordTest, EveryCharacterRoundTrips)
{
    for (char32_t code = 1; code <= 0x10FFFF; code += (code < 0x10000 ? 1 : 97)) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QString password = QStringLiteral("a") + QString::fromUcs4(&code, 1) + QStringLiteral("z");
        const QString form = StoredPassword(password);
        ASSERT_EQ(PasswordFromStored(form), password) << unsigned(code);
        // The classic form exactly when its characters can stand in a profile value.
        if (!form.startsWith(QChar(PasswordHexMarker))) {
            ASSERT_EQ(form, LegacyForm(password.toUtf8())) << unsigned(code);
        }
    }
}

TEST(StoredPasswordTest, NoClassicFormStartsWithTheMarker)
{
    // The classic form has one character per byte, all within Latin-1.
    for (int first = 0; first < 256; ++first) {
        QByteArray bytes(1, char(first));
        bytes += "tail";
        EXPECT_LE(LegacyForm(bytes).front().unicode(), 0xFF);
    }
    // Raw bytes of an old file read as UTF-8 could only start with the marker's bytes
    // for a password that starts with a carriage return.
    const QByteArray markerBytes = QString(QChar(PasswordHexMarker)).toUtf8();
    const std::string unscrambled = ScramblePassword(std::string_view(markerBytes.constData(), 1));
    EXPECT_EQ(unscrambled, "\r");
}

TEST(StoredPasswordTest, OldFilesReadUnchanged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fileName = dir.filePath("Sites.ini");
    // As the Windows program wrote them: raw scrambled bytes of Windows-1252 text.
    const std::string secret = ScramblePassword("secret");
    const std::string cafe = ScramblePassword("caf\xe9");
    const std::string group = ScramblePassword("1abc"); // bytes that form valid UTF-8
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Sites]\r\nSite1=a\r\nSite2=b\r\nSite3=c\r\nSite4=d\r\nLastSite=a\r\n");
    file.write("[a]\r\nPassword=" + QByteArray::fromStdString(secret) + "\r\n");
    file.write("[b]\r\nPassword=" + QByteArray::fromStdString(cafe) + "\r\n");
    file.write("[c]\r\nPassword=" + QByteArray::fromStdString(group) + "\r\n");
    file.write("[d]\r\nPassword=" + LegacyForm("mixed").toUtf8() + "\r\n");
    file.close();

    TSiteStore store(fileName);
    EXPECT_EQ(store.LoadSite("a")->Password, "secret");
    EXPECT_EQ(store.LoadSite("b")->Password, QString::fromUtf8("café"));
    EXPECT_EQ(store.LoadSite("c")->Password, "1abc");
    EXPECT_EQ(store.LoadSite("d")->Password, "mixed");

    // Saving another site leaves their stored bytes untouched.
    TSite e;
    e.Name = "e";
    ASSERT_TRUE(store.SaveSite(e));
    QFile after(fileName);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    const QByteArray content = after.readAll();
    EXPECT_TRUE(content.contains("Password=" + QByteArray::fromStdString(cafe) + "\r\n"));
    EXPECT_TRUE(content.contains("Password=" + QByteArray::fromStdString(group) + "\r\n"));
}

TEST(NotesTest, CommaTextForm)
{
    EXPECT_EQ(NotesToCommaText({"first line", "second line"}), "\"first line\",\"second line\"");
    EXPECT_EQ(NotesToCommaText({"one", "two"}), "one,two");
    EXPECT_EQ(NotesToCommaText({"one", "", "three"}), "one,,three");
    EXPECT_EQ(NotesToCommaText({""}), "\"\"");
    EXPECT_EQ(NotesToCommaText({}), "");
    EXPECT_EQ(NotesToCommaText({"say \"hi\"", "a,b"}), "\"say \"\"hi\"\"\",\"a,b\"");

    EXPECT_EQ(NotesFromCommaText("\"first line\",\"second line\""), QStringList({"first line", "second line"}));
    EXPECT_EQ(NotesFromCommaText("one,two"), QStringList({"one", "two"}));
    EXPECT_EQ(NotesFromCommaText("one,,three"), QStringList({"one", "", "three"}));
    EXPECT_EQ(NotesFromCommaText("\"\""), QStringList({""}));
    EXPECT_EQ(NotesFromCommaText(""), QStringList());
    EXPECT_EQ(NotesFromCommaText("a,"), QStringList({"a", ""}));
    // Hand-made forms are read as well as they can be.
    EXPECT_EQ(NotesFromCommaText("\"unterminated"), QStringList({"unterminated"}));
    EXPECT_EQ(NotesFromCommaText("\"a\"b,c"), QStringList({"ab", "c"}));
    EXPECT_EQ(NotesFromCommaText("a b, c"), QStringList({"a b", " c"}));
}

TEST_F(SiteStoreTest, NotesRoundTripThroughTheFileWhateverTheirContent)
{
    // Values that the profile layer reads with their enclosing quotes removed are among
    // these: one line alone, lines starting and ending with quoted items.
    const QList<QStringList> cases = {
        {""}, {"", ""}, {","}, {"a,b"}, {"\""}, {"\"\""}, {"a b"}, {"a", "b c"},
        {"a b", "c"}, {"a b", "", "c d"}, {",", ","}, {"\",\""}, {" lead", "trail "},
    };
    TSiteStore store(SitesFile());
    auto roundTrip = [&](const QStringList &notes) {
        TSite site = Site("notes");
        site.Notes = notes;
        EXPECT_TRUE(store.SaveSite(site));
        return TSiteStore(SitesFile()).LoadSite("notes")->Notes;
    };
    for (const QStringList &notes : cases)
        EXPECT_EQ(roundTrip(notes), notes) << qPrintable(notes.join('|'));

    const QString alphabet = QStringLiteral("a ,\"\tz");
    auto *random = QRandomGenerator::global();
    for (int round = 0; round < 100; ++round) {
        QStringList notes;
        const int count = random->bounded(1, 4);
        for (int i = 0; i < count; ++i) {
            QString line;
            const int length = random->bounded(0, 5);
            for (int j = 0; j < length; ++j)
                line += alphabet[random->bounded(alphabet.size())];
            notes.append(line);
        }
        ASSERT_EQ(roundTrip(notes), notes) << qPrintable(notes.join('|'));
    }
}

TEST_F(SiteStoreTest, PresetFile)
{
    EXPECT_FALSE(TSiteStore::LoadPresetSite(TSiteStore::PresetFileName()).has_value());
    EXPECT_EQ(TSiteStore::PresetFileName(), Path("Dev/dev.ini"));
    EXPECT_EQ(TSiteStore::PresetLogoFileName(), Path("Dev/logo.gif"));

    TPresetSite preset{"Our server", "ftp.preset.org", false, "dev", QString::fromUtf8("pässword")};
    ASSERT_TRUE(TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), preset));
    const TPresetSite back = *TSiteStore::LoadPresetSite(TSiteStore::PresetFileName());
    EXPECT_EQ(back.Name, preset.Name);
    EXPECT_EQ(back.Host, preset.Host);
    EXPECT_FALSE(back.Anonymous);
    EXPECT_EQ(back.UserName, "dev");
    EXPECT_EQ(back.Password, preset.Password);

    // An anonymous preset neither reads nor writes the login.
    TPresetSite anonymous{"Our server", "ftp.preset.org", true, "other", "other"};
    ASSERT_TRUE(TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), anonymous));
    EXPECT_EQ(Stored(TSiteStore::PresetFileName(), "Site", "I"), "dev");
    const TPresetSite anon = *TSiteStore::LoadPresetSite(TSiteStore::PresetFileName());
    EXPECT_TRUE(anon.Anonymous);
    EXPECT_TRUE(anon.UserName.isEmpty());
    EXPECT_TRUE(anon.Password.isEmpty());

    WriteFile("Dev/dev.ini", "[Site]\nN=Hand\nH=h.org\nA=0\nI=me\nP=" + LegacyForm("pw").toUtf8() + "\n");
    const TPresetSite hand = *TSiteStore::LoadPresetSite(TSiteStore::PresetFileName());
    EXPECT_EQ(hand.Name, "Hand");
    EXPECT_EQ(hand.Password, "pw");
}

TEST(SitePortTest, PortFromText)
{
    EXPECT_EQ(TSiteStore::PortFromText("21"), 21);
    EXPECT_EQ(TSiteStore::PortFromText(" 2121 "), 2121);
    EXPECT_EQ(TSiteStore::PortFromText("65535"), 65535);
    EXPECT_FALSE(TSiteStore::PortFromText("0").has_value());
    EXPECT_FALSE(TSiteStore::PortFromText("65536").has_value());
    EXPECT_FALSE(TSiteStore::PortFromText("ftp").has_value());
    EXPECT_FALSE(TSiteStore::PortFromText("").has_value());
}
