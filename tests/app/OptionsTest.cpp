#include "app/Options.h"

#include "engine/FTPComp.h"
#include "platform/IniFile.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ProgramFolderGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <utility>
#include <sys/resource.h>

namespace {

class OptionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FDir.isValid());
    }

    QString OptionsFile() const { return FDir.filePath("ferrow.ini"); }
    void WriteFile(const QByteArray &content) const
    {
        QFile file(OptionsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadFile() const
    {
        QFile file(OptionsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    TOptions Loaded() const
    {
        TOptions options(OptionsFile());
        options.Load();
        return options;
    }

    QTemporaryDir FDir;
    const TProgramFolderGuard FProgramFolder{FDir.path()};
};

// Every option away from its default.
void ChangeEverything(TOptions &options)
{
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        switch (d.Type) {
        case otBoolean: options.SetBool(d.Id, !options.Bool(d.Id)); break;
        case otChoice: options.SetChoice(d.Id, d.DefaultNumber == d.Max ? d.Min : d.Max); break;
        case otNumber: options.SetText(d.Id, QString::number(d.DefaultNumber + 7)); break;
        case otText:
            options.SetText(d.Id, QString::fromLatin1(d.Key) + QString::fromUtf8(" välue \"x\""));
            break;
        }
    }
    options.SetText(oiFirewallPassword, QString::fromUtf8(" \"pässword\" "));
    options.SetText(oiDefaultDir, "\"/home/me/My Files\"");
    options.SetExtensions({".pl", ".cgi"});
    options.SetURLs({"ftp://a.example.org/", "ftp://b.example.org/pub/"});
}

} // namespace

TEST_F(OptionsTest, FirstRunWithoutAFile)
{
    const TOptions options = Loaded();
    EXPECT_EQ(options.EMail(), TOptions::PlaceholderEMail());
    EXPECT_TRUE(options.EMail().contains('@'));
    EXPECT_EQ(options.Text(oiRetries), "3");
    EXPECT_EQ(options.Text(oiTimeout), "90");
    EXPECT_FALSE(options.UsePassive());
    EXPECT_EQ(options.Extensions().size(), 13);
    EXPECT_EQ(options.Extensions(), TOptions::DefaultExtensions());
    EXPECT_TRUE(options.Bool(oiShowManager));
    EXPECT_TRUE(options.URLs().isEmpty());
    EXPECT_FALSE(QFile::exists(OptionsFile()));

    // The rest of the table's defaults.
    EXPECT_FALSE(options.Bool(oiLogToFile));
    EXPECT_TRUE(options.Bool(oiShowToolTips));
    EXPECT_TRUE(options.Text(oiDefaultDir).isEmpty());
    EXPECT_FALSE(options.Bool(oiNoXferOlder));
    EXPECT_TRUE(options.Bool(oiASCIIOnView));
    EXPECT_TRUE(options.Bool(oiPreserveTimeStamp));
    EXPECT_TRUE(options.Bool(oiConfirmRestarts));
    EXPECT_FALSE(options.Bool(oiConfirmLowerCase));
    EXPECT_TRUE(options.Bool(oiConfirmOverwrites));
    EXPECT_EQ(options.Choice(oiTryToResume), 1);
    EXPECT_EQ(options.Choice(oiLocalDblClk), 3);
    EXPECT_EQ(options.Choice(oiHostDblClk), 2);
    EXPECT_TRUE(options.Bool(oiPromptForPass));
    EXPECT_TRUE(options.Bool(oiPing));
    EXPECT_FALSE(options.Bool(oiInfiniteRetry));
    EXPECT_EQ(options.TransferMode(), 0);
    EXPECT_FALSE(options.Bool(oiFirewallEnabled));
    EXPECT_EQ(options.Choice(oiFirewallType), 0);
    EXPECT_EQ(options.Text(oiFirewallPort), "21");
    EXPECT_FALSE(options.Bool(oiSoundsEnabled));
    EXPECT_TRUE(options.Text(oiErrorSound).isEmpty());
    EXPECT_EQ(options.LogFile(), QDir(FDir.path()).filePath("ferrow.log"));
    EXPECT_FALSE(options.Viewer().isEmpty());
}

TEST_F(OptionsTest, EveryOptionRoundTripsThroughTheFile)
{
    TOptions options(OptionsFile());
    options.Load();
    ChangeEverything(options);
    QString error;
    ASSERT_TRUE(options.Save(&error)) << qPrintable(error);
    EXPECT_EQ(QFileInfo(OptionsFile()).permissions().toInt(),
              (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser).toInt());

    const TOptions back = Loaded();
    EXPECT_TRUE(back == options);
    EXPECT_EQ(back.Text(oiFirewallPassword), QString::fromUtf8(" \"pässword\" "));
    EXPECT_EQ(back.Text(oiDefaultDir), "\"/home/me/My Files\"");
    EXPECT_EQ(back.Extensions(), QStringList({".cgi", ".pl"}));
    EXPECT_EQ(back.URLs(), QStringList({"ftp://a.example.org/", "ftp://b.example.org/pub/"}));
}

TEST_F(OptionsTest, FileFormat)
{
    TOptions options(OptionsFile());
    options.Load();
    options.SetBool(oiUsePASV, true);
    options.SetText(oiTimeout, " 45 ");
    options.SetChoice(oiHostDblClk, 0);
    ASSERT_TRUE(options.Save());

    const TIniFile ini(OptionsFile());
    EXPECT_EQ(ini.ReadSections(),
              QStringList({"General", "Advanced", "Connection", "Firewall", "Sounds", "FileTypes"}));
    EXPECT_EQ(ini.ReadString("Connection", "UsePASV", ""), "1");
    EXPECT_EQ(ini.ReadString("Connection", "Ping", ""), "1");
    EXPECT_EQ(ini.ReadString("Connection", "InfiniteRetry", ""), "0");
    EXPECT_EQ(ini.ReadString("Connection", "Timeout", ""), "45");
    EXPECT_EQ(ini.ReadString("Advanced", "HostDblClk", ""), "0");
    EXPECT_EQ(ini.ReadString("General", "EMail", ""), TOptions::PlaceholderEMail());
    EXPECT_EQ(ini.ReadString("Firewall", "Port", ""), "21");
    EXPECT_EQ(ini.ReadSection("FileTypes").size(), 13);
    EXPECT_EQ(ini.ReadString("FileTypes", "Ext0", ""), ".1st");
    EXPECT_EQ(ini.ReadString("FileTypes", "Ext12", ""), ".txt");
    EXPECT_TRUE(ReadFile().contains("\n[General]\n") || ReadFile().startsWith("[General]\n"));
}

TEST_F(OptionsTest, HandWrittenFileKeepsWhatItDoesNotKnow)
{
    WriteFile("; written by hand\r\n"
              "[general]\r\n"
              "  EMail   =   \"me@example.org\"  \r\n"
              "Colour=blue\r\n"
              "\r\n"
              "[Connection]\r\n"
              "Retries = 5\r\n"
              "UsePASV=7\r\n"
              "\r\n"
              "[Custom]\r\n"
              "Keep=this\r\n"
              "[FileTypes]\r\n"
              "Ext0=.pl\r\n"
              "[URLs]\r\n"
              "URL1=ftp://second/\r\n"
              "URL0=ftp://first/\r\n"
              "URL2=ftp://first/\r\n"
              "Other=x\r\n");
    TOptions options = Loaded();
    EXPECT_EQ(options.EMail(), "me@example.org");
    EXPECT_EQ(options.Text(oiRetries), "5");
    EXPECT_TRUE(options.UsePassive());
    EXPECT_EQ(options.Extensions(), QStringList({".pl"}));
    EXPECT_EQ(options.URLs(), QStringList({"ftp://first/", "ftp://second/"}));

    ASSERT_TRUE(options.Save());
    const QByteArray after = ReadFile();
    EXPECT_TRUE(after.startsWith("; written by hand\r\n[general]\r\n"));
    EXPECT_TRUE(after.contains("Colour=blue\r\n"));
    EXPECT_TRUE(after.contains("[Custom]\r\nKeep=this\r\n"));
    EXPECT_EQ(Loaded(), options);
}

TEST_F(OptionsTest, MalformedValuesFallBackToDefaults)
{
    QByteArray content = "[General]\nLogToFile=yes\nShowToolTips=2\n"
                         "[Advanced]\nTryToResume=3\nLocalDblClk=-1\nHostDblClk=x\nNoXferOlder=0x1\n"
                         "[Connection]\nRetries=abc\nTimeout=-5\nTransferMode=9\n"
                         "[Firewall]\nType=99999999999\n[Sounds\n";
    content += QByteArray("\x00\xff\xfe garbage = \x01\n", 16);
    WriteFile(content);
    const TOptions options = Loaded();
    EXPECT_FALSE(options.Bool(oiLogToFile));
    EXPECT_TRUE(options.Bool(oiShowToolTips));
    EXPECT_EQ(options.Choice(oiTryToResume), 1);
    EXPECT_EQ(options.Choice(oiLocalDblClk), 3);
    EXPECT_EQ(options.Choice(oiHostDblClk), 2);
    EXPECT_TRUE(options.Bool(oiNoXferOlder));
    EXPECT_EQ(options.Text(oiRetries), "3");
    EXPECT_EQ(options.Text(oiTimeout), "90");
    EXPECT_EQ(options.TransferMode(), 0);
    EXPECT_EQ(options.Choice(oiFirewallType), 0);
    EXPECT_EQ(options.Extensions(), TOptions::DefaultExtensions());
}

TEST_F(OptionsTest, FileTypesSection)
{
    WriteFile("[FileTypes]\nExt0=txt\nExt1=.PL\nExt3=.pl\nExt5=\nExt7= .Cgi \nOther=.zzz\n");
    EXPECT_EQ(Loaded().Extensions(), QStringList({".Cgi", ".PL", ".txt"}));

    // An empty section keeps the list there is.
    WriteFile("[FileTypes]\n");
    TOptions options(OptionsFile());
    options.SetExtensions({".x"});
    options.Load();
    EXPECT_EQ(options.Extensions(), QStringList({".x"}));

    // Saving renumbers the section from 0 and drops keys it does not use.
    WriteFile("[FileTypes]\nExt4=.b\nExt9=.a\nJunk=1\n");
    TOptions renumbered = Loaded();
    ASSERT_TRUE(renumbered.Save());
    const TIniFile ini(OptionsFile());
    EXPECT_EQ(ini.ReadSection("FileTypes"), QStringList({"Ext0", "Ext1"}));
    EXPECT_EQ(ini.ReadString("FileTypes", "Ext0", ""), ".a");
}

TEST_F(OptionsTest, ExtensionList)
{
    TOptions options(OptionsFile());
    EXPECT_FALSE(options.AddExtension("txt"));
    EXPECT_FALSE(options.AddExtension(".TXT"));
    EXPECT_EQ(options.Extensions().count(".txt"), 1);
    EXPECT_FALSE(options.AddExtension(""));
    EXPECT_FALSE(options.AddExtension("."));
    EXPECT_TRUE(options.AddExtension("Pl"));
    EXPECT_EQ(options.Extensions().size(), 14);
    EXPECT_EQ(options.Extensions()[options.Extensions().indexOf(".Pl") - 1], ".me");
    EXPECT_TRUE(options.RemoveExtension(".Pl"));
    EXPECT_FALSE(options.RemoveExtension(".Pl"));
    EXPECT_EQ(options.Extensions(), TOptions::DefaultExtensions());
}

TEST_F(OptionsTest, URLHistory)
{
    TOptions options(OptionsFile());
    options.AddURL("ftp://a/");
    options.AddURL("ftp://b/");
    options.AddURL("FTP://A/");
    options.AddURL("");
    EXPECT_EQ(options.URLs(), QStringList({"ftp://b/", "ftp://a/"}));

    // Loading adds the file's URLs that are not listed yet (letter case counts).
    WriteFile("[URLs]\nURL0=ftp://c/\nURL1=ftp://a/\nURL2=FTP://B/\n");
    options.Load();
    EXPECT_EQ(options.URLs(), QStringList({"ftp://b/", "ftp://a/", "ftp://c/", "FTP://B/"}));

    // At program end only the URLs are written; the rest of the file stays.
    WriteFile("[General]\nEMail=me@example.org\n[URLs]\nURL0=old\nURL1=older\n");
    options.SetURLs({"ftp://new/"});
    ASSERT_TRUE(options.SaveURLs());
    const TIniFile ini(OptionsFile());
    EXPECT_EQ(ini.ReadSection("URLs"), QStringList({"URL0"}));
    EXPECT_EQ(ini.ReadString("URLs", "URL0", ""), "ftp://new/");
    EXPECT_EQ(ini.ReadString("General", "EMail", ""), "me@example.org");
}

TEST_F(OptionsTest, NumbersThatAreNotWholeNumbersAreRefusedOnSave)
{
    TOptions saved(OptionsFile());
    ASSERT_TRUE(saved.Save());
    const QByteArray before = ReadFile();

    for (const char *text : {"abc", "", "3.5", "12x", "99999999999"}) {
        TOptions options(OptionsFile());
        options.SetText(oiRetries, text);
        options.SetBool(oiUsePASV, true);
        QString error;
        EXPECT_FALSE(options.Save(&error)) << text;
        EXPECT_EQ(error, QString("Try to reconnect ... times: '%1' is not a valid integer value").arg(text));
        EXPECT_EQ(ReadFile(), before);
    }
    TOptions timeout(OptionsFile());
    timeout.SetText(oiTimeout, "ninety");
    QString error;
    EXPECT_FALSE(timeout.Save(&error));
    EXPECT_EQ(error, "Timeout after ... seconds: 'ninety' is not a valid integer value");
    EXPECT_EQ(ReadFile(), before);

    for (const auto &[id, text] : {std::pair{oiRetries, "-1"}, std::pair{oiTimeout, "0"}, std::pair{oiTimeout, "2147484"}}) {
        TOptions outOfRange(OptionsFile());
        outOfRange.SetText(id, text);
        EXPECT_FALSE(outOfRange.Save(&error)) << text;
        EXPECT_TRUE(error.startsWith(OptionFieldName(id) + ": '" + text + "' is not a value from")) << qPrintable(error);
        EXPECT_EQ(ReadFile(), before);
    }

    EXPECT_EQ(StrictInteger(" 42 "), 42);
    EXPECT_EQ(StrictInteger("-3"), -3);
    EXPECT_EQ(StrictInteger("+7"), 7);
}

TEST_F(OptionsTest, FailedWriteLeavesTheOldFileWhole)
{
    TOptions options(OptionsFile());
    ASSERT_TRUE(options.Save());
    const QByteArray before = ReadFile();

    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many.append(QStringLiteral("ftp://host%1.example.org/some/long/folder/").arg(i));
    options.SetURLs(many);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString error;
    const bool saved = options.Save(&error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(error.contains(OptionsFile())) << qPrintable(error);
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList({"ferrow.ini"}));
}

TEST_F(OptionsTest, PreferencesWindowEditsACopy)
{
    TOptions live(OptionsFile());
    live.Load();
    TOptions copy = live;
    copy.SetBool(oiUsePASV, true);
    copy.SetText(oiEMail, "other@example.org");
    copy.AddExtension(".pl");
    EXPECT_FALSE(live.UsePassive());
    EXPECT_EQ(live.EMail(), TOptions::PlaceholderEMail());
    EXPECT_FALSE(live.Extensions().contains(".pl"));
    EXPECT_FALSE(live == copy);

    // OK: the copy is saved and becomes the live options.
    ASSERT_TRUE(copy.Save());
    live = copy;
    EXPECT_EQ(Loaded(), live);
}

TEST(OptionsDefaultsTest, LogFileAndBuiltInList)
{
    QTemporaryDir dir;
    {
        const TProgramFolderGuard folder(dir.path());
        EXPECT_EQ(TOptions::LogFilePathFor("/somewhere/else/a.log"), QDir(dir.path()).filePath("a.log"));
        EXPECT_EQ(TOptions::LogFilePathFor("b.log"), QDir(dir.path()).filePath("b.log"));
        EXPECT_EQ(QFileInfo(TOptions::DefaultFileName()).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
        EXPECT_TRUE(TOptions::DefaultFileName().endsWith(".ini"));
    }

    const QStringList builtIn = TOptions::DefaultExtensions();
    QStringList sorted = builtIn;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(builtIn, sorted);
}

TEST(EngineSettingsTest, WorkedOutFromTheOptions)
{
    TOptions options(QString{});
    TEngineSettings settings = options.EngineSettings();
    EXPECT_TRUE(settings.KeepAlive);
    EXPECT_FALSE(settings.Passive);
    EXPECT_EQ(settings.TimeoutMS, 90000);
    EXPECT_EQ(settings.RetryCount, 3);

    options.SetBool(oiInfiniteRetry, true);
    options.SetText(oiTimeout, "abc");
    options.SetBool(oiPing, false);
    options.SetBool(oiUsePASV, true);
    settings = options.EngineSettings();
    EXPECT_EQ(settings.RetryCount, 0);
    EXPECT_EQ(settings.TimeoutMS, 120000);
    EXPECT_FALSE(settings.KeepAlive);
    EXPECT_TRUE(settings.Passive);

    options.SetBool(oiInfiniteRetry, false);
    options.SetText(oiRetries, "0");
    options.SetText(oiTimeout, "0");
    EXPECT_EQ(options.EngineSettings().RetryCount, 1);
    EXPECT_EQ(options.EngineSettings().TimeoutMS, 120000);
    options.SetText(oiRetries, "-2");
    options.SetText(oiTimeout, "99999999");
    EXPECT_EQ(options.EngineSettings().RetryCount, 3);
    EXPECT_GT(options.EngineSettings().TimeoutMS, 0);
}

TEST(EngineSettingsTest, PushedIntoEveryLiveEngine)
{
    TestApp();
    {
        auto first = std::make_unique<TFTPComponent>();
        auto second = std::make_unique<TFTPComponent>();
        TOptions options(QString{});
        options.SetBool(oiUsePASV, true);
        options.SetBool(oiPing, false);
        options.SetText(oiTimeout, "30");
        options.SetText(oiRetries, "7");
        options.ApplyEngineSettings();
        EXPECT_TRUE(first->Passive());
        EXPECT_TRUE(second->Passive());
        EXPECT_FALSE(TFTPComponent::KeepAlive.load());
        EXPECT_EQ(TFTPComponent::TimeoutMS.load(), 30000);
        EXPECT_EQ(TFTPComponent::RetryCount.load(), 7);

        options.SetBool(oiUsePASV, false);
        options.SetBool(oiInfiniteRetry, true);
        options.SetBool(oiPing, true);
        options.ApplyEngineSettings();
        EXPECT_FALSE(first->Passive());
        EXPECT_FALSE(second->Passive());
        EXPECT_EQ(TFTPComponent::RetryCount.load(), 0);
        EXPECT_TRUE(TFTPComponent::KeepAlive.load());
    }
    TOptions(QString{}).ApplyEngineSettings();
}

TEST(OptionsSoundsTest, PlayedOnlyWhenSoundsAreOn)
{
    TOptions options(QString{});
    options.SetText(oiEndOfFileSound, "/sounds/done.wav");
    EXPECT_TRUE(options.SoundToPlay(oiEndOfFileSound).isEmpty());
    options.SetBool(oiSoundsEnabled, true);
    EXPECT_EQ(options.SoundToPlay(oiEndOfFileSound), "/sounds/done.wav");
    EXPECT_TRUE(options.SoundToPlay(oiErrorSound).isEmpty());
}

TEST(TransferSettingsTest, CopiedFromTheOptions)
{
    TOptions options(QString{});
    options.SetChoice(oiTransferMode, 2);
    options.SetBool(oiConfirmLowerCase, true);
    options.SetText(oiFirewallPort, "2121");
    options.SetExtensions({".pl"});
    const TTransferSettings settings = options.TransferSettings();
    EXPECT_EQ(settings.TransferMode, 2);
    EXPECT_TRUE(settings.ForceLowerCase);
    EXPECT_EQ(settings.FirewallPort, "2121");
    EXPECT_EQ(settings.AsciiExtensions, std::vector<std::string>({".pl"}));
    EXPECT_EQ(settings.TryToResume, 1);
}
