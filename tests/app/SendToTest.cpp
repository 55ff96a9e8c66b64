#include "app/SendTo.h"
#include "app/Main.h"
#include "app/RemotePopup.h"
#include "app/SidePanel.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class SendToTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        QDir(FFolder.path()).mkdir("local");
    }

    QString LocalFolder() const { return Path("local"); }

    std::unique_ptr<TfrmMain> MakeWindow(const TTestFtpServer &server)
    {
        auto window = TMainWindowFixture::MakeWindow(ConnectArguments(server) + QStringList{"-l", LocalFolder()});
        window->show();
        return window;
    }

    static QString Names(const THostView *view)
    {
        QStringList names{view->GetFolder() + ':'};
        for (int row = 0; row < view->ItemCount(); ++row)
            names << view->GetItemName(view->ListView()->Item(row));
        return names.join(u' ');
    }

    static int RowOf(const THostView *view, const QString &name)
    {
        for (int row = 0; row < view->ItemCount(); ++row) {
            if (view->GetItemName(view->ListView()->Item(row)) == name)
                return row;
        }
        return -1;
    }

    static void Select(THostView *view, const QStringList &names)
    {
        view->ListView()->ClearSelection();
        for (const QString &name : names) {
            ASSERT_GE(RowOf(view, name), 0) << name.toStdString() << " not in " << Names(view).toStdString();
            view->ListView()->SelectRow(RowOf(view, name));
        }
        view->ListView()->SetCurrentItem(view->ListView()->Item(RowOf(view, names.first())));
    }

    // The remote pop-up as a right-click opens it, closed again so that its entries can be
    // triggered the way a click does.
    static TRemotePopup &OpenPopup(TfrmMain &window)
    {
        emit window.ActiveHostView()->ListView()->ContextMenuRequested(window.mapToGlobal(QPoint(40, 40)));
        auto *popup = window.findChild<TRemotePopup *>();
        popup->close();
        return *popup;
    }

    // Answers the move's input box with `text`; a refusal's message box is answered too
    // and its text kept in `refusal`.
    static void AnswerMove(const QString &text, QString *refusal = nullptr)
    {
        AnswerNextModalWindow([text, refusal](QWidget &dialog) {
            auto &input = dynamic_cast<QInputDialog &>(dialog);
            EXPECT_EQ(input.windowTitle(), "Move to another folder");
            EXPECT_EQ(input.labelText(), "Destination folder");
            EXPECT_EQ(input.textValue(), "/") << "pre-filled with the current folder";
            input.setTextValue(text);
            if (refusal) {
                AnswerNextModalWindow([refusal](QWidget &box) {
                    *refusal = dynamic_cast<QMessageBox &>(box).text();
                    dynamic_cast<QMessageBox &>(box).accept();
                });
            }
            input.accept();
        });
    }

};

class SendToServerTest : public SendToTest, public ::testing::WithParamInterface<TServerKind>
{};

TEST(MoveDestinationTest, AddsTheSeparatorResolvesRelativeFoldersAndRefusesLineBreaks)
{
    EXPECT_EQ(MoveDestinationFor("/pub/dest", "/pub/", '/').Folder, "/pub/dest/");
    EXPECT_EQ(MoveDestinationFor("/pub/dest/", "/pub/", '/').Folder, "/pub/dest/");
    EXPECT_EQ(MoveDestinationFor("dest", "/pub/", '/').Folder, "/pub/dest/") << "not the server's own folder";
    EXPECT_EQ(MoveDestinationFor("/Pub", "/pub/", '/').Folder, "/Pub/") << "server names keep their case";
    EXPECT_EQ(MoveDestinationFor("D:\\Old", "C:\\DATA\\", '\\').Folder, "D:\\Old\\");
    for (const QString &same : {QString("/pub"), QString("/pub/"), QString()}) {
        const TMoveDestination none = MoveDestinationFor(same, "/pub/", '/');
        EXPECT_TRUE(none.Folder.isEmpty() && none.Refusal.isEmpty()) << same.toStdString();
    }
    for (const QString &unsafe : {QString("/a\r\nDELE x"), QString("/a\n"), QString("/a") + QChar(0)}) {
        const TMoveDestination refused = MoveDestinationFor(unsafe, "/pub/", '/');
        EXPECT_TRUE(refused.Folder.isEmpty());
        EXPECT_FALSE(refused.Refusal.isEmpty());
    }
}

TEST_P(SendToServerTest, ClipboardAndMoveToAnotherServerFolder)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    const QByteArray binary = Pattern(300 * 1024, 7);
    server->PutFile("a b.txt", "alpha");
    server->PutFile("b.bin", binary);
    server->PutFile("gone.txt", "gone");
    server->PutFile("stays.txt", "stays");
    server->MakeFolder("dest");
    auto window = MakeWindow(*server);
    THostView *view = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(view));
    Select(view, {"a b.txt", "b.bin"});
    ASSERT_TRUE(WaitUntil([&] { return window->RemoteCommands().Delete; }));

    TRemotePopup &popup = OpenPopup(*window);
    ASSERT_TRUE(popup.mnuSendTo->menuAction()->isEnabled());
    QStringList entries;
    for (const QAction *entry : popup.mnuSendTo->actions())
        entries << entry->text();
    EXPECT_EQ(entries, QStringList({"Any &Host Folder... (Move)", "Any &Local Folder... (Copy)", "",
                                    "Clipboard as &Name", "Clipboard as &URL"}));

    popup.mnuClipboardName->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/a b.txt\n/b.bin");
    popup.mnuClipboardURL->trigger();
    const QString login =
        QString::fromStdString(server->User() + "@127.0.0.1:" + std::to_string(server->Port()));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "ftp://" + login + "/a b.txt\nftp://" + login + "/b.bin");
    EXPECT_FALSE(QGuiApplication::clipboard()->text().contains(QString::fromStdString(server->Password())));

    // Into the current folder, or with a line break that would smuggle in a command:
    // nothing reaches the server.
    AnswerMove("/");
    popup.mnuSendToHost->trigger();
    QString refusal;
    AnswerMove("/dest\r\nDELE stays.txt", &refusal);
    popup.mnuSendToHost->trigger();
    EXPECT_EQ(refusal, "A folder name cannot contain a line break or a NUL character.");
    ASSERT_TRUE(WaitUntil([&] { return !view->Animating(); }));
    EXPECT_FALSE(server->ProtocolLogText().contains("RNFR"));
    EXPECT_TRUE(QFileInfo::exists(server->LocalPath("stays.txt")));

    // A file gone from the server since the listing is refused; the others still move.
    ASSERT_TRUE(QFile::remove(server->LocalPath("gone.txt")));
    Select(view, {"a b.txt", "gone.txt", "b.bin"});
    AnswerMove("dest");
    OpenPopup(*window).mnuSendToHost->trigger();
    ASSERT_TRUE(WaitUntil([&] { return RowOf(view, "b.bin") < 0 && !view->Animating(); }))
        << server->ProtocolLogText().toStdString();
    EXPECT_EQ(ReadAll(server->LocalPath("dest/a b.txt")), "alpha");
    EXPECT_EQ(ReadAll(server->LocalPath("dest/b.bin")), binary);
    EXPECT_FALSE(QFileInfo::exists(server->LocalPath("a b.txt")));
    EXPECT_FALSE(QFileInfo::exists(server->LocalPath("dest/gone.txt")));
    EXPECT_GE(RowOf(view, "stays.txt"), 0);
    EXPECT_LT(RowOf(view, "a b.txt"), 0);
    window->close();
}

TEST_P(SendToServerTest, CopyToAnyLocalFolderAndTheDoubleClickFollowsThePopupsDefault)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    const QByteArray one = Pattern(200 * 1024, 1);
    const QByteArray inner = Pattern(70 * 1024, 2);
    server->PutFile("one.bin", one);
    server->PutFile("tree/inner.bin", inner);
    server->PutFile("tree/deep/x.txt", "x");
    auto window = MakeWindow(*server);
    THostView *view = window->ActiveHostView();
    ASSERT_TRUE(WaitForListing(view));
    const QString chosen = FFolder.filePath("chosen");
    ASSERT_TRUE(QDir().mkpath(chosen));
    QString askedTitle, askedStart;
    window->ChooseDestinationFolder = [&](const QString &title, const QString &start) {
        askedTitle = title;
        askedStart = start;
        return chosen;
    };
    Select(view, {"one.bin", "tree"});
    ASSERT_TRUE(WaitUntil([&] { return window->RemoteCommands().Delete; }));

    OpenPopup(*window).mnuSendToLocal->trigger();
    EXPECT_EQ(askedTitle, "Select Destination Folder");
    EXPECT_EQ(QFileInfo(askedStart), QFileInfo(LocalFolder())) << "starts at the local side's folder";
    TTransferItems &queue = FTransfers.Queue();
    ASSERT_TRUE(WaitUntil([&] { return queue.Count() > 0 && queue.IsIdle(); }, 60s));
    EXPECT_EQ(queue.CountOf(tsDone), queue.Count());
    EXPECT_EQ(ReadAll(chosen + "/one.bin"), one);
    EXPECT_EQ(ReadAll(chosen + "/tree/inner.bin"), inner);
    EXPECT_EQ(ReadAll(chosen + "/tree/deep/x.txt"), "x");
    EXPECT_FALSE(QFileInfo::exists(LocalFolder() + "/one.bin"));

    // The bold default is the entry a double-click performs.
    Select(view, {"one.bin"});
    const TRemotePopup &popup = OpenPopup(*window);
    const QAction *const defaults[] = {popup.mnuProperties, popup.mnuView, popup.mnuDownload, popup.mnuOpen};
    for (int choice = 0; choice < 4; ++choice) {
        window->Options().SetChoice(oiHostDblClk, choice);
        EXPECT_EQ(OpenPopup(*window).defaultAction(), defaults[choice]) << choice;
    }
    window->Options().SetChoice(oiHostDblClk, 2);
    const int before = queue.Count();
    view->ListDblClick(Qt::NoModifier);
    ASSERT_TRUE(WaitUntil([&] { return queue.Count() == before + 1 && queue.IsIdle(); }, 30s));
    EXPECT_EQ(ReadAll(LocalFolder() + "/one.bin"), one);
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Servers, SendToServerTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST_F(SendToTest, EditAndViewStylePopupsOnTheButtonsOfBothSides)
{
    TfrmMain window({}, FTransfers.Queue(),
                    std::make_unique<TWindowStateStore>(FFolder.filePath("state.ini")));
    window.show();
    for (const TViewSide side : {vsLocal, vsHost}) {
        const TSideCommands commands = SideCommands(side);
        QMenu *edit = nullptr;
        QMenu *styles = nullptr;
        for (const QToolButton *button : window.findChildren<QToolButton *>()) {
            if (button->defaultAction() == window.Action(commands.Edit))
                edit = button->menu();
            if (button->defaultAction() == window.Action(commands.ViewStyle))
                styles = button->menu();
        }
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(styles, nullptr);
        QStringList editEntries;
        for (const QAction *entry : edit->actions())
            editEntries << entry->text();
        EXPECT_EQ(editEntries, QStringList({"Edit with &NotePad", "Edit with &Scrivel"}));

        // Choosing a style marks it, and only it, and the list takes it.
        const QList<QAction *> entries = styles->actions();
        ASSERT_EQ(entries.size(), 4);
        EXPECT_EQ(entries[0]->text(), "Large Icons");
        EXPECT_EQ(entries[3]->text(), "Details");
        entries[2]->trigger();
        const TCustomView *view =
            side == vsLocal ? static_cast<TCustomView *>(window.ActiveLocalView()) : window.ActiveHostView();
        EXPECT_EQ(view->ViewStyle(), lsList);
        for (int style = 0; style < 4; ++style)
            EXPECT_EQ(entries[style]->isChecked(), style == lsList) << style;
    }
    window.close();
}

} // namespace
