// A user's whole session with the real main window on a real X display, against the demo
// server: every step is driven by mouse clicks and key presses on the widgets a user
// would use, and its outcome is checked on the disks of both sides. Run it under
// xvfb-run (or on a desktop) with QT_QPA_PLATFORM=xcb.
//
// Exits 0 when every step passed, 1 with one line naming the failed step otherwise.

#include "app/Compare.h"
#include "app/CompareForm.h"
#include "app/Main.h"
#include "app/Options.h"
#include "platform/ProgramFolder.h"
#include "sites/Manager.h"
#include "sites/SiteStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PortBlock.h"
#include "transfers/Confirm.h"
#include "transfers/Transfer.h"
#include "transfers/TransferProgress.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

const QString SiteName = QStringLiteral("Demo server");
const QString TreeFolder = QStringLiteral("Documents");
// Left on the server by the download, so that the comparison has something to find there.
// The dotfile too: the comparison must find it there like any other name.
const std::set<QString> NotDownloaded{QStringLiteral("long text.txt"), QStringLiteral(".hidden")};
const QString UploadName = QStringLiteral("upload me.bin");
const QString RenamedName = QStringLiteral("renamed upload.bin");

struct TStepFailed
{
    QString Message;
};

[[noreturn]] void Fail(const QString &message)
{
    throw TStepFailed{message};
}

void Require(bool holds, const QString &message)
{
    if (!holds)
        Fail(message);
}

// The dialog open when a step fails, often the reason it waited in vain.
QString OpenDialog()
{
    QWidget *dialog = QApplication::activeModalWidget();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!dialog && window->isVisible() && qobject_cast<QDialog *>(window))
            dialog = window;
    }
    if (!dialog)
        return {};
    QStringList texts;
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts << label->text();
    }
    return QStringLiteral(" (\"%1\" is open: %2)").arg(dialog->windowTitle(), texts.join(' '));
}

// The limits only keep a broken run from hanging; no step depends on the machine's pace.
void WaitFor(const QString &what, const std::function<bool()> &done, std::chrono::milliseconds limit = 60s)
{
    if (!WaitUntil(done, limit))
        Fail(QStringLiteral("waited %1 s for %2%3").arg(limit.count() / 1000).arg(what, OpenDialog()));
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file and folder under `root` (hidden ones too), by relative path; folders end in '/'.
std::map<QString, QByteArray> TreeContents(const QString &root)
{
    std::map<QString, QByteArray> contents;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir())
            contents[base.relativeFilePath(path) + '/'] = {};
        else
            contents[base.relativeFilePath(path)] = FileBytes(path);
    }
    return contents;
}

// The first difference between two trees, or empty when they are the same.
QString TreeDifference(const std::map<QString, QByteArray> &expected,
                       const std::map<QString, QByteArray> &actual)
{
    for (const auto &[path, bytes] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end())
            return QStringLiteral("\"%1\" is missing").arg(path);
        if (found->second != bytes)
            return QStringLiteral("\"%1\" differs (%2 bytes, expected %3)")
                .arg(path)
                .arg(found->second.size())
                .arg(bytes.size());
    }
    for (const auto &[path, bytes] : actual) {
        if (!expected.count(path))
            return QStringLiteral("\"%1\" should not be there").arg(path);
    }
    return {};
}

// The queue's items that did not end done, with why, for a failure's message.
QString UnfinishedTransfers(const TTransferItems &queue)
{
    static const char *const statusNames[] = {"pending", "in progress", "done", "cancelled", "failed"};
    QStringList lines;
    for (int i = 0; i < queue.Count(); ++i) {
        const TTransferItem &item = *queue.Items(i);
        if (item.Status() != tsDone)
            lines << QStringLiteral("%1%2 %3 %4")
                         .arg(QString::fromStdString(item.SourceFolder), QString::fromStdString(item.Name),
                              QString::fromLatin1(statusNames[item.Status()]),
                              QString::fromStdString(item.FailureText()));
    }
    return lines.isEmpty() ? QStringLiteral("every transfer ended done") : lines.join(QStringLiteral("; "));
}

QModelIndex ItemNamed(const TCustomView &view, const QString &name)
{
    const TFileList *list = view.ListView();
    for (int row = 0; row < list->RowCount(); ++row) {
        if (view.GetItemName(list->Item(row)) == name)
            return list->Item(row);
    }
    return {};
}

std::set<QString> SelectedNames(const TCustomView &view)
{
    std::set<QString> names;
    for (const QModelIndex &item : view.SelectedItems())
        names.insert(view.GetItemName(item));
    return names;
}

QString Joined(const std::set<QString> &names)
{
    return QStringList(names.begin(), names.end()).join(QStringLiteral(", "));
}

QAbstractItemView &ListOf(const TCustomView &view)
{
    return *view.ListView()->CurrentView();
}

// Through the window as the display delivers it, so that Qt finds the widget under the
// mouse, blocks windows behind a modal one and makes a double click of two clicks.
void Click(QWidget &widget, QPoint at, Qt::KeyboardModifiers modifiers = {}, bool twice = false)
{
    QWindow *window = widget.window()->windowHandle();
    Require(window != nullptr, QStringLiteral("a click on a window that is not shown"));
    const QPoint inWindow = window->mapFromGlobal(widget.mapToGlobal(at));
    if (twice)
        QTest::mouseDClick(window, Qt::LeftButton, modifiers, inWindow);
    else
        QTest::mouseClick(window, Qt::LeftButton, modifiers, inWindow);
}

// A click (or a double click) on the entry as a user makes it: the entry scrolled into
// view, the mouse on its caption.
void ClickEntry(const TCustomView &view, const QString &name, Qt::KeyboardModifiers modifiers = {},
                bool twice = false)
{
    QAbstractItemView &list = ListOf(view);
    QPoint at;
    // A list lays out its items a little after they arrive.
    WaitFor(QStringLiteral("\"%1\" in the list").arg(name), [&] {
        const QModelIndex item = ItemNamed(view, name);
        if (!item.isValid())
            return false;
        list.scrollTo(item);
        at = list.visualRect(item).center();
        return list.viewport()->rect().contains(at) && list.indexAt(at).row() == item.row();
    });
    Click(*list.viewport(), at, modifiers, twice);
}

void ClickButton(QAbstractButton &button, const QString &what)
{
    WaitFor(what + QStringLiteral(" to be enabled"),
            [&] { return button.isEnabled() && button.isVisible(); });
    Click(button, button.rect().center());
}

// The toolbar's (or a side's) button of a command.
QToolButton &ButtonOf(const TfrmMain &window, TCommand command)
{
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        if (button->defaultAction() == window.Action(command) && button->isVisible())
            return *button;
    }
    Fail(QStringLiteral("no button shows \"%1\"").arg(window.Action(command)->text()));
}

// Opens a menu of the menu bar with Alt and its accelerator, then presses each key in the
// menu (or submenu) open at that moment.
void MenuKeys(TfrmMain &window, Qt::Key menu, std::initializer_list<Qt::Key> keys)
{
    // Without a window manager nothing gives the window the focus back after a dialog
    // closes, as the user's click on its frame would.
    if (!window.isActiveWindow())
        window.activateWindow();
    WaitFor(QStringLiteral("the main window to be active"), [&] { return window.isActiveWindow(); });
    QTest::keyClick(&window, menu, Qt::AltModifier);
    QWidget *open = nullptr;
    for (const Qt::Key key : keys) {
        WaitFor(QStringLiteral("a menu to open"), [&] {
            QWidget *popup = QApplication::activePopupWidget();
            return popup && popup != open && popup->isVisible();
        });
        open = QApplication::activePopupWidget();
        QTest::keyClick(open, key);
    }
}

// Answers the next modal window of kind TWindow, while it lives, by clicking the button
// `choose` names; another kind of modal window is left alone.
template <typename TWindow>
class TModalAnswer
{
public:
    explicit TModalAnswer(std::function<QAbstractButton *(TWindow &)> choose)
    {
        QObject::connect(&FPoll, &QTimer::timeout, &FPoll, [this, choose = std::move(choose)] {
            auto *window = qobject_cast<TWindow *>(QApplication::activeModalWidget());
            if (!window || !window->isVisible())
                return;
            FPoll.stop();
            FAnswered = true;
            QAbstractButton *button = choose(*window);
            Click(*button, button->rect().center());
        });
        FPoll.start(20);
    }
    bool Answered() const { return FAnswered; }

private:
    QTimer FPoll;
    bool FAnswered = false;
};

// The demo server with a freshly generated tree, on ports that no other test process
// uses; it stops with the session.
class TDemoServer
{
public:
    TDemoServer()
    {
        Require(FRoot.isValid() && FOutput.isValid(),
                QStringLiteral("no temporary folder for the demo server"));
        const std::vector<std::string> argv{"/usr/bin/python3",
                                            FERROW_SOURCE_DIR "/tools/demo-server.py",
                                            "--port",
                                            "0",
                                            "--passive-ports",
                                            std::to_string(FPorts.First()) + '-'
                                                + std::to_string(FPorts.Last()),
                                            FRoot.path().toStdString()};
        const QString log = FOutput.filePath(QStringLiteral("server.log"));
        FProcess = std::make_unique<TChildProcess>(argv, log.toStdString());
        // It reports the port it bound once the tree is written.
        const bool ready = WaitUntil(
            [&] {
                QFile output(log);
                if (output.open(QIODevice::ReadOnly)) {
                    while (!output.atEnd()) {
                        const QByteArray line = output.readLine();
                        if (line.startsWith("ready "))
                            FPort = quint16(line.split(' ').value(1).toUInt());
                    }
                }
                return FPort != 0 || !FProcess->IsRunning();
            },
            120s);
        Require(ready && FPort != 0,
                QStringLiteral("the demo server did not start: %1").arg(QString::fromUtf8(FileBytes(log))));
    }

    quint16 Port() const { return FPort; }
    QString Root() const { return FRoot.path(); }

private:
    const TPortBlock FPorts;
    QTemporaryDir FRoot;
    QTemporaryDir FOutput;
    std::unique_ptr<TChildProcess> FProcess;
    quint16 FPort = 0;
};

class TUserSession
{
public:
    int Run();

private:
    void Prepare();
    void ConnectFromSiteManager();
    void EnterFolder();
    void DownloadTree();
    void UploadFile();
    void RenameFile();
    void DeleteFile();
    void CompareFolders();
    void Disconnect();
    void ReconnectFromLastConnections();
    void Exit();

    QString LocalFolder() const { return FProgramFolder.filePath(QStringLiteral("My files")); }
    QString ServerFolder() const { return FServer->Root() + '/' + TreeFolder; }
    QString ServerPath(const QString &name) const { return ServerFolder() + '/' + name; }
    THostView &Host() const { return *FWindow->ActiveHostView(); }
    TLocalView &Local() const { return *FWindow->ActiveLocalView(); }
    void WaitForListing(const QString &folder);
    void RequireSiteCaption() const;

    std::unique_ptr<TDemoServer> FServer;
    QTemporaryDir FProgramFolder;
    QByteArray FUploadBytes;
    std::map<QString, QByteArray> FServerFolderBefore;
    TGlobalTransferItems FTransfers;
    std::unique_ptr<TfrmMain> FWindow;
};

int TUserSession::Run()
{
    const std::pair<const char *, void (TUserSession::*)()> steps[] = {
        {"connect from the site manager", &TUserSession::ConnectFromSiteManager},
        {"enter a folder", &TUserSession::EnterFolder},
        {"download a folder tree", &TUserSession::DownloadTree},
        {"upload a file", &TUserSession::UploadFile},
        {"rename it", &TUserSession::RenameFile},
        {"delete it", &TUserSession::DeleteFile},
        {"compare folders", &TUserSession::CompareFolders},
        {"disconnect", &TUserSession::Disconnect},
        {"reconnect from Last Connections", &TUserSession::ReconnectFromLastConnections},
        {"exit", &TUserSession::Exit},
    };
    try {
        Prepare();
    } catch (const TStepFailed &failure) {
        std::fprintf(stderr, "e2e: cannot prepare the session: %s\n", qPrintable(failure.Message));
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "e2e: cannot prepare the session: %s\n", error.what());
        return 1;
    }
    int number = 0;
    for (const auto &[name, step] : steps) {
        ++number;
        QElapsedTimer timer;
        timer.start();
        try {
            (this->*step)();
        } catch (const TStepFailed &failure) {
            std::fprintf(stderr, "e2e: step %d \"%s\" FAILED: %s\n", number, name,
                         qPrintable(failure.Message));
            return 1;
        }
        std::printf("e2e: step %d \"%s\" passed (%lld ms)\n", number, name,
                    static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
    }
    return 0;
}

// A private program folder holding the options and one stored site, as a user would
// have left them; nothing of the real user's is read or written.
void TUserSession::Prepare()
{
    FServer = std::make_unique<TDemoServer>();
    Require(FProgramFolder.isValid(), QStringLiteral("no temporary folder"));
    QStandardPaths::setTestModeEnabled(true);
    SetProgramFolderOverride(FProgramFolder.path());
    Require(QDir().mkpath(LocalFolder()), QStringLiteral("cannot create %1").arg(LocalFolder()));

    TOptions options;
    options.SetBool(oiShowManager, true);
    // Binary, so that every file must arrive byte for byte whatever its extension.
    options.SetChoice(oiTransferMode, 2);
    QString error;
    Require(options.Save(&error), QStringLiteral("cannot write the options: %1").arg(error));

    TSite site;
    site.Name = SiteName;
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = FServer->Port();
    site.UserName = QStringLiteral("demo");
    site.Password = QStringLiteral("demo");
    site.HostFolder = QStringLiteral("/");
    site.LocalFolders[0] = LocalFolder();
    TSiteStore store(TSiteStore::DefaultFileName());
    Require(store.SaveSite(site), QStringLiteral("cannot write the sites file"));

    // Random, so that only the real bytes can match.
    FUploadBytes.resize(300 * 1024 + 17);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(FUploadBytes.data()),
                                          FUploadBytes.size() / 4);
    QFile upload(QDir(LocalFolder()).filePath(UploadName));
    Require(upload.open(QIODevice::WriteOnly) && upload.write(FUploadBytes) == FUploadBytes.size(),
            QStringLiteral("cannot write %1").arg(upload.fileName()));
}

void TUserSession::WaitForListing(const QString &folder)
{
    const bool listed = WaitUntil(
        [&] {
            const THostView *view = FWindow->ActiveHostView();
            return view && view->Connected() && !view->Animating() && !view->EngineBusy()
                   && view->GetFolder() == folder && view->ItemCount() > 0;
        },
        60s);
    const THostView *view = FWindow->ActiveHostView();
    Require(listed, QStringLiteral("no listing of %1 within 60 s; the remote view shows \"%2\"%3")
                        .arg(folder, view ? view->GetFolder() : QString(),
                             view && !view->Connected() ? QStringLiteral(", disconnected") : QString()));
}

void TUserSession::RequireSiteCaption() const
{
    const QString expected = SiteName + QStringLiteral(" - Ferrow");
    Require(FWindow->windowTitle() == expected,
            QStringLiteral("the caption reads \"%1\", not \"%2\"").arg(FWindow->windowTitle(), expected));
}

void TUserSession::ConnectFromSiteManager()
{
    FWindow = std::make_unique<TfrmMain>(
        QStringList(), FTransfers.Queue(),
        std::make_unique<TWindowStateStore>(FProgramFolder.filePath(QStringLiteral("registry.ini"))));
    FWindow->resize(1100, 720);
    FWindow->show();
    FWindow->activateWindow();
    WaitFor(QStringLiteral("the site manager to open at start"),
            [&] { return FWindow->SiteManager() && FWindow->SiteManager()->isVisible(); });
    TfrmManager &manager = *FWindow->SiteManager();
    Require(manager.cmboSite->currentText() == SiteName,
            QStringLiteral("the site manager shows \"%1\", not the stored site")
                .arg(manager.cmboSite->currentText()));
    ClickButton(*manager.btnOK, QStringLiteral("the site manager's OK"));
    WaitForListing(QStringLiteral("/"));
    Require(ItemNamed(Host(), TreeFolder).isValid(),
            QStringLiteral("the server's root lists no %1").arg(TreeFolder));
    RequireSiteCaption();
    WaitFor(QStringLiteral("the site's local folder"),
            [&] { return QDir(Local().GetFolder()) == QDir(LocalFolder()); });
    FWindow->activateWindow();
}

void TUserSession::EnterFolder()
{
    ClickEntry(Host(), TreeFolder, {}, true);
    WaitForListing('/' + TreeFolder + '/');
    for (const QString &name : NotDownloaded)
        Require(ItemNamed(Host(), name).isValid(),
                QStringLiteral("the folder's listing lacks \"%1\"").arg(name));
}

// The whole folder but two files: Ctrl+A, a Ctrl+click on each to leave it out, Download.
void TUserSession::DownloadTree()
{
    QAbstractItemView &list = ListOf(Host());
    ClickEntry(Host(), *NotDownloaded.begin());
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    WaitFor(QStringLiteral("every entry to be selected"),
            [&] { return Host().SelectedCount() == Host().ItemCount(); });
    for (const QString &name : NotDownloaded)
        ClickEntry(Host(), name, Qt::ControlModifier);
    WaitFor(QStringLiteral("two entries to be left out"),
            [&] { return Host().SelectedCount() == Host().ItemCount() - int(NotDownloaded.size()); });
    const std::set<QString> chosen = SelectedNames(Host());
    ClickButton(ButtonOf(*FWindow, TCommand::Download), QStringLiteral("Download"));

    FServerFolderBefore = TreeContents(ServerFolder());
    auto expected = FServerFolderBefore;
    for (const QString &name : NotDownloaded)
        expected.erase(name);
    const auto downloaded = [&] {
        auto local = TreeContents(LocalFolder());
        local.erase(UploadName);
        return local;
    };
    TTransferItems &queue = FWindow->Queue();
    const bool arrived = WaitUntil(
        [&] {
            return queue.CountOf(tsPending) + queue.CountOf(tsInProgress) == 0
                   && !Host().TransferringSelection() && TreeDifference(expected, downloaded()).isEmpty();
        },
        90s);
    if (!arrived)
        Fail(QStringLiteral("the downloaded tree is not the server's: %1 (downloaded: {%2}; %3)%4")
                 .arg(TreeDifference(expected, downloaded()), Joined(chosen), UnfinishedTransfers(queue),
                      OpenDialog()));
    Require(queue.CountOf(tsFailed) == 0, UnfinishedTransfers(queue));
    WaitFor(QStringLiteral("the progress window to close after the last transfer"),
            [&] { return !FWindow->ProgressWindow()->isVisible(); });
}

void TUserSession::UploadFile()
{
    ClickEntry(Local(), UploadName);
    WaitFor(QStringLiteral("\"%1\" alone to be selected").arg(UploadName),
            [&] { return SelectedNames(Local()) == std::set<QString>{UploadName}; });
    ClickButton(ButtonOf(*FWindow, TCommand::Upload), QStringLiteral("Upload"));
    const bool arrived = WaitUntil([&] { return FileBytes(ServerPath(UploadName)) == FUploadBytes; }, 60s);
    Require(arrived, QStringLiteral("the server's copy is not the file (%1 of %2 bytes)")
                         .arg(QFileInfo(ServerPath(UploadName)).size())
                         .arg(FUploadBytes.size()));
    WaitFor(QStringLiteral("the remote list to show the upload"),
            [&] { return ItemNamed(Host(), UploadName).isValid(); });
}

// In place: F2, the new name typed over the old, Enter.
void TUserSession::RenameFile()
{
    ClickEntry(Host(), UploadName);
    QTest::keyClick(&ListOf(Host()), Qt::Key_F2);
    QLineEdit *editor = nullptr;
    WaitFor(QStringLiteral("the name's editor"), [&] {
        for (QLineEdit *field : ListOf(Host()).findChildren<QLineEdit *>()) {
            if (field->isVisible())
                editor = field;
        }
        return editor != nullptr;
    });
    Require(editor->text() == UploadName, QStringLiteral("the editor holds \"%1\"").arg(editor->text()));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, RenamedName);
    QTest::keyClick(editor, Qt::Key_Return);
    WaitFor(QStringLiteral("the server's file to be renamed"), [&] {
        return !QFileInfo::exists(ServerPath(UploadName))
               && FileBytes(ServerPath(RenamedName)) == FUploadBytes;
    });
    WaitFor(QStringLiteral("the remote list to show the new name"), [&] {
        return ItemNamed(Host(), RenamedName).isValid() && !ItemNamed(Host(), UploadName).isValid();
    });
}

// Delete, and Yes in the confirmation.
void TUserSession::DeleteFile()
{
    ClickEntry(Host(), RenamedName);
    WaitFor(QStringLiteral("\"%1\" alone to be selected").arg(RenamedName),
            [&] { return SelectedNames(Host()) == std::set<QString>{RenamedName}; });
    const TModalAnswer<TfrmConfirm> yes([](TfrmConfirm &window) { return window.btnYes; });
    QTest::keyClick(&ListOf(Host()), Qt::Key_Delete);
    WaitFor(QStringLiteral("the confirmation"), [&] { return yes.Answered(); });
    WaitFor(QStringLiteral("the server's file to go"),
            [&] { return !QFileInfo::exists(ServerPath(RenamedName)); });
    WaitFor(QStringLiteral("the remote list to drop it"),
            [&] { return !ItemNamed(Host(), RenamedName).isValid(); });
    const QString changed = TreeDifference(FServerFolderBefore, TreeContents(ServerFolder()));
    Require(changed.isEmpty(),
            QStringLiteral("the server's folder is not as it was before the upload: %1").arg(changed));
}

// Edit > Compare Folders with the options as they open: each side selects what the other
// lacks.
void TUserSession::CompareFolders()
{
    QTest::keyClick(&ListOf(Local()), Qt::Key_F5);
    WaitFor(QStringLiteral("the local list to show the downloads"),
            [&] { return ItemNamed(Local(), QStringLiteral("Reports 2020")).isValid(); });
    const TModalAnswer<TfrmCompareOptions> ok([](TfrmCompareOptions &window) {
        return window.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    });
    const bool enabled = WaitUntil([&] { return FWindow->Action(TCommand::Compare)->isEnabled(); }, 30s);
    Require(enabled,
            QStringLiteral(
                "Compare Folders stays disabled (remote view: connected %1, busy %2, engine working %3)")
                .arg(Host().Connected())
                .arg(Host().Animating())
                .arg(Host().EngineBusy()));
    MenuKeys(*FWindow, Qt::Key_E, {Qt::Key_C});
    WaitFor(QStringLiteral("the compare options"), [&] { return ok.Answered(); });
    const std::set<QString> localOnly{UploadName};
    const std::set<QString> &remoteOnly = NotDownloaded;
    const bool selected = WaitUntil(
        [&] { return SelectedNames(Local()) == localOnly && SelectedNames(Host()) == remoteOnly; }, 10s);
    Require(selected, QStringLiteral("selected locally: {%1}, on the server: {%2}")
                          .arg(Joined(SelectedNames(Local())), Joined(SelectedNames(Host()))));
}

void TUserSession::Disconnect()
{
    ClickButton(ButtonOf(*FWindow, TCommand::Disconnect), QStringLiteral("Disconnect"));
    WaitFor(QStringLiteral("the connection to end"), [&] { return !Host().Connected(); });
    WaitFor(QStringLiteral("the caption \"Disconnected - Ferrow\""),
            [&] { return FWindow->windowTitle() == QStringLiteral("Disconnected - Ferrow"); });
}

// File > Last Connections > 1.
void TUserSession::ReconnectFromLastConnections()
{
    MenuKeys(*FWindow, Qt::Key_F, {Qt::Key_L, Qt::Key_1});
    WaitForListing(QStringLiteral("/"));
    RequireSiteCaption();
}

// File > Exit: the window closes and keeps the last connection for the next run.
void TUserSession::Exit()
{
    MenuKeys(*FWindow, Qt::Key_F, {Qt::Key_E});
    WaitFor(QStringLiteral("the window to close"), [&] { return !FWindow->isVisible(); });
    FWindow.reset();
    const TLastConnections kept =
        TWindowStateStore(FProgramFolder.filePath(QStringLiteral("registry.ini"))).LoadLastConnections();
    Require(kept.Site(0) == SiteName,
            QStringLiteral("Last Connections holds \"%1\" after the exit").arg(kept.Site(0)));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velunor Media"));
    QApplication::setApplicationName(QStringLiteral("Ferrow"));

    TUserSession session;
    return session.Run();
}
