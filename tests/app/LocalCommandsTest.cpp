#include "app/LocalPopup.h"
#include "app/Main.h"
#include "app/MaskForm.h"
#include "engine/FTPTypes.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LocalFiles.h"
#include "views/LoclView.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A real main window whose active local view shows a folder of test files, with the
// view's questions answered by the test.
class LocalCommandsTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        // The home, and with it the trash, of this test lives beside its files.
        FHome = qgetenv("HOME");
        qputenv("HOME", FFolder.path().toUtf8());
        ASSERT_TRUE(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
        ASSERT_TRUE(QDir().mkpath(Path("src/tree/deep")));
        ASSERT_TRUE(QDir().mkpath(Path("dst")));
        ASSERT_TRUE(WriteAll(Path("src/c.bin"), Pattern(70000, 1)));
        ASSERT_TRUE(WriteAll(Path("src/tree/a.bin"), Pattern(5000, 2)));
        ASSERT_TRUE(WriteAll(Path("src/tree/deep/b.txt"), "deep"));
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        Window.reset();
        qputenv("HOME", FHome);
    }

    QString Path(const QString &relative) const { return FFolder.filePath("files/" + relative); }

    void OpenWindow(const QStringList &arguments = {})
    {
        Window = MakeWindow(arguments + QStringList{"-l", Path("src")});
        Window->show();
        View = Window->ActiveLocalView();
        ASSERT_NE(View, nullptr);
        Show("src");
        View->Confirm = [this](const QString &question) {
            Questions << question;
            return Answer;
        };
        View->ShowError = [this](const QString &message) { Errors << message; };
        View->AskReplace = [this](const QString &name) {
            Questions << name;
            return Replace;
        };
    }

    void Show(const QString &relative) { ASSERT_TRUE(View->ChangeFolderAndWait(Path(relative))); }
    // Selects exactly these names of the shown folder.
    void Select(const QStringList &names)
    {
        View->ListView()->ClearSelection();
        for (const QString &name : names) {
            const QModelIndex item = View->Model()->IndexOf(name);
            ASSERT_TRUE(item.isValid()) << name.toStdString();
            View->ListView()->SelectRow(item.row());
            View->ListView()->SetCurrentItem(item);
        }
    }
    QAction *Local(TCommand command) const { return Window->Action(command); }
    QAbstractItemView *List() const { return View->ListView()->CurrentView(); }

    QString Trashed(const QString &name) const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files/" + name;
    }

    QByteArray FHome;
    std::unique_ptr<TfrmMain> Window;
    TLocalView *View = nullptr;
    QStringList Questions;
    QStringList Errors;
    bool Answer = true;
    TReplaceAnswer Replace = TReplaceAnswer::Skip;
};

QStringList Captions(const QMenu &menu)
{
    QStringList captions;
    for (const QAction *entry : menu.actions()) {
        if (!entry->isSeparator())
            captions << entry->text()
                            + (entry->shortcut().isEmpty() ? "" : " " + entry->shortcut().toString());
    }
    return captions;
}

} // namespace

TEST_F(LocalCommandsTest, ClipboardCopiesAndMovesTreesByKeysAndMenu)
{
    OpenWindow();
    const QMenu *menu = nullptr;
    for (const QAction *entry : Window->menuBar()->actions()) {
        if (entry->text() == "&Local")
            menu = entry->menu();
    }
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Captions(*menu), (QStringList{"E&dit with...", "&Refresh F5", "&Create New Folder",
                                            "Rena&me F2", "&Erase Del", "Mas&k files", "&Cut Ctrl+X",
                                            "Co&py Ctrl+C", "&Paste Ctrl+V", "P&roperties Alt+Enter"}));
    EXPECT_FALSE(Local(TCommand::LocalCopy)->isEnabled()) << "nothing selected";
    EXPECT_FALSE(Local(TCommand::LocalPaste)->isEnabled()) << "nothing on the clipboard";

    // The keys reach the focused list once: one copy, not two.
    Select({"c.bin", "tree"});
    EXPECT_TRUE(Local(TCommand::LocalCut)->isEnabled() && Local(TCommand::LocalCopy)->isEnabled());
    QTest::keyClick(List(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(Local(TCommand::LocalPaste)->isEnabled());
    Show("dst");
    QTest::keyClick(List(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QDir(Path("dst")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              (QStringList{"c.bin", "tree"}));
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), Pattern(70000, 1));
    EXPECT_EQ(ReadAll(Path("dst/tree/a.bin")), Pattern(5000, 2));
    EXPECT_EQ(ReadAll(Path("dst/tree/deep/b.txt")), "deep");
    EXPECT_TRUE(QFileInfo::exists(Path("src/tree/deep/b.txt")));

    // Cut and Paste of the menu move the tree; pasting it again finds nothing to move.
    ASSERT_TRUE(QDir().mkpath(Path("moved")));
    Show("src");
    Select({"tree"});
    Local(TCommand::LocalCut)->trigger();
    Show("moved");
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(ReadAll(Path("moved/tree/a.bin")), Pattern(5000, 2));
    EXPECT_EQ(ReadAll(Path("moved/tree/deep/b.txt")), "deep");
    EXPECT_FALSE(QFileInfo::exists(Path("src/tree")));
    EXPECT_TRUE(View->Model()->IndexOf("tree").isValid()) << "the list shows what arrived";
    EXPECT_FALSE(Local(TCommand::LocalPaste)->isEnabled()) << "moved files are not offered again";

    // A cut file pasted where it already is stays as it is.
    Show("dst");
    Select({"c.bin"});
    Local(TCommand::LocalCut)->trigger();
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), Pattern(70000, 1));
    EXPECT_EQ(QDir(Path("dst")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              (QStringList{"c.bin", "tree"}));

    // Refresh reads the folder at once, without waiting for the watcher.
    ASSERT_TRUE(WriteAll(Path("dst/new.txt"), "new"));
    Local(TCommand::LocalRefresh)->trigger();
    EXPECT_TRUE(View->Model()->IndexOf("new.txt").isValid());

    // The mask window filters the list.
    AnswerNextModalWindow([](QWidget &dialog) {
        auto &form = dynamic_cast<TfrmMask &>(dialog);
        form.MaskCombo()->setEditText("*.txt");
        form.accept();
    });
    Local(TCommand::LocalMask)->trigger();
    EXPECT_EQ(View->GetMask(), "*.txt");
    EXPECT_FALSE(View->Model()->IndexOf("c.bin").isValid());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_TRUE(Questions.isEmpty()) << Questions.join('\n').toStdString();
}

TEST_F(LocalCommandsTest, PasteAsksBeforeReplacingAndNeverPastesAFolderIntoItself)
{
    ASSERT_TRUE(WriteAll(Path("dst/c.bin"), "old"));
    OpenWindow();
    Select({"c.bin"});
    Local(TCommand::LocalCopy)->trigger();
    Show("dst");

    Replace = TReplaceAnswer::Skip;
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(Questions, QStringList{"c.bin"});
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), "old") << "No keeps the old file";

    Replace = TReplaceAnswer::KeepBoth;
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), "old");
    EXPECT_EQ(ReadAll(Path("dst/c (2).bin")), Pattern(70000, 1));

    Replace = TReplaceAnswer::Replace;
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), Pattern(70000, 1));
    EXPECT_EQ(QDir(Path("dst")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              (QStringList{"c (2).bin", "c.bin"}))
        << "no part file left behind";

    // A folder replaced by a cut folder: the old tree goes once the new one is in place.
    ASSERT_TRUE(QDir().mkpath(Path("dst/tree/stale")));
    Show("src");
    Select({"tree"});
    Local(TCommand::LocalCut)->trigger();
    Show("dst");
    Local(TCommand::LocalPaste)->trigger();
    EXPECT_EQ(ReadAll(Path("dst/tree/deep/b.txt")), "deep");
    EXPECT_FALSE(QFileInfo::exists(Path("dst/tree/stale")));
    EXPECT_FALSE(QFileInfo::exists(Path("src/tree")));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();

    // Into itself or its own subfolder: refused with a message, nothing copied.
    Select({"tree"});
    Local(TCommand::LocalCopy)->trigger();
    Show("dst/tree/deep");
    Local(TCommand::LocalPaste)->trigger();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors.first().contains("cannot be pasted into itself")) << Errors.first().toStdString();
    EXPECT_EQ(QDir(Path("dst/tree/deep")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"b.txt"});
}

TEST_F(LocalCommandsTest, EraseTrashesOnlyWhatIsSelectedAndOnlyWhenConfirmed)
{
    ASSERT_TRUE(QFile::link(Path("src/tree"), Path("dst/link")));
    OpenWindow();
    Show("dst");
    Select({"link"});

    // The Del key and the menu each ask once; No keeps everything.
    Answer = false;
    QTest::keyClick(List(), Qt::Key_Delete);
    Local(TCommand::LocalDelete)->trigger();
    EXPECT_EQ(Questions.size(), 2);
    EXPECT_TRUE(QFileInfo(Path("dst/link")).isSymLink());

    Answer = true;
    Local(TCommand::LocalDelete)->trigger();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo(Path("dst/link")).isSymLink());
    EXPECT_TRUE(Trashed("link").startsWith(FFolder.path()));
    EXPECT_TRUE(QFileInfo(Trashed("link")).isSymLink()) << "the link itself is in the trash";
    EXPECT_EQ(ReadAll(Path("src/tree/deep/b.txt")), "deep") << "its target is whole";
    EXPECT_EQ(ReadAll(Path("src/tree/a.bin")), Pattern(5000, 2));

    // What cannot go to the trash is named and stays.
    ASSERT_TRUE(QFile::link(Path("gone"), Path("dst/dangling")));
    View->Refresh();
    Select({"dangling"});
    Local(TCommand::LocalDelete)->trigger();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors.first().contains(Path("dst/dangling"))) << Errors.first().toStdString();
    EXPECT_TRUE(QFileInfo(Path("dst/dangling")).isSymLink());
}

TEST_F(LocalCommandsTest, NewFolderAndRenameEditInPlaceAndNeverReplace)
{
    ASSERT_TRUE(WriteAll(Path("src/taken.txt"), "taken"));
    OpenWindow();
    const auto typeIntoEditor = [this](const QString &text) {
        auto *editor = List()->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr) << "no caption editor";
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The list commits a caption edit once back in its event loop.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };

    Local(TCommand::LocalNewFolder)->trigger();
    EXPECT_TRUE(QFileInfo(Path("src/New Folder")).isDir());
    ASSERT_TRUE(View->ListView()->IsEditing());
    typeIntoEditor("made");
    EXPECT_TRUE(QFileInfo(Path("src/made")).isDir());

    Select({"c.bin"});
    EXPECT_TRUE(Local(TCommand::LocalRename)->isEnabled());
    Local(TCommand::LocalRename)->trigger();
    typeIntoEditor("taken.txt");
    ASSERT_TRUE(WaitUntil([&] { return !Errors.isEmpty(); }));
    EXPECT_TRUE(Errors.first().contains("already exists")) << Errors.first().toStdString();
    EXPECT_EQ(ReadAll(Path("src/taken.txt")), "taken");
    EXPECT_EQ(ReadAll(Path("src/c.bin")), Pattern(70000, 1));

    QTest::keyClick(List(), Qt::Key_F2);
    typeIntoEditor("sub/c.bin");
    ASSERT_TRUE(WaitUntil([&] { return Errors.size() == 2; }));
    EXPECT_TRUE(QFileInfo::exists(Path("src/c.bin")));

    Local(TCommand::LocalRename)->trigger();
    typeIntoEditor("renamed.bin");
    EXPECT_EQ(ReadAll(Path("src/renamed.bin")), Pattern(70000, 1));

    Select({"made", "taken.txt"});
    EXPECT_FALSE(Local(TCommand::LocalRename)->isEnabled()) << "two selected";
}

TEST_F(LocalCommandsTest, PropertiesWindowCountsFoldersAndChangesModesOnlyOnOk)
{
    OpenWindow();
    Select({"c.bin", "tree"});
    QFile::setPermissions(Path("src/c.bin"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    // Alt+Enter in the list opens it, without waiting for an answer.
    QTest::keyClick(List(), Qt::Key_Return, Qt::AltModifier);
    TfrmLocalProperties *window = View->PropertiesWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(window->lblFileName->text(), "1 Files, 1 Folders");
    // The folder is counted with its files, on a thread of its own.
    EXPECT_TRUE(WaitUntil([&] { return window->lblSize->text() == "73KB (75004 Bytes)"; }))
        << window->lblSize->text().toStdString();
    EXPECT_EQ(window->lblLocation->text(), Path("src"));
    EXPECT_EQ(window->cbPermissions[0]->checkState(), Qt::Checked);
    EXPECT_EQ(window->cbPermissions[2]->checkState(), Qt::PartiallyChecked)
        << "the folder is executable, the file not";
    const std::uint32_t folderBefore = LocalPermissions(Path("src/tree"));

    // OK without a click changes nothing.
    window->accept();
    EXPECT_EQ(LocalPermissions(Path("src/c.bin")), faOwnerRead | faOwnerWrite | faGroupRead);

    Select({"c.bin"});
    Local(TCommand::LocalProperties)->trigger();
    window = View->PropertiesWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(window->windowTitle(), "c.bin Properties");
    window->cbPermissions[8]->click(); // everyone may run it
    window->reject();
    EXPECT_EQ(LocalPermissions(Path("src/c.bin")), faOwnerRead | faOwnerWrite | faGroupRead)
        << "Cancel changes nothing";

    Local(TCommand::LocalProperties)->trigger();
    window = View->PropertiesWindow();
    ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
    window->cbPermissions[8]->click();
    window->accept();
    EXPECT_EQ(LocalPermissions(Path("src/c.bin")), faOwnerRead | faOwnerWrite | faGroupRead | faOtherExecute);
    EXPECT_EQ(LocalPermissions(Path("src/tree")), folderBefore);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(LocalCommandsTest, PopupFollowsTheClipboardTheSelectionAndTheStyle)
{
    OpenWindow();
    Window->SetLocalViewStyle(lsList);
    emit View->ListView()->ContextMenuRequested(Window->mapToGlobal(QPoint(40, 200)));
    auto *popup = Window->findChild<TLocalPopup *>();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(Captions(*popup), (QStringList{"&View", "&Paste", "Ne&w", "P&roperties"}));
    EXPECT_FALSE(popup->mnuPaste->isEnabled());
    EXPECT_FALSE(popup->mnuProperties->isEnabled());
    QStringList checked;
    for (const QAction *style : popup->mnuView->actions()) {
        if (style->isChecked())
            checked << style->text();
    }
    EXPECT_EQ(checked, QStringList{"List"});
    popup->close();

    Select({"c.bin"});
    Local(TCommand::LocalCopy)->trigger();
    Show("dst");
    Select({});
    emit View->ListView()->ContextMenuRequested(Window->mapToGlobal(QPoint(40, 200)));
    EXPECT_TRUE(popup->mnuPaste->isEnabled());
    popup->close();
    popup->mnuPaste->trigger();
    EXPECT_EQ(ReadAll(Path("dst/c.bin")), Pattern(70000, 1));
    popup->mnuNewFolder->trigger();
    EXPECT_TRUE(QFileInfo(Path("dst/New Folder")).isDir());
}

TEST_F(LocalCommandsTest, DoubleClickStartsTheViewerOnTheFileFromItsFolder)
{
    // A viewer that notes where it runs and what it was given, as one argument.
    const QString viewer = FFolder.filePath("viewer.sh");
    ASSERT_TRUE(WriteAll(viewer, "#!/bin/sh\nprintf '%s|%s|%s' \"$PWD\" \"$#\" \"$1\" > \"$0.out\"\n"));
    ASSERT_TRUE(QFile::setPermissions(viewer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(WriteAll(Path("src/two words.txt"), "x"));
    OpenWindow();
    Window->Options().SetText(oiViewer, viewer);
    Window->Options().SetChoice(oiLocalDblClk, 1);
    Select({"two words.txt"});
    View->ListDblClick(Qt::NoModifier);
    ASSERT_TRUE(WaitUntil([&] { return !ReadAll(viewer + ".out").isEmpty(); }));
    EXPECT_EQ(ReadAll(viewer + ".out"), (Path("src") + "|1|" + Path("src/two words.txt")).toUtf8());
}

class LocalDoubleClickTest : public LocalCommandsTest, public ::testing::WithParamInterface<TServerKind>
{};

TEST_P(LocalDoubleClickTest, ShowsPropertiesOrUploadsByLocalDblClk)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->MakeFolder("in");
    OpenWindow({"-c", QString::fromStdString(server->Host()) + ':' + QString::number(server->Port()), "-u",
                QString::fromStdString(server->User()), "-p", QString::fromStdString(server->Password()),
                "-h", "/in"});
    THostView *host = Window->ActiveHostView();
    ASSERT_TRUE(WaitUntil([&] { return host->Connected() && !host->Animating(); }, 30s));

    Window->Options().SetChoice(oiLocalDblClk, 0);
    Select({"c.bin"});
    View->ListDblClick(Qt::NoModifier);
    ASSERT_NE(View->PropertiesWindow(), nullptr);
    EXPECT_EQ(View->PropertiesWindow()->lblSize->text(), "68KB (70000 Bytes)");
    View->PropertiesWindow()->reject();

    Window->Options().SetChoice(oiLocalDblClk, 2);
    View->ListDblClick(Qt::NoModifier);
    ASSERT_TRUE(WaitUntil([&] { return ReadAll(server->LocalPath("in/c.bin")).size() == 70000; }, 30s));
    EXPECT_EQ(ReadAll(server->LocalPath("in/c.bin")), Pattern(70000, 1));
}

INSTANTIATE_TEST_SUITE_P(Servers, LocalDoubleClickTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });
