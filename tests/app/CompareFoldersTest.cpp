#include "app/Compare.h"
#include "app/CompareForm.h"
#include "app/Main.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/WidgetTests.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;

namespace {

class CompareFoldersTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        WidgetTestApp();
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FFolder.isValid());
        QDir(FFolder.path()).mkdir("local");
    }

    QString LocalPath(const QString &name) const { return FFolder.filePath("local/" + name); }
    void PutLocal(const QString &name, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(LocalPath(name)).absolutePath());
        QFile file(LocalPath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    std::unique_ptr<TfrmMain> MakeWindow(const TTestFtpServer &server)
    {
        const QStringList arguments{
            "-c", QString::fromStdString(server.Host()) + ':' + QString::number(server.Port()),
            "-u", QString::fromStdString(server.User()),
            "-p", QString::fromStdString(server.Password()),
            "-l", FFolder.filePath("local")};
        return std::make_unique<TfrmMain>(
            arguments, FTransfers.Queue(),
            std::make_unique<TWindowStateStore>(FFolder.filePath("ScrivelFerrow.ini")));
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
    TGlobalTransferItems FTransfers;
};

QAction *CompareEntry(const TfrmMain &window)
{
    for (const QAction *menu : window.menuBar()->actions()) {
        if (menu->text() != "&Edit")
            continue;
        for (QAction *entry : menu->menu()->actions()) {
            if (entry->text() == "&Compare Folders")
                return entry;
        }
    }
    return nullptr;
}

// Runs Compare Folders; `answer` sets the options window and closes it.
void RunCompare(TfrmMain &window, std::function<void(TfrmCompareOptions &)> answer)
{
    QAction *compare = CompareEntry(window);
    ASSERT_NE(compare, nullptr);
    ASSERT_TRUE(compare->isEnabled());
    bool answered = false;
    AnswerNextModalWindow([&](QWidget &shown) {
        auto &form = dynamic_cast<TfrmCompareOptions &>(shown);
        EXPECT_EQ(form.windowTitle(), "Comparaison Options");
        EXPECT_FALSE(form.IgnoreSizeBox()->isChecked()) << "each opening starts from the defaults";
        EXPECT_TRUE(form.IgnoreDateBox()->isChecked());
        answer(form);
        answered = true;
    });
    compare->trigger();
    ASSERT_TRUE(answered);
}

void PressOk(TfrmCompareOptions &form)
{
    form.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}

QStringList SelectedNames(const TCustomView &view)
{
    QStringList names;
    for (const QModelIndex &item : view.SelectedItems())
        names << view.GetItemName(item);
    names.sort(Qt::CaseInsensitive);
    return names;
}

bool ShowsAll(const TCustomView &view, int count)
{
    const auto *host = qobject_cast<const THostView *>(&view);
    return view.ItemCount() == count && (!host || (host->Connected() && !host->Animating()));
}

} // namespace

TEST_P(CompareFoldersTest, SelectsWhatDiffersAndUploadAndDownloadBringTheFoldersLevel)
{
    FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
    auto server = StartTestServer(GetParam());
    server->PutFile("same.txt", "0123456789");
    server->PutFile("bigger-local.txt", "0123456789");
    server->PutFile("case.txt", "12345");
    server->PutFile("dated.txt", "fresh");
    server->PutFile("only-remote.txt", "remote");
    server->PutFile("both/x.txt", "x");
    PutLocal("same.txt", "0123456789");
    PutLocal("bigger-local.txt", "0123456789 and more");
    PutLocal("Case.TXT", "12345");
    PutLocal("dated.txt", "stale");
    PutLocal("only-local.txt", "local");
    PutLocal("localdir/inner.txt", "in a local folder");
    PutLocal("both/x.txt", "x");
    QFile dated(LocalPath("dated.txt"));
    ASSERT_TRUE(dated.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        dated.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4)), QFileDevice::FileModificationTime));
    dated.close();

    auto window = MakeWindow(*server);
    TTransferSettings settings = window->Queue().Settings();
    settings.ConfirmOverwrites = false;
    settings.ConfirmRestarts = false;
    settings.TryToResume = 0;
    window->Queue().SetSettings(settings);
    window->show();
    THostView *remote = window->ActiveHostView();
    TLocalView *local = window->ActiveLocalView();
    ASSERT_TRUE(WaitUntil([&] { return ShowsAll(*remote, 6) && ShowsAll(*local, 7); }, 30s))
        << "remote " << remote->ItemCount() << (remote->Connected() ? " connected" : "") << " \""
        << remote->LastError().toStdString() << "\", local " << local->ItemCount() << "\n"
        << server->ProtocolLogText().toStdString();

    // Dates not ignored: the newer remote file is selected there, its older twin is not.
    RunCompare(*window, [](TfrmCompareOptions &form) {
        form.IgnoreDateBox()->setChecked(false);
        PressOk(form);
    });
    EXPECT_TRUE(SelectedNames(*remote).contains("dated.txt"));
    EXPECT_FALSE(SelectedNames(*local).contains("dated.txt"));

    // Cancel leaves both selections as they were.
    const QStringList localBefore = SelectedNames(*local);
    const QStringList remoteBefore = SelectedNames(*remote);
    RunCompare(*window, [](TfrmCompareOptions &form) { form.reject(); });
    EXPECT_EQ(SelectedNames(*local), localBefore);
    EXPECT_EQ(SelectedNames(*remote), remoteBefore);

    // The defaults: sizes count, dates do not; letter case does not tell names apart; a
    // folder on both sides is level whatever sizes the two kinds of view give folders.
    RunCompare(*window, PressOk);
    EXPECT_EQ(SelectedNames(*local), QStringList({"bigger-local.txt", "localdir", "only-local.txt"}));
    EXPECT_EQ(SelectedNames(*remote), QStringList({"only-remote.txt"}));

    // Each side's transfers refresh the other side's list, so the user compares again
    // before the second direction.
    TTransferItems &queue = window->Queue();
    const auto transfersEnded = [&] { return queue.Count() > 0 && queue.IsIdle(); };
    remote->TransferFrom(local);
    ASSERT_TRUE(WaitUntil(transfersEnded, 60s));
    ASSERT_TRUE(WaitUntil([&] { return ShowsAll(*remote, 8); }, 30s));
    RunCompare(*window, PressOk);
    EXPECT_EQ(SelectedNames(*local), QStringList());
    EXPECT_EQ(SelectedNames(*remote), QStringList({"only-remote.txt"}));
    remote->TransferTo(local);
    ASSERT_TRUE(WaitUntil(transfersEnded, 60s));
    EXPECT_EQ(queue.CountOf(tsDone), queue.Count());
    EXPECT_TRUE(QFile::exists(LocalPath("only-remote.txt")));
    EXPECT_TRUE(QFile::exists(server->LocalPath("localdir/inner.txt")));
    EXPECT_EQ(QFileInfo(server->LocalPath("bigger-local.txt")).size(),
              QFileInfo(LocalPath("bigger-local.txt")).size());

    remote->Refresh();
    local->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return ShowsAll(*remote, 8) && ShowsAll(*local, 8); }, 30s));
    RunCompare(*window, PressOk);
    EXPECT_EQ(SelectedNames(*local), QStringList());
    EXPECT_EQ(SelectedNames(*remote), QStringList());
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Servers, CompareFoldersTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(CompareRuleTest, TheFirstEntryOfACaptionCountsAndEqualValuesNeverSelect)
{
    const TDateTime older(45000.5);
    const TDateTime newer(45001.5);
    const std::vector<TCompareEntry> local{{"Report.TXT", 10, older}, {"b", 5, newer}, {"ä.txt", 1, older}};
    // A server may hold names that differ in letter case only.
    const std::vector<TCompareEntry> remote{
        {"report.txt", 10, older}, {"REPORT.txt", 1, older}, {"Ä.TXT", 1, older}, {"b", 5, newer}};
    const TCompareSettings sizesAndDates{.IgnoreSize = false, .IgnoreDate = false};
    const TCompareResult result = CompareFolders(local, remote, sizesAndDates);
    EXPECT_EQ(result.LocalRows, std::vector<int>())
        << "matched with the first report.txt, not the smaller second";
    EXPECT_EQ(result.RemoteRows, std::vector<int>());

    const std::vector<TCompareEntry> bigger{{"report.txt", 11, older}};
    EXPECT_EQ(RowsToMark(bigger, local, sizesAndDates), std::vector<int>({0}));
    EXPECT_EQ(RowsToMark(bigger, local, {.IgnoreSize = true, .IgnoreDate = false}), std::vector<int>());
    EXPECT_EQ(RowsToMark(local, bigger, sizesAndDates), std::vector<int>({1, 2})) << "smaller never selects";

    // Folder sizes mean nothing across the two kinds of view; their dates still count.
    const std::vector<TCompareEntry> localFolder{{"docs", 0, older, true}};
    const std::vector<TCompareEntry> remoteFolder{{"docs", 4096, older, true}};
    EXPECT_EQ(RowsToMark(remoteFolder, localFolder, sizesAndDates), std::vector<int>());
    const std::vector<TCompareEntry> newerFolder{{"docs", 4096, newer, true}};
    EXPECT_EQ(RowsToMark(newerFolder, localFolder, sizesAndDates), std::vector<int>({0}));
}
