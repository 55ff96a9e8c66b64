#include "app/Main.h"
#include "app/SoundPlayer.h"
#include "engine/FTPUtils.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"
#include "views/DesktopDrag.h"
#include "views/DesktopDrop.h"
#include "views/FileList.h"
#include "views/HostListModel.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QAction>
#include <QAudioDevice>
#include <QDir>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QMimeData>
#include <QScopeGuard>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;

namespace {

class DragDropTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        for (const char *folder : {"local", "desktop", "fm"})
            QDir(FFolder.path()).mkdir(folder);
    }

    std::unique_ptr<TfrmMain> MakeWindow(const TTestFtpServer &server, const QString &password = QString())
    {
        return TMainWindowFixture::MakeWindow(ConnectArguments(server, password)
                                              + QStringList{"-l", Path("local")});
    }

    // Waits for `items` queued items to end, and says how each ended.
    ::testing::AssertionResult WaitForQueue(int items)
    {
        TTransferItems &queue = FTransfers.Queue();
        const bool ended = WaitUntil([&] { return queue.Count() == items && queue.IsIdle(); }, 60s);
        if (ended && queue.CountOf(tsDone) == items)
            return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure();
        for (int index = 0; index < queue.Count(); ++index) {
            const TTransferItem &item = *queue.Items(index);
            failure << item.Name << " into " << item.DestFolder << ": status " << int(item.Status()) << "; ";
        }
        return failure;
    }

};

class DragDropServerTest : public DragDropTest, public ::testing::WithParamInterface<TServerKind>
{};

// Delivers a drag of `urls` from another program to the list, as the window system
// does: entering, then dropping. Returns whether the list took the drop.
bool DropUrls(THostView &view, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QWidget *viewport = view.ListView()->CurrentView()->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(enter.isAccepted(), drop.isAccepted()) << "the drag shows what the drop does";
    return drop.isAccepted();
}

void SelectNames(THostView &view, const QStringList &names)
{
    std::vector<int> rows;
    for (int row = 0; row < view.ItemCount(); ++row) {
        if (names.contains(view.GetItemName(view.ListView()->Item(row))))
            rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), std::size_t(names.size()));
    view.ListView()->ClearSelection();
    view.ListView()->SelectRows(rows);
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

TEST_P(DragDropServerTest, FilesDroppedByAnotherProgramAreUploadedWithTheirTrees)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("already.txt", "here");
    const QByteArray binary = Pattern(300 * 1024, 1);
    ASSERT_TRUE(WriteAll(Path("desktop/drop.bin"), binary));
    QDir(Path("desktop")).mkpath("tree/sub");
    ASSERT_TRUE(WriteAll(Path("desktop/tree/top.dat"), Pattern(77, 5)));
    ASSERT_TRUE(WriteAll(Path("desktop/tree/sub/inner.bin"), Pattern(5000, 2)));
    ASSERT_TRUE(WriteAll(Path("desktop/.hidden"), "hidden"));
    const QList<QUrl> files{QUrl::fromLocalFile(Path("desktop/drop.bin")),
                            QUrl::fromLocalFile(Path("desktop/tree")),
                            QUrl::fromLocalFile(Path("desktop/.hidden"))};

    auto window = MakeWindow(*server);
    THostView *view = window->ActiveHostView();
    EXPECT_FALSE(DropUrls(*view, files)) << "not connected yet";
    window->show();
    ASSERT_TRUE(WaitForListing(view)) << server->KindName();

    // One URL that is no local file refuses the whole drop.
    EXPECT_FALSE(DropUrls(*view, {QUrl("http://example.com/page.html")}));
    EXPECT_FALSE(DropUrls(*view, {files[0], QUrl("ftp://example.com/a.txt")}));
    QCoreApplication::processEvents();
    EXPECT_EQ(FTransfers.Queue().Count(), 0);

    ASSERT_TRUE(DropUrls(*view, files));
    // drop.bin, .hidden; the folder tree, its file, the folder sub and its file.
    ASSERT_TRUE(WaitForQueue(6));
    EXPECT_EQ(ReadAll(server->LocalPath("drop.bin")), binary);
    EXPECT_EQ(ReadAll(server->LocalPath("tree/top.dat")), Pattern(77, 5));
    EXPECT_EQ(ReadAll(server->LocalPath("tree/sub/inner.bin")), Pattern(5000, 2));
    EXPECT_EQ(ReadAll(server->LocalPath(".hidden")), "hidden") << "dot files go up like the others";
    EXPECT_EQ(Entries(Path("desktop")), (QStringList{".hidden", "drop.bin", "tree"}))
        << "an upload leaves the files";
    window->close();
}

TEST_P(DragDropServerTest, EntriesDraggedToAFileManagerArriveInItsFolderOnly)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    const QByteArray binary = Pattern(200 * 1024, 3);
    server->PutFile("get.bin", binary);
    server->PutFile("dir/inner.txt", "inner\n");
    server->PutFile("dir/deeper/last.bin", Pattern(100, 4));
    server->PutFile("left.txt", "not dragged");

    auto window = MakeWindow(*server);
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(WaitForListing(view)) << server->KindName();
    SelectNames(*view, {"get.bin", "dir"});

    const std::unique_ptr<QMimeData> data(view->Model()->mimeData(view->SelectedItems()));
    auto *drag = qobject_cast<TRemoteDragData *>(data.get());
    ASSERT_NE(drag, nullptr);
    EXPECT_TRUE(drag->hasFormat(THostListModel::MimeType)) << "a drop on our own local list";
    EXPECT_TRUE(drag->hasFormat(TRemoteDragData::DirectSaveType)) << "a drop on a file manager";
    EXPECT_FALSE(drag->OfferedName().isEmpty());

    // What a file manager might write back that names no folder of this computer.
    const QString destination = Path("fm");
    for (const QByteArray &uri :
         {QByteArray("http://example.com/get.bin"),
          QByteArray("file://elsewhere.example") + destination.toUtf8(),
          QUrl::fromLocalFile(Path("fm/missing/get.bin")).toEncoded(), QByteArray("not a uri at all")})
        EXPECT_EQ(drag->DirectSave(uri), "E") << uri.constData();
    QCoreApplication::processEvents();
    EXPECT_EQ(FTransfers.Queue().Count(), 0);

    EXPECT_EQ(drag->DirectSave(QUrl::fromLocalFile(destination + '/' + drag->OfferedName()).toEncoded()),
              "S");
    // get.bin; dir, its file, the folder deeper and its file.
    ASSERT_TRUE(WaitForQueue(5));
    EXPECT_EQ(ReadAll(destination + "/get.bin"), binary);
    EXPECT_EQ(ReadAll(destination + "/dir/inner.txt"), "inner\n");
    EXPECT_EQ(ReadAll(destination + "/dir/deeper/last.bin"), Pattern(100, 4));
    EXPECT_EQ(Entries(destination), (QStringList{"dir", "get.bin"}));
    EXPECT_EQ(Entries(Path("local")), QStringList()) << "the local view's folder is not the drop's";
    for (const char *name : {"get.bin", "dir", "fm/fm", "fm/dir/dir"})
        EXPECT_FALSE(QFileInfo::exists(Path(name))) << name;
    window->close();
}

// The refusals a window test does not reach, and what a drop is made of.
TEST_F(DragDropTest, DropsNameLocalFilesOnly)
{
    ASSERT_TRUE(WriteAll(Path("desktop/a.bin"), "a"));
    ASSERT_TRUE(WriteAll(Path("local/b.bin"), "b"));
    const QUrl a = QUrl::fromLocalFile(Path("desktop/a.bin"));
    const QUrl b = QUrl::fromLocalFile(Path("local/b.bin"));
    const QUrl gone = QUrl::fromLocalFile(Path("desktop/gone.bin"));

    EXPECT_EQ(UploadDropFor({a}, true, true).Refusal, TDropRefusal::Busy);
    EXPECT_EQ(UploadDropFor({a}, false, false).Refusal, TDropRefusal::NotConnected);
    QUrl elsewhere = a;
    elsewhere.setHost("elsewhere.example");
    EXPECT_EQ(UploadDropFor({a, elsewhere}, true, false).Refusal, TDropRefusal::NotLocalFiles);
    EXPECT_EQ(UploadDropFor({gone}, true, false).Refusal, TDropRefusal::NoFiles);
    EXPECT_EQ(UploadDropFor({QUrl::fromLocalFile("/")}, true, false).Refusal, TDropRefusal::NoFiles);

    const TUploadDrop drop = UploadDropFor({a, b, gone, a}, true, false);
    ASSERT_TRUE(drop.Accepted());
    ASSERT_EQ(drop.Folders.size(), 2u) << "one group per folder, each file once";
    EXPECT_EQ(drop.Folders[0].Folder, Path("desktop"));
    EXPECT_EQ(drop.Folders[0].Names, QStringList{"a.bin"});
    EXPECT_EQ(drop.Folders[1].Names, QStringList{"b.bin"});
    EXPECT_EQ(drop.Missing, QStringList{Path("desktop/gone.bin")});

    // A file manager's URI, with the line end some of them add; a folder's own URI.
    const QByteArray uri = QUrl::fromLocalFile(Path("fm/x.bin")).toEncoded();
    EXPECT_EQ(DirectSaveFolder(uri + "\r\n").Folder, Path("fm"));
    EXPECT_EQ(DirectSaveFolder(QUrl::fromLocalFile(Path("fm") + '/').toEncoded()).Folder, Path("fm"));
    EXPECT_EQ(DirectSaveFolder("file://localhost" + Path("fm/x.bin").toUtf8()).Folder, Path("fm"));
    EXPECT_EQ(DirectSaveName({"../../etc/passwd"}), "download");
    EXPECT_EQ(DirectSaveName({".."}), "download");
}

INSTANTIATE_TEST_SUITE_P(Servers, DragDropServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST_F(DragDropTest, EventSoundsFollowRealStatusReports)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    server.PutFile("one.txt", "1");
    server.PutFile("two.txt", "2");
    {
        TOptions options;
        options.SetBool(oiShowManager, false);
        options.SetBool(oiSoundsEnabled, true);
        options.SetText(oiConnectSuccessSound, "success.wav");
        options.SetText(oiConnectFailureSound, "failure.wav");
        options.SetText(oiDisconnectSound, "bye.wav");
        options.SetText(oiEndOfFileSound, "file.wav");
        options.SetText(oiEndOfTotalSound, "total.wav");
        options.SetText(oiErrorSound, "error.wav");
        ASSERT_TRUE(options.Save());
    }
    QStringList played;
    SetSoundPlayer([&played](const QString &fileName) { played << fileName; });
    const auto restorePlayer = qScopeGuard([] { SetSoundPlayer(nullptr); });
    const auto heard = [&played](const QString &sound) {
        return WaitUntil([&] { return played.contains(sound); });
    };

    auto window = MakeWindow(server, "wrong");
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(heard("failure.wav"));
    EXPECT_FALSE(played.contains("success.wav"));

    played.clear();
    const QString host = QString::fromStdString(server.Host());
    view->Connect(host, server.Port(), QString::fromStdString(server.User()),
                  QString::fromStdString(server.Password()), {}, "/", {});
    ASSERT_TRUE(WaitForListing(view));
    EXPECT_EQ(played, QStringList{"success.wav"});

    // A file that cannot be written is an error the view's engine reports.
    played.clear();
    view->FTP().Download("/one.txt", Path("no such folder/one.txt"), 2);
    ASSERT_TRUE(heard("error.wav"));

    played.clear();
    SelectNames(*view, {"one.txt", "two.txt"});
    window->Action(TCommand::Download)->trigger();
    ASSERT_TRUE(heard("total.wav"));
    EXPECT_EQ(played.count("file.wav"), 1) << "one file before the last: " << played.join(' ').toStdString();
    EXPECT_EQ(played.last(), "total.wav");

    played.clear();
    window->DisconnectClick();
    ASSERT_TRUE(heard("bye.wav"));

    // An empty name plays nothing, and nothing plays with sounds off.
    window->Options().SetText(oiConnectSuccessSound, QString());
    played.clear();
    view->Connect(host, server.Port(), QString::fromStdString(server.User()),
                  QString::fromStdString(server.Password()), {}, "/", {});
    ASSERT_TRUE(WaitForListing(view));
    window->Options().SetBool(oiSoundsEnabled, false);
    window->DisconnectClick();
    ASSERT_TRUE(WaitUntil([&] { return !view->Connected(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(played, QStringList()) << played.join(' ').toStdString();
    window->close();
}

TEST_F(DragDropTest, TheSoundPlayerSkipsFilesItCannotPlay)
{
    QObject owner;
    InstallSoundPlayer(&owner);
    const auto restorePlayer = qScopeGuard([] { SetSoundPlayer(nullptr); });
    ASSERT_TRUE(WriteAll(Path("noise.wav"), "RIFF but nothing a sound is made of"));
    ASSERT_TRUE(WriteAll(Path("empty.wav"), QByteArray()));

    for (const char *name : {"missing.wav", "local", "noise.wav", "empty.wav"})
        PlaySoundFile(Path(name));
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner.findChildren<QSoundEffect *>().isEmpty()) << "nothing to load";

    // A short sound of silence: 8-bit mono at 8000 Hz.
    QByteArray wave(
        "RIFF\x2c\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\x08\0\0\0", 44);
    wave.append(8, char(0x80));
    ASSERT_TRUE(WriteAll(Path("silence.wav"), wave));
    PlaySoundFile(Path("silence.wav"));
    EXPECT_TRUE(SoundModuleLoaded()) << "the player's module is found beside the program";
    // Without a sound device an effect would stay "playing" for good and never be freed.
    if (QMediaDevices::audioOutputs().isEmpty()) {
        EXPECT_TRUE(owner.findChildren<QSoundEffect *>().isEmpty()) << "no device to play on";
        return;
    }
    EXPECT_EQ(owner.findChildren<QSoundEffect *>().size(), 1) << "a sound is played";
    // One still loading when the program ends would leave the sample cache's loader behind.
    EXPECT_TRUE(WaitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return owner.findChildren<QSoundEffect *>().isEmpty();
    })) << "the effect frees itself once played";
}

namespace {

// A file manager on the X display, as far as a drop of a direct-save drag goes: it
// accepts the drag, writes the URI of the file it wants into the source's property,
// asks for the direct-save type and keeps the answer.
class TX11FileManager
{
public:
    TX11FileManager(const QRect &geometry, const QString &folder)
        : FFolder(folder)
    {
        int screenNumber = 0;
        FConnection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(FConnection))
            return;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
        for (int n = 0; n < screenNumber; ++n)
            xcb_screen_next(&screens);
        FWindow = xcb_generate_id(FConnection);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(
            FConnection, XCB_COPY_FROM_PARENT, FWindow, screens.data->root, std::int16_t(geometry.x()),
            std::int16_t(geometry.y()), std::uint16_t(geometry.width()), std::uint16_t(geometry.height()), 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual, XCB_CW_EVENT_MASK, &events);
        const std::uint32_t version = 5;
        xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, FWindow, Atom("XdndAware"), XCB_ATOM_ATOM, 32,
                            1, &version);
        xcb_map_window(FConnection, FWindow);
        xcb_flush(FConnection);
    }
    ~TX11FileManager()
    {
        if (FConnection)
            xcb_disconnect(FConnection);
    }

    bool Ready() const { return FConnection && !xcb_connection_has_error(FConnection) && FWindow; }
    bool Accepted() const { return FAccepted; }
    const QByteArray &Answer() const { return FAnswer; }
    const QByteArray &OfferedName() const { return FOfferedName; }

    void Poll()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(FConnection)) {
            const int type = event->response_type & 0x7f;
            if (type == XCB_CLIENT_MESSAGE)
                ClientMessage(*reinterpret_cast<xcb_client_message_event_t *>(event));
            else if (type == XCB_SELECTION_NOTIFY)
                Answered();
            std::free(event);
        }
    }

private:
    xcb_atom_t Atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            FConnection, xcb_intern_atom(FConnection, 0, std::uint16_t(qstrlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    QByteArray Property(xcb_window_t window, const char *name)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            FConnection,
            xcb_get_property(FConnection, 0, window, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return value;
    }

    void Send(xcb_window_t to, const char *type, std::initializer_list<std::uint32_t> data)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = to;
        message.type = Atom(type);
        std::copy(data.begin(), data.end(), message.data.data32);
        xcb_send_event(FConnection, 0, to, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
        xcb_flush(FConnection);
    }

    void ClientMessage(const xcb_client_message_event_t &message)
    {
        const xcb_window_t source = message.data.data32[0];
        if (message.type == Atom("XdndEnter")) {
            const std::uint32_t *types = message.data.data32 + 2;
            FOffered = std::find(types, types + 3, Atom("XdndDirectSave0")) != types + 3;
        } else if (message.type == Atom("XdndPosition")) {
            FAccepted = FOffered;
            Send(source, "XdndStatus", {FWindow, FAccepted ? 1u : 0u, 0, 0, Atom("XdndActionCopy")});
        } else if (message.type == Atom("XdndDrop")) {
            FOfferedName = Property(source, "XdndDirectSave0");
            const QByteArray uri =
                QUrl::fromLocalFile(FFolder + '/' + QString::fromUtf8(FOfferedName)).toEncoded();
            xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, source, Atom("XdndDirectSave0"),
                                Atom("text/plain"), 8, std::uint32_t(uri.size()), uri.constData());
            xcb_convert_selection(FConnection, FWindow, Atom("XdndSelection"), Atom("XdndDirectSave0"),
                                  Atom("XdndDirectSave0"), message.data.data32[2]);
            xcb_flush(FConnection);
            FSource = source;
        }
    }

    void Answered()
    {
        FAnswer = Property(FWindow, "XdndDirectSave0");
        if (FSource)
            Send(FSource, "XdndFinished", {FWindow, 1, Atom("XdndActionCopy")});
    }

    const QString FFolder;
    xcb_connection_t *FConnection = nullptr;
    xcb_window_t FWindow = 0;
    xcb_window_t FSource = 0;
    bool FOffered = false;
    bool FAccepted = false;
    QByteArray FOfferedName;
    QByteArray FAnswer;
};

constexpr const char *XChildVariable = "FERROW_DRAG_TEST_DISPLAY";

} // namespace

// The whole exchange with a file manager on a real X display, with real pointer events:
// run again in a child of this test under Xvfb.
TEST_F(DragDropTest, AFileManagerOnTheDisplayReceivesADraggedFile)
{
    if (!qEnvironmentVariableIsSet(XChildVariable)) {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            GTEST_SKIP() << "no Xvfb";
        int number = 2340;
        while (number < 2360
               && (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))
                   || QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))))
            ++number;
        const std::string display = ":" + std::to_string(number);
        TChildProcess server(
            {xvfb.toStdString(), display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
            Path("xvfb.log").toStdString());
        const QString socket = "/tmp/.X11-unix/X" + QString::fromStdString(display.substr(1));
        ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(socket) || !server.IsRunning(); }, 20s));
        ASSERT_TRUE(server.IsRunning()) << ReadAll(Path("xvfb.log")).toStdString();
        const std::string self = QCoreApplication::applicationFilePath().toStdString();
        TChildProcess child({"/usr/bin/env", "QT_QPA_PLATFORM=xcb", "DISPLAY=" + display,
                             std::string(XChildVariable) + "=1", self,
                             "--gtest_filter=DragDropTest.AFileManagerOnTheDisplayReceivesADraggedFile"},
                            Path("child.log").toStdString());
        ASSERT_TRUE(WaitUntil([&] { return !child.IsRunning(); }, 180s));
        const QByteArray output = ReadAll(Path("child.log"));
        EXPECT_EQ(child.ExitDescription(), "exited with code 0") << output.toStdString();
        EXPECT_TRUE(output.contains("[       OK ]")) << output.toStdString();
        return;
    }
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    TPyftpdServer server;
    const QByteArray binary = Pattern(150 * 1024, 6);
    server.PutFile("dragged.bin", binary);
    server.PutFile("stays.txt", "not dragged");

    auto window = MakeWindow(server);
    window->setGeometry(0, 0, 900, 600);
    THostView *view = window->ActiveHostView();
    window->show();
    ASSERT_TRUE(WaitForListing(view));
    SelectNames(*view, {"dragged.bin"});

    TX11FileManager manager(QRect(1000, 700, 200, 200), Path("fm"));
    ASSERT_TRUE(manager.Ready());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { manager.Poll(); });
    poll.start(5);

    // The list starts the drag as on a press and a move; the pointer then goes over the
    // file manager and lets go there.
    QWindow *handle = window->windowHandle();
    const QPoint over = handle->mapFromGlobal(QPoint(1100, 800));
    QTimer::singleShot(0, [&] {
        QTest::mouseMove(handle, over);
        QTimer::singleShot(0, [&] {
            // Qt must have taken the file manager's answer before the button goes up:
            // an answer it reads after the drop reaches a drag that is already over.
            WaitUntil(
                [&] {
                    const QCursor *cursor = QGuiApplication::overrideCursor();
                    return manager.Accepted() && cursor && cursor->shape() == Qt::DragCopyCursor;
                },
                20s);
            QTest::mouseRelease(handle, Qt::LeftButton, {}, over);
        });
    });
    auto *drag = new QDrag(view->ListView()->CurrentView());
    drag->setMimeData(view->Model()->mimeData(view->SelectedItems()));
    EXPECT_EQ(drag->exec(Qt::CopyAction), Qt::CopyAction);
    ASSERT_TRUE(manager.Accepted()) << "the file manager saw the direct-save type";

    ASSERT_TRUE(WaitUntil([&] { return !manager.Answer().isEmpty(); }, 20s));
    EXPECT_EQ(manager.Answer(), "S");
    EXPECT_EQ(manager.OfferedName(), "dragged.bin");
    ASSERT_TRUE(WaitForQueue(1));
    EXPECT_EQ(ReadAll(Path("fm/dragged.bin")), binary);
    EXPECT_EQ(Entries(Path("fm")), QStringList{"dragged.bin"});
    window->close();
}
