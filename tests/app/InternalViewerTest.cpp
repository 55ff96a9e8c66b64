#include "app/InternalViewer.h"

#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "tests/support/DefaultPassiveGuard.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>

#include <memory>

using namespace std::chrono_literals;

namespace {

QByteArray PngBytes(QColor color)
{
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The picture the viewer's page holds for `url`, as its layout loaded it.
QImage ShownPicture(TInternalViewer &viewer, const QUrl &url)
{
    return viewer.document()->resource(QTextDocument::ImageResource, url).value<QImage>();
}

const QByteArray Page = "<html><body><h1>Sample page</h1><img src=\"pics/dot.png\"></body></html>";

class InternalViewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Viewer = std::make_unique<TInternalViewer>();
        Viewer->resize(500, 300);
        Viewer->show();
    }
    bool WaitLoaded()
    {
        return WaitUntil([this] { return !Viewer->Busy(); }, 30s);
    }

    std::unique_ptr<TInternalViewer> Viewer;
};

TEST_F(InternalViewerTest, LocalPageWithItsPictureAndAPictureAlone)
{
    QTemporaryDir folder;
    ASSERT_TRUE(WriteAll(folder.filePath("index.html"), Page));
    QDir(folder.path()).mkdir("pics");
    ASSERT_TRUE(WriteAll(folder.filePath("pics/dot.png"), PngBytes(Qt::red)));
    QSignalSpy begun(Viewer.get(), &TInternalViewer::DownloadBegin);

    Viewer->Navigate(QUrl::fromLocalFile(folder.filePath("index.html")));
    EXPECT_FALSE(Viewer->Busy());
    EXPECT_TRUE(Viewer->toPlainText().contains("Sample page"));
    EXPECT_EQ(ShownPicture(*Viewer, QUrl("pics/dot.png")).pixelColor(0, 0), QColor(Qt::red));

    Viewer->Navigate(QUrl::fromLocalFile(folder.filePath("pics/dot.png")));
    const QUrl picture = QUrl::fromLocalFile(folder.filePath("pics/dot.png"));
    EXPECT_EQ(ShownPicture(*Viewer, picture).size(), QSize(12, 8));
    EXPECT_EQ(begun.count(), 0); // nothing was downloaded

    // A file that cannot be read says so instead of showing nothing.
    Viewer->Navigate(QUrl::fromLocalFile(folder.filePath("gone.html")));
    EXPECT_TRUE(Viewer->toPlainText().contains("The page cannot be shown"));
}

TEST_F(InternalViewerTest, HttpPageAndItsPicturesWithAPlainGet)
{
    QTemporaryDir root;
    ASSERT_TRUE(WriteAll(root.filePath("index.html"),
                         "<html><body><p>Over http</p><img src=\"pics/dot.png\">"
                         "<script>document.write('ran')</script></body></html>"));
    QDir(root.path()).mkdir("pics");
    ASSERT_TRUE(WriteAll(root.filePath("pics/dot.png"), PngBytes(Qt::blue)));
    QTemporaryDir logs;
    const QString log = logs.filePath("http.log");
    TChildProcess server({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                          "--directory", root.path().toStdString()},
                         log.toStdString());
    int port = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto match = QRegularExpression("port (\\d+)").match(QString::fromUtf8(ReadAll(log)));
            port = match.hasMatch() ? match.captured(1).toInt() : 0;
            return port > 0;
        },
        30s))
        << ReadAll(log).toStdString();

    QSignalSpy begun(Viewer.get(), &TInternalViewer::DownloadBegin);
    QSignalSpy complete(Viewer.get(), &TInternalViewer::DownloadComplete);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/index.html").arg(port));
    Viewer->Navigate(url);
    EXPECT_TRUE(Viewer->Busy());
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Viewer->toPlainText().contains("Over http"));
    EXPECT_FALSE(Viewer->toPlainText().contains("ran"));
    EXPECT_EQ(ShownPicture(*Viewer, QUrl("pics/dot.png")).pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_GE(begun.count(), 1);
    EXPECT_EQ(begun.count(), complete.count());

    // A local page may show a web server's picture too.
    const QString local = root.filePath("local.html");
    const QUrl picture(QStringLiteral("http://127.0.0.1:%1/pics/dot.png").arg(port));
    ASSERT_TRUE(WriteAll(local, "<p>Local</p><img src=\"" + picture.toEncoded() + "\">"));
    TInternalViewer fresh;
    fresh.show();
    fresh.Navigate(QUrl::fromLocalFile(local));
    EXPECT_TRUE(WaitUntil([&] { return !ShownPicture(fresh, picture).isNull() && !fresh.Busy(); }, 30s));
    EXPECT_EQ(ShownPicture(fresh, picture).pixelColor(0, 0), QColor(Qt::blue));

    // A page that is not there is reported on the page.
    Viewer->Navigate(QUrl(QStringLiteral("http://127.0.0.1:%1/missing.html").arg(port)));
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Viewer->toPlainText().contains("The page cannot be shown"));
}

class InternalViewerServerTest : public InternalViewerTest, public ::testing::WithParamInterface<TServerKind>
{};

TEST_P(InternalViewerServerTest, RemotePagesAndPicturesAreFetchedIntoThePrivateFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    const auto server = StartTestServer(GetParam());
    server->PutFile("docs/$(reboot).html", Page);
    server->PutFile("docs/pic.png", PngBytes(Qt::green));

    QUrl url;
    url.setScheme("ftp");
    url.setHost(QString::fromStdString(server->Host()));
    url.setPort(server->Port());
    url.setUserName(QString::fromStdString(server->User()));
    url.setPassword(QString::fromStdString(server->Password()));
    url.setPath("/docs/$(reboot).html");
    Viewer->Navigate(url);
    EXPECT_TRUE(Viewer->Busy());
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Viewer->toPlainText().contains("Sample page")) << Viewer->toPlainText().toStdString();
    const QString page = Viewer->FetchedCopy();
    EXPECT_EQ(QFileInfo(page).absolutePath(), TempFolder());
    EXPECT_EQ(QFileInfo(TempFolder()).permissions() & 0x0777,
              QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);

    url.setPath("/docs/pic.png");
    Viewer->Navigate(url);
    ASSERT_TRUE(WaitLoaded());
    const QString picture = Viewer->FetchedCopy();
    EXPECT_EQ(ShownPicture(*Viewer, QUrl::fromLocalFile(picture)).pixelColor(0, 0), QColor(Qt::green))
        << Viewer->toHtml().toStdString() << picture.toStdString();

    // A file the server does not have is reported; the viewer is not left busy.
    url.setPath("/docs/none.html");
    Viewer->Navigate(url);
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Viewer->toPlainText().contains("The page cannot be shown"));

    Viewer.reset();
    DeleteTempFiles();
    EXPECT_FALSE(QFileInfo::exists(page));
    EXPECT_FALSE(QFileInfo::exists(picture));
}

INSTANTIATE_TEST_SUITE_P(Servers, InternalViewerServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

// A user behind an FTP firewall views server pages through it, as the lists do.
TEST_F(InternalViewerTest, FtpPagesComeThroughTheFirewallOfTheOptions)
{
    TScriptedServer firewall(TServerScript()
                                 .Reply("220 Firewall ready")
                                 .Answer("USER gate", "331 Firewall password")
                                 .Answer("PASS gate-secret", "230 Firewall open")
                                 .Answer("SITE ftp.example.com", "200 Connected")
                                 .Answer("USER anonymous", "331 Password required")
                                 .Answer("PASS guest@example.org", "230 Logged in")
                                 .Answer("SYST", "215 UNIX Type: L8")
                                 .Answer("TYPE I", "200 Binary")
                                 .Answer("REST 100", "350 Restarting at 100")
                                 .Answer("REST 0", "350 Restarting at 0")
                                 .Passive()
                                 .Answer("RETR /gate.html", "150 Here it comes")
                                 .DataSend("<html><body><h1>Behind the gate</h1></body></html>")
                                 .DataClose()
                                 .Reply("226 Done")
                                 .Hang());
    const TDefaultPassiveGuard passive;
    TTransferSettings settings;
    settings.FirewallEnabled = true;
    settings.FirewallType = 0; // "Site"
    settings.FirewallHost = firewall.Host();
    settings.FirewallPort = std::to_string(firewall.Port());
    settings.FirewallUser = "gate";
    settings.FirewallPassword = "gate-secret";
    Viewer->SetTransferSettings(settings);
    Viewer->SetAnonymousPassword("guest@example.org");

    Viewer->Navigate(QUrl("ftp://ftp.example.com/gate.html"));
    ASSERT_TRUE(WaitLoaded());
    EXPECT_TRUE(Viewer->toPlainText().contains("Behind the gate")) << Viewer->toPlainText().toStdString();
    EXPECT_TRUE(firewall.Failures().empty()) << firewall.Failures().front();
}

TEST_F(InternalViewerTest, CopyCutShortByTheProgramEndingIsDeletedToo)
{
    TScriptedServer server(TServerScript()
                               .Reply("220 Scripted server ready")
                               .Answer("USER anonymous", "331 Password required")
                               .Answer("PASS", "230 Logged in")
                               .Answer("SYST", "215 UNIX Type: L8")
                               .Answer("TYPE I", "200 Binary")
                               .Answer("REST 100", "350 Restarting at 100")
                               .Answer("REST 0", "350 Restarting at 0")
                               .Passive()
                               .Answer("RETR /big.html", "150 Here it comes")
                               .DataSend("<html><body>the first part")
                               .Hang());
    const TDefaultPassiveGuard passive;
    Viewer->SetAnonymousPassword("guest@example.org");
    Viewer->Navigate(QUrl(QStringLiteral("ftp://127.0.0.1:%1/big.html").arg(server.Port())));
    QString copy;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const QStringList copies =
                QDir(TempFolder()).entryList({"view-*-big.html"}, QDir::Files, QDir::Time);
            copy = copies.isEmpty() ? QString() : TempFolder() + '/' + copies.first();
            return !copy.isEmpty() && QFileInfo(copy).size() > 0;
        },
        30s))
        << ::testing::PrintToString(server.ReceivedCommands()) << ::testing::PrintToString(server.Failures());
    EXPECT_TRUE(Viewer->Busy());

    Viewer.reset(); // the main window closes during the fetch
    DeleteTempFiles();
    EXPECT_FALSE(QFileInfo::exists(copy));
}

} // namespace
