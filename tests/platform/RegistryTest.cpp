#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString MainKey = QStringLiteral("\\Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main");

class RegistryTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }

    // A folder below the temporary one, so that creating it is part of the test.
    QString FilePath() const { return FDir.filePath(QStringLiteral("Velunor Media/ScrivelFerrow.ini")); }

    QByteArray FileBytes() const
    {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteFile(const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(FilePath()).absolutePath());
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QTemporaryDir FDir;
};

TEST_F(RegistryTest, TheUsersFileLiesInTheConfigFolder)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    EXPECT_EQ(TRegistry::DefaultFileName(), config + QStringLiteral("/Velunor Media/ScrivelFerrow.ini"));
    EXPECT_TRUE(config.contains(QStringLiteral(".qttest"))) << "test mode keeps the real file untouched";
}

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile)
{
    {
        TRegistry reg(FilePath());
        ASSERT_TRUE(reg.OpenKey(MainKey, true));
        reg.WriteInteger(QStringLiteral("State"), 2);
        reg.WriteInteger(QStringLiteral("Left"), -8);
        reg.WriteBool(QStringLiteral("Flag"), true);
        reg.WriteString(QStringLiteral("Plain"), QStringLiteral("ftp.example.org"));
        reg.WriteString(QStringLiteral("Padded"), QStringLiteral("  two spaces  "));
        reg.WriteString(QStringLiteral("Quoted"), QStringLiteral("\"C:\\Edit\\ed.exe\" \"%1\""));
        reg.WriteString(QStringLiteral("Pair"), QStringLiteral("\"\""));
        reg.WriteString(QStringLiteral("Empty"), QString());
        EXPECT_FALSE(QFile::exists(FilePath())) << "nothing is written before the key is closed";
        reg.CloseKey();
        EXPECT_TRUE(QFile::exists(FilePath()));
    }
    EXPECT_TRUE(FileBytes().startsWith("[Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main]\nState=2\nLeft=-8\n"));

    TRegistry reg(FilePath());
    ASSERT_TRUE(reg.OpenKey(MainKey, false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("state"), 0), 2);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Left"), 0), -8);
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("Flag"), false));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Plain")), QStringLiteral("ftp.example.org"));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Padded")), QStringLiteral("  two spaces  "));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Quoted")), QStringLiteral("\"C:\\Edit\\ed.exe\" \"%1\""));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Pair")), QStringLiteral("\"\""));
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("Empty")));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Empty"), QStringLiteral("def")), QString());
    EXPECT_EQ(reg.ReadString(QStringLiteral("Missing"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(reg.GetValueNames(),
              (QStringList{QStringLiteral("State"), QStringLiteral("Left"), QStringLiteral("Flag"),
                           QStringLiteral("Plain"), QStringLiteral("Padded"), QStringLiteral("Quoted"),
                           QStringLiteral("Pair"), QStringLiteral("Empty")}));
}

TEST_F(RegistryTest, IntegersThatAreNoNumbersReadAsTheDefault)
{
    WriteFile("[Software\\Velunor Media\\ScrivelFerrow\\Options]\nToolBarMin=abc\nLogHeight=\n");
    TRegistry reg(FilePath());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Velunor Media\\ScrivelFerrow\\Options"), false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("ToolBarMin"), 30), 30);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("LogHeight"), 125), 125);
}

TEST_F(RegistryTest, KeysOpenAbsoluteOrBelowTheOpenKey)
{
    TRegistry reg(FilePath());
    EXPECT_FALSE(reg.OpenKey(MainKey, false));
    EXPECT_FALSE(reg.OpenKey(QString(), true)) << "there is no root key to open";
    EXPECT_TRUE(reg.CurrentPath().isEmpty());

    ASSERT_TRUE(reg.OpenKey(MainKey, true));
    EXPECT_TRUE(reg.KeyExists(MainKey)) << "a created key exists before any value is written";
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\software\\VELUNOR MEDIA"))) << "so do the keys above it";
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\Software\\Velunor")));

    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Column Widths"), true));
    EXPECT_EQ(reg.CurrentPath(),
              QStringLiteral("Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main\\Column Widths"));
    reg.WriteInteger(QStringLiteral("HostCol0"), 120);

    // A failed open leaves the open key as it was.
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("\\Nowhere"), false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("HostCol0"), 0), 120);

    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\\\Software\\Velunor Media\\\\ScrivelFerrow\\windows\\main\\"), false));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{QStringLiteral("Column Widths")});
}

TEST_F(RegistryTest, WithoutAnOpenKeyNothingIsReadOrWritten)
{
    TRegistry reg(FilePath());
    reg.WriteString(QStringLiteral("Lost"), QStringLiteral("value"));
    reg.WriteInteger(QStringLiteral("Lost"), 1);
    EXPECT_EQ(reg.ReadString(QStringLiteral("Lost"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Lost")));
    EXPECT_TRUE(reg.GetValueNames().isEmpty());
    EXPECT_TRUE(reg.Flush());
    EXPECT_FALSE(QFile::exists(FilePath()));
}

TEST_F(RegistryTest, DeletingValuesAndKeys)
{
    WriteFile("[Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main]\nState=1\nLeft=2\n\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main\\Column Widths]\nLocalCol0=50\n\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Windows\\MainX]\nKeep=1\n\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Last Connections1]\nSite=alpha\n");
    {
        TRegistry reg(FilePath());
        ASSERT_TRUE(reg.OpenKey(MainKey, false));
        EXPECT_TRUE(reg.DeleteValue(QStringLiteral("STATE")));
        EXPECT_FALSE(reg.DeleteValue(QStringLiteral("State")));
        EXPECT_EQ(reg.GetValueNames(), QStringList{QStringLiteral("Left")});

        EXPECT_TRUE(reg.DeleteKey(MainKey));
        EXPECT_FALSE(reg.DeleteKey(MainKey));
    }
    const TIniFile ini(FilePath());
    EXPECT_EQ(ini.ReadSections(),
              (QStringList{QStringLiteral("Software\\Velunor Media\\ScrivelFerrow\\Windows\\MainX"),
                           QStringLiteral("Software\\Velunor Media\\ScrivelFerrow\\Last Connections1")}))
        << "the key goes with the keys below it, and no other";
}

TEST_F(RegistryTest, ChangesAreWrittenOnDestructionAndOnlyWhenThereAreAny)
{
    {
        TRegistry reg(FilePath());
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Velunor Media\\ScrivelFerrow\\Last Connections1"), true));
        reg.WriteString(QStringLiteral("Site"), QStringLiteral("alpha"));
    }
    EXPECT_EQ(FileBytes(), QByteArray("[Software\\Velunor Media\\ScrivelFerrow\\Last Connections1]\nSite=alpha\n"));

    // Reading, or writing what is there already, does not replace the file.
    WriteFile("[Other]\nK=1\n");
    const auto inode = [this] {
        struct stat info {};
        return ::stat(QFile::encodeName(FilePath()).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    const ino_t before = inode();
    {
        TRegistry reg(FilePath());
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Other"), true));
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("K"), 0), 1);
        reg.WriteInteger(QStringLiteral("K"), 1);
    }
    EXPECT_EQ(inode(), before);
}

TEST_F(RegistryTest, HtmlEditorCommand)
{
    EXPECT_TRUE(TRegistry(FilePath()).HtmlEditorCommand().isEmpty());

    WriteFile("[classes\\HTMLFILE\\shell\\Scrivel\\command]\n=/usr/bin/bluefish %1\n");
    EXPECT_EQ(TRegistry(FilePath()).HtmlEditorCommand(), QStringLiteral("/usr/bin/bluefish %1"));

    // Written through the registry object, as an installer would.
    {
        TRegistry reg(FilePath());
        ASSERT_TRUE(reg.OpenKey(u'\\' + TRegistry::HtmlEditorKey, true));
        reg.WriteString(QString(), QStringLiteral("\"/opt/My Editor/edit\" \"%1\""));
    }
    EXPECT_EQ(TRegistry(FilePath()).HtmlEditorCommand(), QStringLiteral("\"/opt/My Editor/edit\" \"%1\""));
}

} // namespace
