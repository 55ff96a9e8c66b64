#include "views/LoclView.h"

#include "views/FileList.h"
#include "views/LocalFiles.h"

#include "tests/support/WidgetTests.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>

namespace {

class LocalViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        // The trash of this test lives beside its files.
        ASSERT_TRUE(QDir().mkpath(Folder.filePath("data")));
        qputenv("XDG_DATA_HOME", Folder.filePath("data").toUtf8());
        Root = Folder.filePath("root");
        ASSERT_TRUE(QDir().mkpath(Root + "/sub/deeper"));
        Write("a.txt", QByteArray(1, 'a'));
        Write("b.bin", QByteArray(1536, 'b'));
        Write("sub/inner.txt", "inner");
        View = std::make_unique<TLocalView>();
        View->resize(600, 400);
        View->show();
        View->Confirm = [this](const QString &question) {
            Questions << question;
            return Answer;
        };
        View->ShowError = [this](const QString &message) { Errors << message; };
        QObject::connect(View.get(), &TCustomView::FolderShown, [this](TCustomView *) { ++FolderChanges; });
        ASSERT_TRUE(View->ChangeFolderAndWait(Root));
        ASSERT_TRUE(WaitUntil([&] { return View->ItemCount() == 3; }));
    }
    void TearDown() override
    {
        View.reset();
        qunsetenv("XDG_DATA_HOME");
    }

    void Write(const QString &relative, const QByteArray &content)
    {
        QFile file(Root + '/' + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QModelIndex Item(const QString &name) const
    {
        for (int row = 0; row < View->ItemCount(); ++row) {
            const QModelIndex item = View->ListView()->Item(row);
            if (View->GetItemName(item) == name)
                return item;
        }
        return QModelIndex();
    }
    QStringList Names() const
    {
        QStringList names;
        for (int row = 0; row < View->ItemCount(); ++row)
            names << View->GetItemName(View->ListView()->Item(row));
        names.sort();
        return names;
    }
    bool WaitForNames(const QStringList &names)
    {
        return WaitUntil([&] { return Names() == names; });
    }

    QTemporaryDir Folder;
    QString Root;
    std::unique_ptr<TLocalView> View;
    QStringList Questions;
    QStringList Errors;
    bool Answer = true;
    int FolderChanges = 0;
};

TEST_F(LocalViewTest, ShowsTheFolderWithItsStatusTexts)
{
    EXPECT_EQ(View->GetFolder(), Root + '/');
    EXPECT_EQ(View->Seperator(), QLatin1Char('/'));
    EXPECT_EQ(View->DisplayName(), "root");
    ASSERT_TRUE(WaitUntil([&] { return View->PanelText(1) == "3 Entries, 1.5KB"; })) << View->PanelText(1).toStdString();
    EXPECT_EQ(View->PanelText(0), "*.*");
    EXPECT_EQ(View->PanelText(2), "0 Items Selected, 0 Bytes");
    EXPECT_TRUE(QRegularExpression("^[0-9,]+ Bytes Free$").match(View->PanelText(3)).hasMatch())
        << View->PanelText(3).toStdString();
    EXPECT_GT(FolderChanges, 0);

    View->ListView()->SelectRow(Item("a.txt").row());
    EXPECT_EQ(View->PanelText(2), "1 Item Selected, 1 Byte");
    View->SelectAll();
    EXPECT_EQ(View->PanelText(2), "3 Items Selected, 1.5KB");
}

// Sizes and dates show whole in a new list, and the four columns fit one side of a
// window on a laptop screen without scrolling sideways.
TEST_F(LocalViewTest, StartingColumnsShowWholeSizesAndDates)
{
    Write("large.bin", QByteArray());
    ASSERT_TRUE(QFile::resize(Root + "/large.bin", 9'000'000'000LL));
    View->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return Item("large.bin").isValid(); }));
    const QHeaderView *header = View->ListView()->Header();
    const QFontMetrics metrics = View->ListView()->DetailsView()->fontMetrics();
    constexpr int cellMargins = 8;
    for (int row = 0; row < View->ItemCount(); ++row) {
        for (const int column : {1, 3}) {
            const QString text = View->ListView()->Item(row).siblingAtColumn(column).data().toString();
            EXPECT_GE(header->sectionSize(column), metrics.horizontalAdvance(text) + cellMargins)
                << text.toStdString();
        }
    }
    QTreeView *list = View->ListView()->DetailsView();
    View->resize(View->width() - list->viewport()->width() + 480, View->height());
    ASSERT_TRUE(WaitUntil([&] { return list->viewport()->width() == 480; }));
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
}

TEST_F(LocalViewTest, ItemsReportPathsKindsAndSizes)
{
    const QModelIndex a = Item("a.txt");
    const QModelIndex sub = Item("sub");
    ASSERT_TRUE(a.isValid() && sub.isValid());
    EXPECT_EQ(View->GetItemPath(a), Root + "/a.txt");
    EXPECT_FALSE(View->IsFolder(a));
    EXPECT_TRUE(View->IsFolder(sub));
    EXPECT_EQ(View->GetItemSize(a), 1);
    EXPECT_EQ(View->GetItemSize(sub), 0);
    EXPECT_FALSE(View->IsLink(a));
}

TEST_F(LocalViewTest, DatesAreWholeMinutes)
{
    QFile file(Root + "/a.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime modified(QDate(2020, 1, 2), QTime(10, 15, 42, 500));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    View->Refresh();
    ASSERT_TRUE(WaitUntil([&] {
        const QModelIndex a = Item("a.txt");
        return a.isValid() && View->GetItemDate(a).Date() == QDate(2020, 1, 2);
    }));
    EXPECT_EQ(View->GetItemDate(Item("a.txt")).Time(), QTime(10, 15, 0));
}

TEST_F(LocalViewTest, BrowsesDownAndUp)
{
    ASSERT_TRUE(View->EnterFolder(Item("sub")));
    EXPECT_EQ(View->GetFolder(), Root + "/sub/");
    ASSERT_TRUE(WaitForNames({"deeper", "inner.txt"}));
    EXPECT_FALSE(View->EnterFolder(Item("inner.txt")));
    ASSERT_TRUE(View->FolderUp());
    EXPECT_EQ(View->GetFolder(), Root + '/');
    ASSERT_TRUE(WaitForNames({"a.txt", "b.bin", "sub"}));

    // Backspace goes up as well.
    EXPECT_TRUE(View->ListKeyDown(Qt::Key_Backspace, Qt::NoModifier));
    EXPECT_EQ(View->GetFolder(), Folder.path() + '/');

    View->ChangeFolder(QStringLiteral("/"));
    EXPECT_TRUE(View->IsAtRoot());
    EXPECT_EQ(View->GetFolder(), "/");
    EXPECT_FALSE(View->FolderUp());
}

TEST_F(LocalViewTest, UnknownFolderSelectsTheRoot)
{
    EXPECT_TRUE(View->ChangeFolder(Root + "/does/not/exist"));
    EXPECT_EQ(View->GetFolder(), "/");
}

TEST_F(LocalViewTest, MasksFilterFilesButNeverFolders)
{
    const int changes = FolderChanges;
    View->SetMask(QStringLiteral("*.TXT"));
    EXPECT_EQ(View->GetMask(), "*.TXT");
    EXPECT_EQ(View->PanelText(0), "*.txt");
    ASSERT_TRUE(WaitForNames({"a.txt", "sub"}));
    EXPECT_GT(FolderChanges, changes);

    // The mask already in force does not refresh the list.
    const int refreshed = FolderChanges;
    View->SetMask(QStringLiteral("*.TXT"));
    EXPECT_EQ(FolderChanges, refreshed);

    View->SetMask(QString());
    EXPECT_EQ(View->GetMask(), "*.*");
    ASSERT_TRUE(WaitForNames({"a.txt", "b.bin", "sub"}));
}

TEST_F(LocalViewTest, DroppingOnAnotherLocalViewDoesNothing)
{
    TLocalView other;
    ASSERT_TRUE(other.ChangeFolderAndWait(Folder.path()));
    View->SelectAll();
    QAbstractItemView *source = View->ListView()->CurrentView();
    EXPECT_TRUE(other.ListDragOver(source));
    EXPECT_FALSE(View->ListDragOver(source));
    EXPECT_FALSE(View->TransferTo(&other));
    other.ListDragDrop(source);
    EXPECT_TRUE(QFileInfo::exists(Root + "/a.txt"));
    EXPECT_FALSE(QFileInfo::exists(Folder.path() + "/a.txt"));
}

TEST_F(LocalViewTest, CopyAndPasteKeepBothFiles)
{
    View->ListView()->SelectRow(Item("a.txt").row());
    View->CopySelection();
    const TClipboardFiles clip = ClipboardFiles(QGuiApplication::clipboard()->mimeData());
    EXPECT_EQ(clip.Paths, QStringList({Root + "/a.txt"}));
    EXPECT_FALSE(clip.Cut);

    View->PasteSelection();
    ASSERT_TRUE(WaitForNames({"a (2).txt", "a.txt", "b.bin", "sub"}));
    ASSERT_TRUE(View->ChangeFolderAndWait(Root + "/sub"));
    View->PasteSelection();
    EXPECT_TRUE(QFileInfo::exists(Root + "/sub/a.txt"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(LocalViewTest, CutAndPasteMovesTheFile)
{
    View->ListView()->SelectRow(Item("b.bin").row());
    View->CutSelection();
    ASSERT_TRUE(View->ChangeFolderAndWait(Root + "/sub"));
    View->PasteSelection();
    EXPECT_TRUE(QFileInfo::exists(Root + "/sub/b.bin"));
    EXPECT_FALSE(QFileInfo::exists(Root + "/b.bin"));
    EXPECT_EQ(QFileInfo(Root + "/sub/b.bin").size(), 1536);
    // The moved file is not offered again.
    EXPECT_TRUE(ClipboardFiles(QGuiApplication::clipboard()->mimeData()).Paths.isEmpty());
}

TEST_F(LocalViewTest, NewFoldersGetFreeNames)
{
    EXPECT_TRUE(View->CreateFolder(QString(), false));
    EXPECT_TRUE(View->CreateFolder(QStringLiteral("ignored"), false));
    EXPECT_TRUE(QFileInfo(Root + "/New Folder").isDir());
    EXPECT_TRUE(QFileInfo(Root + "/New Folder (2)").isDir());
    EXPECT_FALSE(QFileInfo::exists(Root + "/ignored"));
}

TEST_F(LocalViewTest, RenamesOnDiskAndTellsBeforeCaptionEdits)
{
    EXPECT_TRUE(View->RenameItem(Root + "/a.txt", Root + "/renamed.txt"));
    EXPECT_TRUE(QFileInfo::exists(Root + "/renamed.txt"));
    EXPECT_FALSE(View->RenameItem(Root + "/renamed.txt", Root + "/b.bin")) << "never replaces a file";
    EXPECT_EQ(QFileInfo(Root + "/b.bin").size(), 1536);

    QStringList changing;
    const QObject listener;
    QObject::connect(View.get(), &TCustomView::FileChanging, &listener,
                     [&](TCustomView *, const QString &path) { changing << path; });
    ASSERT_TRUE(WaitUntil([&] { return Item("renamed.txt").isValid(); }));
    ASSERT_TRUE(View->Model()->setData(Item("renamed.txt"), QStringLiteral("edited.txt"), Qt::EditRole));
    EXPECT_EQ(changing, QStringList({Root + "/renamed.txt"}));
    EXPECT_TRUE(QFileInfo::exists(Root + "/edited.txt"));
}

TEST_F(LocalViewTest, DeleteAsksThenMovesToTheTrash)
{
    QStringList changing;
    const QObject listener;
    QObject::connect(View.get(), &TCustomView::FileChanging, &listener,
                     [&](TCustomView *, const QString &path) { changing << path; });
    View->ListView()->SelectRow(Item("a.txt").row());
    View->ListView()->SelectRow(Item("sub").row());

    Answer = false;
    EXPECT_TRUE(View->DeleteSelected(true));
    ASSERT_EQ(Questions.size(), 1);
    EXPECT_EQ(Questions.first(), "Are you sure you want to move these 2 items to the Trash?");
    EXPECT_TRUE(QFileInfo::exists(Root + "/a.txt"));
    // Only files are announced, before the question.
    EXPECT_EQ(changing, QStringList({Root + "/a.txt"}));

    Answer = true;
    EXPECT_TRUE(View->ListKeyDown(Qt::Key_Delete, Qt::ShiftModifier));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(Root + "/a.txt"));
    EXPECT_FALSE(QFileInfo::exists(Root + "/sub"));
    EXPECT_TRUE(QFileInfo::exists(Folder.filePath("data/Trash/files/a.txt")));
    EXPECT_TRUE(QFileInfo::exists(Root + "/b.bin"));
}

TEST_F(LocalViewTest, SizesAndDatesFollowTheDisk)
{
    // A download grows a listed file in place; nothing tells the folder's watcher.
    const QModelIndex a = Item("a.txt");
    ASSERT_TRUE(a.isValid());
    {
        QFile file(Root + "/a.txt");
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(100 * 1024, 'x'));
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)), QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(View->GetItemSize(a), 100 * 1024 + 1) << "the transfer decision reads the disk";
    EXPECT_EQ(View->GetItemDate(a).ToDateTime(), QDateTime(QDate(2021, 3, 4), QTime(5, 6)));
    const auto shownSize = [&] {
        return View->Model()->index(Item("a.txt").row(), TLocalFolderModel::colSize).data().toString();
    };
    EXPECT_TRUE(WaitUntil([&] { return shownSize() == "101KB"; })) << shownSize().toStdString();

    // The queue names each file it finished; a new one shows without a full refresh.
    Write("arrived.bin", QByteArray(4096, 'z'));
    View->UpdateEntry(QFile::encodeName(Root).toStdString(), "arrived.bin", 0, 4096, TDateTime());
    ASSERT_TRUE(WaitForNames({"a.txt", "arrived.bin", "b.bin", "sub"}));
    EXPECT_EQ(View->GetItemSize(Item("arrived.bin")), 4096);
    EXPECT_TRUE(WaitUntil([&] { return View->PanelText(1) == "4 Entries, 106KB"; })) << View->PanelText(1).toStdString();
}

TEST_F(LocalViewTest, EveryStyleShowsIconsAndWholeNames)
{
    const QString longName = "quarterly-report-for-the-board.txt";
    Write(longName, "x");
    QDir(Root).mkdir("a-folder-with-a-long-name");
    ASSERT_TRUE(WaitUntil([&] { return Item(longName).isValid() && Item("a-folder-with-a-long-name").isValid(); }));
    for (const int style : {0, 1, 2, 3}) {
        View->SetViewStyle(style);
        for (const QString &name : {longName, QString("sub"), QString("b.bin")}) {
            const QIcon icon = Item(name).data(Qt::DecorationRole).value<QIcon>();
            EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << "style " << style << ", " << name.toStdString();
        }
    }
    // In the List style the first name ("a.txt") must not set every item's width.
    View->SetViewStyle(2);
    QAbstractItemView *list = View->ListView()->CurrentView();
    QApplication::processEvents();
    const QModelIndex item = Item(longName);
    const int needed = list->fontMetrics().horizontalAdvance(longName) + list->iconSize().width();
    EXPECT_GE(list->visualRect(item).width(), needed);
}

// ---- Local file helpers ----

TEST(LocalFiles, FreeNamesKeepTheExtension)
{
    QTemporaryDir dir;
    QFile(dir.filePath("x.txt")).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("folder.d");
    EXPECT_EQ(FreeName(dir.path(), "new.txt", false), "new.txt");
    EXPECT_EQ(FreeName(dir.path(), "x.txt", false), "x (2).txt");
    EXPECT_EQ(FreeName(dir.path(), "folder.d", true), "folder.d (2)");
}

TEST(LocalFiles, ClipboardCarriesCutOrCopy)
{
    const std::unique_ptr<QMimeData> data(FileClipboardData({"/tmp/a b.txt", "/tmp/c"}, true));
    EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("cut\nfile:///tmp/a%20b.txt"));
    const TClipboardFiles files = ClipboardFiles(data.get());
    EXPECT_TRUE(files.Cut);
    EXPECT_EQ(files.Paths, QStringList({"/tmp/a b.txt", "/tmp/c"}));
    QMimeData web;
    web.setUrls({QUrl("http://example.com/x")});
    EXPECT_TRUE(ClipboardFiles(&web).Paths.isEmpty());
}

TEST(LocalFiles, FolderCannotGoIntoItself)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("tree/inner"));
    QString error;
    EXPECT_FALSE(CopyEntry(dir.filePath("tree"), dir.filePath("tree/inner"), "tree", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(MoveEntry(dir.filePath("tree"), dir.filePath("tree/inner"), "tree", &error));
    EXPECT_TRUE(QFileInfo(dir.filePath("tree/inner")).isDir());
    EXPECT_TRUE(CopyEntry(dir.filePath("tree"), dir.path(), "copy", &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("copy/inner")).isDir());
}

} // namespace
