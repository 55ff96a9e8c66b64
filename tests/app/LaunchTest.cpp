#include "app/FetchedFiles.h"
#include "app/InternalViewer.h"
#include "app/Launcher.h"
#include "app/Main.h"
#include "app/RemotePopup.h"
#include "app/MaskForm.h"
#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"
#include "platform/Registry.h"
#include "platform/Version.h"
#include "tests/support/DefaultPassiveGuard.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <gmock/gmock.h>

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// Takes the URLs QDesktopServices would hand to the desktop.
class TUrlRecorder : public QObject
{
    Q_OBJECT
public:
    explicit TUrlRecorder(const QString &scheme)
        : FScheme(scheme)
    {
        QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~TUrlRecorder() override { QDesktopServices::unsetUrlHandler(FScheme); }
    QList<QUrl> Urls;

public slots:
    void Open(const QUrl &url) { Urls.append(url); }

private:
    QString FScheme;
};

namespace {

// One start of the stand-in program: its working folder and its arguments.
struct TStart
{
    QString Folder;
    QStringList Arguments;
};

// A small program of the test's that writes down each start.
class TStandIn
{
public:
    TStandIn()
    {
        FProgram = FFolder.filePath("stand in");
        WriteAll(FProgram, "#!/bin/sh\n"
                           "record=\"$0.$$\"\n"
                           "{ pwd; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > \"$record.part\"\n"
                           "mv \"$record.part\" \"$record\"\n");
        QFile::setPermissions(FProgram, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString &Program() const { return FProgram; }
    QString Missing() const { return FFolder.filePath("not there"); }

    std::vector<TStart> Starts() const
    {
        std::vector<TStart> starts;
        for (const QString &name :
             QDir(FFolder.path()).entryList({"stand in.*"}, QDir::Files, QDir::Time | QDir::Reversed)) {
            if (name.endsWith(".part"))
                continue;
            const QByteArray bytes = ReadAll(FFolder.filePath(name));
            const qsizetype line = bytes.indexOf('\n');
            TStart start{QString::fromUtf8(bytes.left(line)), {}};
            for (const QByteArray &argument : bytes.mid(line + 1).split('\0'))
                start.Arguments.append(QString::fromUtf8(argument));
            start.Arguments.removeLast(); // after the last NUL
            starts.push_back(start);
        }
        return starts;
    }
    bool WaitForStarts(std::size_t count) const
    {
        return WaitUntil([&] { return Starts().size() >= count; }, 30s);
    }
    void Forget() const
    {
        for (const QString &name : QDir(FFolder.path()).entryList({"stand in.*"}, QDir::Files))
            QFile::remove(FFolder.filePath(name));
    }

private:
    QTemporaryDir FFolder;
    QString FProgram;
};

// Answers the next error box, keeping its text and caption.
void AnswerErrorBox(QString &text, QString &caption, QMessageBox::Icon &icon)
{
    AnswerNextModalWindow([&](QWidget &window) {
        auto *box = qobject_cast<QMessageBox *>(&window);
        if (box) {
            text = box->text();
            caption = box->windowTitle();
            icon = box->icon();
        }
        window.close();
    });
}

TEST(Launcher, AMissingProgramShowsTheErrorAndTheNextStartIsStillMade)
{
    const TStandIn standIn;
    const TLauncher launcher(nullptr);
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerErrorBox(text, caption, icon);
    const int started = launcher.StartAll(
        {{standIn.Missing(), {"a.txt"}, QDir::tempPath()}, {standIn.Program(), {"b.txt"}, QDir::tempPath()}});
    EXPECT_EQ(started, 1);
    EXPECT_EQ(text, "An error occurred when the program was started.");
    EXPECT_EQ(caption, "Ferrow");
    EXPECT_EQ(icon, QMessageBox::Critical);
    ASSERT_TRUE(standIn.WaitForStarts(1));
    EXPECT_THAT(standIn.Starts()[0].Arguments, ElementsAre("b.txt"));
}

// Copies fetched with the engine from a real server, as a remote view hands them over.
class FetchedFilesTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    QStringList Fetch(const TTestFtpServer &server, const QStringList &names)
    {
        TFTPComponent engine;
        engine.SetHost(server.Host());
        engine.SetPort(server.Port());
        engine.SetUserName(server.User());
        engine.SetPassword(server.Password());
        engine.SetPassive(true);
        bool idle = false;
        const TScopedConnection done = engine.OnIdle.Connect([&](TFTPComponent *) { idle = true; });
        engine.Login();
        EXPECT_TRUE(WaitUntil([&] { return idle; }));
        QStringList copies;
        for (const QString &name : names) {
            // The temporary folder is shared with every other test process of this user.
            copies.append(TempFolder() + "/fetched-" + QString::fromStdString(KindName(GetParam())) + "-" + name);
            idle = false;
            engine.Download(("/" + name).toStdString(), copies.last(), 2);
            EXPECT_TRUE(
                WaitUntil([&] { return idle && !engine.Busy() && QFileInfo(copies.last()).size() > 0; }));
        }
        return copies;
    }
};

TEST_P(FetchedFilesTest, EachModeStartsItsProgramWithHostileNamesAsSingleArgumentsAndTheCopiesGoAtExit)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    const auto server = StartTestServer(GetParam());
    const QStringList names{"a.txt; rm -rf ~", "$(reboot).html"};
    for (const QString &name : names)
        server->PutFile(name, "content of " + name.toUtf8());
    const QStringList copies = Fetch(*server, names);

    const TStandIn viewer;
    const TStandIn editor;
    const TLauncher launcher(nullptr);
    TFetchedFiles fetched(
        launcher, [&] { return viewer.Program(); }, [&] { return editor.Program(); });

    fetched.Handle(nullptr, copies, fmView);
    ASSERT_TRUE(viewer.WaitForStarts(2));
    QStringList viewed;
    for (const TStart &start : viewer.Starts()) {
        ASSERT_EQ(start.Arguments.size(), 1);
        EXPECT_EQ(start.Folder, TempFolder());
        viewed.append(start.Arguments[0]);
    }
    EXPECT_THAT(viewed, ::testing::UnorderedElementsAre(copies[0], copies[1]));
    EXPECT_EQ(ReadAll(copies[1]), "content of $(reboot).html");

    fetched.Handle(nullptr, copies, fmEdit);
    ASSERT_TRUE(editor.WaitForStarts(1));
    EXPECT_EQ(editor.Starts()[0].Arguments, copies);
    EXPECT_EQ(editor.Starts()[0].Folder, TempFolder());

    const TUrlRecorder opened("file");
    fetched.Handle(nullptr, copies, fmOpen);
    EXPECT_THAT(opened.Urls, ElementsAre(QUrl::fromLocalFile(copies[0])));

    DeleteTempFiles(); // what the program does as it ends
    for (const QString &copy : copies)
        EXPECT_FALSE(QFileInfo::exists(copy)) << copy.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, FetchedFilesTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

// ---- The main window ----

class MainWindowLaunchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(FFolder.path()).mkdir("local");
        // The site manager would open at start and wait for an answer.
        TOptions options;
        options.SetBool(oiShowManager, false);
        ASSERT_TRUE(options.Save());
        QFile::copy(FERROW_SOURCE_DIR "/packaging/share/welcome.html", FFolder.filePath("welcome.html"));
        QDir(FFolder.path()).mkpath("help");
        QFile::copy(FERROW_SOURCE_DIR "/packaging/share/help/index.html",
                    FFolder.filePath("help/index.html"));
    }
    QString LocalFile(const QString &name, const QByteArray &content = "x")
    {
        const QString path = FFolder.filePath("local/" + name);
        WriteAll(path, content);
        return path;
    }
    std::unique_ptr<TfrmMain> MakeWindow(const QString &htmlEditor = QString())
    {
        const QString registry = FFolder.filePath("ScrivelFerrow.ini");
        if (!htmlEditor.isEmpty()) {
            TRegistry store(registry);
            store.OpenKey('\\' + TRegistry::HtmlEditorKey, true);
            store.WriteString(QString(), '"' + htmlEditor + "\" \"%1\"");
        }
        auto window = std::make_unique<TfrmMain>(QStringList{}, FTransfers.Queue(),
                                                 std::make_unique<TWindowStateStore>(registry));
        window->Options().SetText(oiViewer, Viewer.Program());
        window->show();
        window->ActiveLocalView()->ChangeFolder(FFolder.filePath("local"));
        return window;
    }
    static QModelIndex Select(TCustomView &view, const QString &name)
    {
        QModelIndex found;
        EXPECT_TRUE(WaitUntil([&] {
            for (int row = 0; row < view.ItemCount(); ++row) {
                if (view.GetItemName(view.ListView()->Item(row)) == name)
                    found = view.ListView()->Item(row);
            }
            return found.isValid();
        })) << name.toStdString();
        view.ListView()->ClearSelection();
        view.ListView()->SetCurrentItem(found);
        view.ListView()->SelectRow(found.row());
        view.ListView()->CurrentView()->setFocus();
        return found;
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
    TGlobalTransferItems FTransfers;
    TStandIn Viewer;
};

TEST_F(MainWindowLaunchTest, LocalEditEntriesDoubleClickViewAndOpenStartTheirPrograms)
{
    const TStandIn editor;
    const QString hostile = LocalFile("a.txt; rm -rf ~");
    const QString page = LocalFile("page.html");
    const auto window = MakeWindow(editor.Program());
    TLocalView &local = *window->ActiveLocalView();

    // Edit with NotePad: the viewer program in its own folder; Scrivel: the editor.
    Select(local, "a.txt; rm -rf ~");
    QMenu *edit = window->Action(TCommand::LocalEdit)->menu();
    ASSERT_TRUE(edit);
    emit edit->aboutToShow();
    EXPECT_TRUE(window->Action(TCommand::LocalEditNotePad)->isEnabled());
    EXPECT_FALSE(window->Action(TCommand::LocalEditEditor)->isEnabled()); // ".txt; rm -rf ~" is no web file
    window->Action(TCommand::LocalEditNotePad)->trigger();
    ASSERT_TRUE(Viewer.WaitForStarts(1));
    EXPECT_THAT(Viewer.Starts()[0].Arguments, ElementsAre(hostile));
    EXPECT_EQ(Viewer.Starts()[0].Folder, QFileInfo(Viewer.Program()).absolutePath());
    Viewer.Forget();

    Select(local, "page.html");
    emit edit->aboutToShow();
    EXPECT_TRUE(window->Action(TCommand::LocalEditEditor)->isEnabled());
    window->Action(TCommand::LocalEditEditor)->trigger();
    ASSERT_TRUE(editor.WaitForStarts(1));
    EXPECT_THAT(editor.Starts()[0].Arguments, ElementsAre(page));

    // Double-click View: the viewer program in the view's folder.
    window->Options().SetChoice(oiLocalDblClk, 1);
    local.PerformDoubleClick(Select(local, "a.txt; rm -rf ~"));
    ASSERT_TRUE(Viewer.WaitForStarts(1));
    EXPECT_THAT(Viewer.Starts()[0].Arguments, ElementsAre(hostile));
    EXPECT_EQ(QDir(Viewer.Starts()[0].Folder), QDir(FFolder.filePath("local")));

    // Double-click Open: the desktop's way.
    const TUrlRecorder opened("file");
    window->Options().SetChoice(oiLocalDblClk, 3);
    local.PerformDoubleClick(Select(local, "page.html"));
    EXPECT_THAT(opened.Urls, ElementsAre(QUrl::fromLocalFile(page)));

    // A viewer program that is not there: the error box, nothing else.
    window->Options().SetText(oiViewer, Viewer.Missing());
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerErrorBox(text, caption, icon);
    window->Action(TCommand::LocalEditNotePad)->trigger();
    EXPECT_EQ(text, "An error occurred when the program was started.");
}

TEST_F(MainWindowLaunchTest, WithoutAnEditorTheEditorEntriesAreOff)
{
    LocalFile("page.html");
    const auto window = MakeWindow();
    Select(*window->ActiveLocalView(), "page.html");
    emit window->Action(TCommand::LocalEdit)->menu()->aboutToShow();
    EXPECT_TRUE(window->Action(TCommand::LocalEditNotePad)->isEnabled());
    EXPECT_FALSE(window->Action(TCommand::LocalEditEditor)->isEnabled());
    emit window->Action(TCommand::HostEdit)->menu()->aboutToShow();
    EXPECT_FALSE(window->Action(TCommand::HostEditNotePad)->isEnabled());
    EXPECT_FALSE(window->Action(TCommand::HostEditEditor)->isEnabled());
}

TEST_F(MainWindowLaunchTest, HelpContentsAndAbout)
{
    const auto window = MakeWindow();
    const TUrlRecorder opened("file");
    window->Action(TCommand::HelpContents)->trigger();
    EXPECT_THAT(opened.Urls, ElementsAre(QUrl::fromLocalFile(FFolder.filePath("help/index.html"))));

    QString text;
    AnswerNextModalWindow([&](QWidget &box) {
        text = qobject_cast<QMessageBox *>(&box)->text();
        box.close();
    });
    window->Action(TCommand::About)->trigger();
    EXPECT_TRUE(text.contains(QStringLiteral("Ferrow %1").arg(FerrowVersion))) << text.toStdString();
    EXPECT_TRUE(text.contains("rights reserved"));
}

// Picks a preset in the mask window that opens next and presses OK.
void PickMaskPreset(int preset, QString &prompt)
{
    AnswerNextModalWindow([preset, &prompt](QWidget &window) {
        auto &form = dynamic_cast<TfrmMask &>(window);
        prompt = form.findChild<QLabel *>()->text();
        QComboBox *combo = form.MaskCombo();
        combo->setCurrentIndex(preset);
        emit combo->activated(preset);
        // The pick puts the preset's mask in place once the combo is done with it.
        QTimer::singleShot(20, &form, [&form] {
            form.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
    });
}

TEST_F(MainWindowLaunchTest, MasksOnBothSidesAndTheViewerFollowingTheSelection)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Pyftpdlib);
    const auto server = StartTestServer(TServerKind::Pyftpdlib);
    server->PutFile("pic.gif", "GIF89a");
    server->PutFile("page.html", "<html><body><p>Remote page</p></body></html>");
    server->PutFile("notes.TXT", "notes");
    server->MakeFolder("docs");
    LocalFile("index.html", "<html><body><p>Local index</p></body></html>");
    LocalFile("data.bin");
    LocalFile("photo.png");
    const auto window = MakeWindow();
    const TDefaultPassiveGuard passive;
    THostView &host = *window->ActiveHostView();
    TLocalView &local = *window->ActiveLocalView();
    host.Connect(QString::fromStdString(server->Host()), server->Port(),
                 QString::fromStdString(server->User()), QString::fromStdString(server->Password()),
                 QString(), QString(), QString());
    ASSERT_TRUE(WaitUntil([&] { return host.Connected() && !host.Animating() && host.ItemCount() == 4; }));

    // The image preset on the remote side: only pictures and folders, from the cache.
    QString prompt;
    PickMaskPreset(1, prompt);
    window->Action(TCommand::HostMask)->trigger();
    EXPECT_EQ(prompt, "Enter a mask for the host directory:");
    EXPECT_EQ(host.GetMask(), "*.gif;*.jpg;*.bmp;*.png");
    EXPECT_EQ(host.ItemCount(), 2); // docs, pic.gif
    PickMaskPreset(3, prompt);
    window->Action(TCommand::HostMask)->trigger();
    EXPECT_EQ(host.ItemCount(), 4);
    EXPECT_EQ(host.PanelText(0), "*.*");

    PickMaskPreset(1, prompt);
    window->Action(TCommand::LocalMask)->trigger();
    EXPECT_EQ(prompt, "Enter a mask for the local directory:");
    EXPECT_EQ(local.GetMask(), "*.gif;*.jpg;*.bmp;*.png");
    EXPECT_TRUE(WaitUntil([&] { return local.ItemCount() == 1; }));
    PickMaskPreset(3, prompt);
    window->Action(TCommand::LocalMask)->trigger();
    EXPECT_TRUE(WaitUntil([&] { return local.ItemCount() == 3; }));

    // Shown, the viewer opens the welcome page; then follows the selection.
    window->Action(TCommand::ShowViewer)->trigger();
    EXPECT_TRUE(window->ViewerShown());
    EXPECT_TRUE(window->Action(TCommand::ShowViewer)->isChecked());
    TInternalViewer &viewer = *window->Viewer();
    EXPECT_TRUE(viewer.toPlainText().contains("Welcome to Ferrow"));
    Select(local, "index.html");
    EXPECT_TRUE(viewer.toPlainText().contains("Local index"));
    Select(local, "data.bin");
    EXPECT_TRUE(viewer.toPlainText().contains("Local index"));

    Select(host, "page.html");
    EXPECT_TRUE(WaitUntil([&] { return viewer.toPlainText().contains("Remote page"); }))
        << viewer.toPlainText().toStdString();
    EXPECT_TRUE(WaitUntil([&] { return !viewer.Busy() && !window->ActivityShown(); }));

    window->Action(TCommand::ShowViewer)->trigger();
    EXPECT_FALSE(window->ViewerShown());
    window->close();
}

} // namespace

#include "LaunchTest.moc"

// The whole path of a remote file the user views or opens: the pop-up's entry, the view's
// fetch into the private folder, the program started with the copy as one argument.
TEST_F(MainWindowLaunchTest, RemoteViewAndOpenFetchACopyAndHandItToTheirPrograms)
{
    FERROW_SKIP_UNLESS_AVAILABLE(TServerKind::Vsftpd);
    const auto server = StartTestServer(TServerKind::Vsftpd);
    const QString hostile = "$(reboot) a.txt";
    server->PutFile(hostile, "remote notes\n");
    const auto window = MakeWindow();
    THostView &host = *window->ActiveHostView();
    host.Connect(QString::fromStdString(server->Host()), server->Port(),
                 QString::fromStdString(server->User()), QString::fromStdString(server->Password()),
                 QString(), QString(), QString());
    ASSERT_TRUE(WaitUntil([&] { return host.Connected() && !host.Animating() && host.ItemCount() == 1; }));
    const auto popup = [&] {
        Select(host, hostile);
        emit host.ListView()->ContextMenuRequested(window->mapToGlobal(QPoint(10, 10)));
        auto *menu = window->findChild<TRemotePopup *>();
        EXPECT_NE(menu, nullptr);
        menu->close();
        return menu;
    };

    popup()->mnuView->trigger();
    ASSERT_TRUE(Viewer.WaitForStarts(1));
    const TStart start = Viewer.Starts()[0];
    ASSERT_EQ(start.Arguments.size(), 1);
    const QString copy = start.Arguments[0];
    EXPECT_EQ(QFileInfo(copy).absolutePath(), TempFolder());
    EXPECT_EQ(QFileInfo(copy).fileName(), hostile);
    EXPECT_EQ(ReadAll(copy), "remote notes\n");

    const TUrlRecorder opened("file");
    popup()->mnuOpen->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !opened.Urls.isEmpty(); }));
    EXPECT_EQ(opened.Urls[0], QUrl::fromLocalFile(copy));

    window->close();
    DeleteTempFiles(); // what the program does as it ends
    EXPECT_FALSE(QFileInfo::exists(copy));
}
