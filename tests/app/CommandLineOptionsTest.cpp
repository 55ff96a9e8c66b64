#include "app/CommandLineOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString StartFolder = QStringLiteral("/home/me/start");

TConnectionSwitches Connection(const QStringList &arguments)
{
    return ReadConnectionSwitches(arguments, StartFolder);
}

} // namespace

TEST(CommandLineSwitchesTest, StartValuesWithoutSwitches)
{
    const TConnectionSwitches s = Connection({});
    EXPECT_TRUE(s.Host.isEmpty());
    EXPECT_EQ(s.Port, 21);
    EXPECT_EQ(s.UserName, "anonymous");
    EXPECT_TRUE(s.Password.isEmpty());
    EXPECT_TRUE(s.Account.isEmpty());
    EXPECT_EQ(s.LocalFolder, StartFolder);
    EXPECT_TRUE(s.HostFolder.isEmpty());
    EXPECT_TRUE(s.ReceiveList.isEmpty());
    EXPECT_TRUE(s.SendList.isEmpty());
    EXPECT_FALSE(s.ExitWhenDone);

    const TStartupSwitches first = ReadStartupSwitches({"host", "file.txt"});
    EXPECT_FALSE(first.ShowUsage);
    EXPECT_FALSE(first.DebugMode);
    EXPECT_TRUE(first.IniFileName.isEmpty());
    EXPECT_TRUE(first.SitesFileName.isEmpty());
}

TEST(CommandLineSwitchesTest, HostWithPortAndUser)
{
    const TConnectionSwitches s = Connection({"-c", "host:2121", "-u", "bob"});
    EXPECT_EQ(s.Host, "host");
    EXPECT_EQ(s.Port, 2121);
    EXPECT_EQ(s.UserName, "bob");

    const TConnectionSwitches ip = Connection({"-c192.168.0.9:990"});
    EXPECT_EQ(ip.Host, "192.168.0.9");
    EXPECT_EQ(ip.Port, 990);
}

TEST(CommandLineSwitchesTest, UnusablePortsFallBackTo21)
{
    for (const char *value : {"host:ftp", "host:", "host:0", "host:65536", "host:-5", "host:21x"}) {
        const TConnectionSwitches s = Connection({"-c", value});
        EXPECT_EQ(s.Host, "host") << value;
        EXPECT_EQ(s.Port, 21) << value;
    }
}

TEST(CommandLineSwitchesTest, LetterCaseRules)
{
    const TConnectionSwitches upper = Connection({"-C", "host", "-U", "Bob", "-P", "PassWord"});
    EXPECT_TRUE(upper.Host.isEmpty());
    EXPECT_EQ(upper.UserName, "Bob");
    EXPECT_EQ(upper.Password, "PassWord");

    EXPECT_TRUE(ReadStartupSwitches({"-D"}).DebugMode);
    EXPECT_EQ(ReadStartupSwitches({"-I", "/etc/x.ini"}).IniFileName, "/etc/x.ini");
}

TEST(CommandLineSwitchesTest, ValuesGluedToTheSwitchKeepTheirCase)
{
    const TConnectionSwitches s =
        Connection({"-cHost.Example:2121", "-uBob", "-pSe cret", "-aAcct", "-h/Pub/In", "-x"});
    EXPECT_EQ(s.Host, "Host.Example");
    EXPECT_EQ(s.Port, 2121);
    EXPECT_EQ(s.UserName, "Bob");
    EXPECT_EQ(s.Password, "Se cret");
    EXPECT_EQ(s.Account, "Acct");
    EXPECT_EQ(s.HostFolder, "/Pub/In");
    EXPECT_TRUE(s.ExitWhenDone);
}

TEST(CommandLineSwitchesTest, ArgumentsAndValuesAreTrimmed)
{
    const TConnectionSwitches s = Connection({"  -u ", "  bob  ", " -pword  ", "-a"});
    EXPECT_EQ(s.UserName, "bob");
    EXPECT_EQ(s.Password, "word");
    EXPECT_TRUE(s.Account.isEmpty()); // no value left to take
}

TEST(CommandLineSwitchesTest, SlashFormOnlyForTwoCharacterArguments)
{
    const TConnectionSwitches slash = Connection({"/c", "host", "/u", "bob", "/x"});
    EXPECT_EQ(slash.Host, "host");
    EXPECT_EQ(slash.UserName, "bob");
    EXPECT_TRUE(slash.ExitWhenDone);

    const TConnectionSwitches glued = Connection({"/chost", "/ubob", "/usr/share"});
    EXPECT_TRUE(glued.Host.isEmpty());
    EXPECT_EQ(glued.UserName, "anonymous");

    const TConnectionSwitches local = Connection({"-l", "/home/me"});
    EXPECT_EQ(local.LocalFolder, "/home/me");
    EXPECT_TRUE(local.HostFolder.isEmpty());
}

TEST(CommandLineSwitchesTest, AValueIsNeverReadAsASwitch)
{
    // A password starting with "-s" must not queue an upload, nor "/x" in a folder
    // value end the program.
    const TConnectionSwitches s = Connection({"-p", "-secret", "-l", "/x", "-i", "-cevil"});
    EXPECT_EQ(s.Password, "-secret");
    EXPECT_TRUE(s.SendList.isEmpty());
    EXPECT_EQ(s.LocalFolder, "/x");
    EXPECT_FALSE(s.ExitWhenDone);
    EXPECT_TRUE(s.Host.isEmpty());
    EXPECT_EQ(ReadStartupSwitches({"-u", "-?"}).ShowUsage, false);
}

TEST(CommandLineSwitchesTest, FirstPassSwitches)
{
    const TStartupSwitches s = ReadStartupSwitches({"-i", "/tmp/a.ini", "-n/tmp/sites.ini", "-d", "-c", "host"});
    EXPECT_EQ(s.IniFileName, "/tmp/a.ini");
    EXPECT_EQ(s.SitesFileName, "/tmp/sites.ini");
    EXPECT_TRUE(s.DebugMode);
    EXPECT_FALSE(s.ShowUsage);
    // The first pass's values are not taken for second-pass switches.
    EXPECT_TRUE(Connection({"-i", "/x"}).LocalFolder == StartFolder);
    EXPECT_FALSE(Connection({"-i", "/x"}).ExitWhenDone);
}

TEST(CommandLineSwitchesTest, HelpSwitch)
{
    EXPECT_TRUE(ReadStartupSwitches({"-c", "host", "-?"}).ShowUsage);
    EXPECT_TRUE(ReadStartupSwitches({"/?"}).ShowUsage);
    EXPECT_TRUE(ReadStartupSwitches({"-?please"}).ShowUsage);
    EXPECT_FALSE(ReadStartupSwitches({"/?please"}).ShowUsage);
    EXPECT_FALSE(ReadStartupSwitches({"?"}).ShowUsage);
}

TEST(CommandLineSwitchesTest, FileListsAreSplitAtSemicolons)
{
    const TConnectionSwitches s = Connection({"-r", "a.txt;my file, 2.txt;;", "-s", ";b.txt"});
    EXPECT_EQ(s.ReceiveList, QStringList({"a.txt", "my file, 2.txt"}));
    EXPECT_EQ(s.SendList, QStringList({"b.txt"}));
    EXPECT_FALSE(HasWildcards(s.ReceiveList));
    EXPECT_TRUE(HasWildcards({"a.txt", "*.txt"}));
    EXPECT_TRUE(HasWildcards({"file?.txt"}));
}

TEST(CommandLineSwitchesTest, AnFtpUrlArgumentSetsServerLoginAndFolder)
{
    const TConnectionSwitches s = Connection({"FTP://bob:p%40ss:w@ftp.example.org:2121/pub/my%20dir/"});
    EXPECT_EQ(s.Host, "ftp.example.org");
    EXPECT_EQ(s.Port, 2121);
    EXPECT_EQ(s.UserName, "bob");
    EXPECT_EQ(s.Password, "p@ss:w");
    EXPECT_EQ(s.HostFolder, "/pub/my dir/");
    EXPECT_EQ(s.LocalFolder, StartFolder);

    // Without a login it is anonymous, and the e-mail option becomes the password.
    TConnectionSwitches anonymous = Connection({"ftp://host/pub"});
    EXPECT_EQ(anonymous.UserName, "anonymous");
    EXPECT_EQ(anonymous.HostFolder, "/pub");
    EXPECT_EQ(anonymous.Port, 21);
    EXPECT_FALSE(ResolveCommandLinePassword(anonymous, "me@example.org", true));
    EXPECT_EQ(anonymous.Password, "me@example.org");

    // Switches after the URL win; one whose value looks like a URL keeps it as its value.
    const TConnectionSwitches later = Connection({"ftp://bob@host/", "-u", "alice", "-h", "ftp://x/"});
    EXPECT_EQ(later.Host, "host");
    EXPECT_EQ(later.UserName, "alice");
    EXPECT_EQ(later.HostFolder, "ftp://x/");

    // A URL that cannot be split changes nothing.
    const TConnectionSwitches bad = Connection({"-c", "host", "ftp://other:99999/"});
    EXPECT_EQ(bad.Host, "host");
    EXPECT_EQ(bad.Port, 21);
    EXPECT_TRUE(ReadStartupSwitches({"ftp://host/"}).IniFileName.isEmpty());
}

TEST(CommandLinePasswordTest, AnonymousTakesTheEmailAndNeverPrompts)
{
    TConnectionSwitches anonymous = Connection({"-c", "host"});
    EXPECT_FALSE(ResolveCommandLinePassword(anonymous, "me@example.org", true));
    EXPECT_EQ(anonymous.Password, "me@example.org");

    TConnectionSwitches bob = Connection({"-c", "host", "-u", "bob"});
    EXPECT_TRUE(ResolveCommandLinePassword(bob, "me@example.org", true));
    EXPECT_TRUE(bob.Password.isEmpty());
    EXPECT_FALSE(ResolveCommandLinePassword(bob, "me@example.org", false));

    TConnectionSwitches noHost = Connection({"-u", "bob"});
    EXPECT_FALSE(ResolveCommandLinePassword(noHost, "", true));

    TConnectionSwitches given = Connection({"-c", "host", "-p", "pw"});
    EXPECT_FALSE(ResolveCommandLinePassword(given, "me@example.org", true));
    EXPECT_EQ(given.Password, "pw");
}

TEST(CommandLineTransfersTest, DownloadsGoBelowTheHostFolderOrFromTheRoot)
{
    TConnectionSwitches s = Connection({"-r", "a.txt;sub\\b.txt;/abs/c.txt;dir/", "-c", "host",
                                        "-h", "in\\box"});
    const std::vector<TCommandLineTransfer> downloads = CommandLineDownloads(s);
    ASSERT_EQ(downloads.size(), 3u);
    EXPECT_EQ(downloads[0].RemoteFolder, "in/box/");
    EXPECT_EQ(downloads[0].FileName, "a.txt");
    EXPECT_EQ(downloads[0].LocalFolder, StartFolder + "/");
    EXPECT_EQ(downloads[0].Size, 0);
    EXPECT_EQ(downloads[1].RemoteFolder, "in/box/sub/");
    EXPECT_EQ(downloads[1].FileName, "b.txt");
    EXPECT_EQ(downloads[2].RemoteFolder, "/abs/");
    EXPECT_EQ(downloads[2].FileName, "c.txt");

    s.HostFolder.clear();
    EXPECT_EQ(CommandLineDownloads(s)[0].RemoteFolder, "");
}

TEST(CommandLineTransfersTest, UploadsCarryRealSizeAndDateAndSkipUnreadableFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("twelve bytes");
    file.close();
    QFile local(dir.filePath("local.bin"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("xyz");
    local.close();

    const TConnectionSwitches s = ReadConnectionSwitches(
        {"-s", dir.filePath("a.txt") + ";" + dir.filePath("missing.txt") + ";" + dir.filePath("*.txt")
                   + ";local.bin;" + dir.path(),
         "-c", "host", "-h", "/in"},
        dir.path());
    const std::vector<TCommandLineTransfer> uploads = CommandLineUploads(s);
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].RemoteFolder, "/in/");
    EXPECT_EQ(uploads[0].LocalFolder, dir.path() + "/");
    EXPECT_EQ(uploads[0].FileName, "a.txt");
    EXPECT_EQ(uploads[0].Size, 12);
    EXPECT_EQ(uploads[0].Date.ToDateTime().toSecsSinceEpoch(),
              QFileInfo(dir.filePath("a.txt")).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(uploads[1].FileName, "local.bin");
    EXPECT_EQ(uploads[1].LocalFolder, dir.path() + "/");
    EXPECT_EQ(uploads[1].Size, 3);
}

TEST(CommandLineUsageTest, TextIsExact)
{
    const QString text = CommandLineUsageText();
    const QStringList lines = text.split(QStringLiteral("\n\r"));
    ASSERT_EQ(lines.size(), 25);
    EXPECT_EQ(lines.first(), "Ferrowx [/c Host[:port]]");
    EXPECT_EQ(lines[6], "        [/r [folder][filename][;[folder][filename]...]]");
    EXPECT_EQ(lines[10], "        [/n [drive:][folder][filename]");
    EXPECT_TRUE(lines[11].isEmpty());
    EXPECT_EQ(lines[12], "/c - Host name or IP address");
    EXPECT_EQ(lines[22], "/n - Path to sites listing (.ini) file");
    EXPECT_TRUE(lines[23].isEmpty());
    EXPECT_EQ(lines.last(), "\"/\" can be replaced with \"-\"");
    EXPECT_FALSE(text.contains("/d"));
    EXPECT_EQ(text.count(u'\n'), 24);
    EXPECT_EQ(text.count(u'\r'), 24);
    EXPECT_EQ(CommandLineUsageCaption(), "Ferrow Command Line Usage");
}
