// The progress window and the transfer manager as real widgets (offscreen), watching a
// queue that runs against real servers.

#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"

#include "tests/support/FtpServers.h"
#include "tests/support/WidgetTests.h"
#include "tests/transfers/TransferTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {

// Not a static: the conversion needs the date library's own statics.
TDateTime ServerDate()
{
    return TDateTime::FromDateAndTime(QDate(2020, 1, 2), QTime(3, 4));
}

class TWindows
{
public:
    explicit TWindows(TTransferItems &queue)
        : Progress(queue)
        , Manager(queue, Progress)
    {}
    TfrmTransfer Progress;
    TfrmTransferMngr Manager;

    QPushButton *Button(const char *name) { return Progress.findChild<QPushButton *>(name); }
    QString Label(const char *name) { return Progress.findChild<QLabel *>(name)->text(); }
    TTransferListModel &Rows() { return Manager.Model(); }
    QString RowText(int row, int column)
    {
        Rows().AddPendingRows();
        return Rows().index(row, column).data().toString();
    }
    // The names in the rows, top to bottom.
    std::vector<std::string> RowNames()
    {
        Rows().AddPendingRows();
        std::vector<std::string> names;
        for (int row = 0; row < Rows().rowCount(); ++row)
            names.push_back(Rows().Item(row)->Name);
        return names;
    }
    // Drags row `from` of the list and drops it on row `onto`, as the mouse would.
    bool Drag(int from, int onto, const QMimeData *foreign = nullptr)
    {
        Rows().AddPendingRows();
        TTransferListView *list = Manager.List();
        list->selectRow(from);
        std::unique_ptr<QMimeData> data(Rows().mimeData({Rows().index(from, 0)}));
        const QMimeData *carried = foreign ? foreign : data.get();
        const QPoint target = list->visualRect(Rows().index(onto, 0)).center();
        QDragEnterEvent enter(target, Qt::CopyAction, carried, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QDragMoveEvent move(target, Qt::CopyAction, carried, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(QPointF(target), Qt::CopyAction, carried, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &drop);
        return drop.isAccepted();
    }
};

std::vector<std::string> QueueNames(const TTransferItems &queue)
{
    std::vector<std::string> names;
    for (int i = 0; i < queue.Count(); ++i)
        names.push_back(queue.Items(i)->Name);
    return names;
}

class TransferWindowsTest : public ::testing::TestWithParam<TServerKind>
{
protected:
    void SetUp() override
    {
        FERROW_SKIP_UNLESS_AVAILABLE(GetParam());
        FSavedRetries = TFTPComponent::RetryCount;
        TFTPComponent::RetryCount = 1;
        Server = StartTestServer(GetParam());
        ASSERT_TRUE(LocalDir.isValid());
        Local = QDir(LocalDir.path()).absolutePath().toStdString() + "/";
        Connection.Host = Server->Host();
        Connection.Port = Server->Port();
        Connection.User = Server->User();
        Connection.Password = Server->Password();
        Queue = std::make_unique<TTransferItems>(&Host);
        TTransferSettings settings;
        settings.Passive = true;
        Queue->SetSettings(settings);
        Windows = std::make_unique<TWindows>(*Queue);
        Ended = std::make_unique<QSignalSpy>(&Windows->Progress, &TfrmTransfer::AllTransferred);
    }
    void TearDown() override
    {
        Ended.reset();
        Windows.reset();
        Queue.reset();
        Server.reset();
        if (FSavedRetries)
            TFTPComponent::RetryCount = FSavedRetries;
    }

    TTransferItem &Download(const std::string &folder, const std::string &name, std::int64_t size,
                            bool isFolder = false)
    {
        auto item = MakeItem(Connection, tdDownload, folder, Local + folder.substr(1), name, size);
        item->IsFolder = isFolder;
        item->Date = ServerDate();
        TTransferItem &added = *item;
        EXPECT_GE(Queue->Add(item), 0);
        return added;
    }
    QString LocalPath(const QString &relative) const { return QString::fromStdString(Local) + relative; }
    bool Arrived(const QString &relative) const
    {
        return ReadAll(LocalPath(relative)) == ReadAll(Server->LocalPath(relative));
    }

    std::unique_ptr<TTestFtpServer> Server;
    QTemporaryDir LocalDir;
    std::string Local;
    TConnection Connection;
    TRecordingHost Host;
    std::unique_ptr<TTransferItems> Queue;
    std::unique_ptr<TWindows> Windows;
    std::unique_ptr<QSignalSpy> Ended;

private:
    int FSavedRetries = 0;
};

} // namespace

TEST_P(TransferWindowsTest, AFileWrittenAgainTakesTheFirstDateBeforeTheSecondCopyArrives)
{
    // Two server files of one name into one local folder, one after the other: the
    // first copy's date is set after the second has started, and must not land on it.
    Server->PutFile("one/x.bin", Pattern(100 * 1024, 1));
    Server->PutFile("two/x.bin", Pattern(50 * 1024, 2));
    for (const std::string folder : {"/one/", "/two/"}) {
        auto item = MakeItem(Connection, tdDownload, folder, Local, "x.bin",
                             folder == "/one/" ? 100 * 1024 : 50 * 1024);
        item->Date = ServerDate();
        ASSERT_GE(Queue->Add(item), 0);
    }
    QDateTime dateAsTheSecondStarts;
    TScopedConnections watch;
    watch += Queue->OnItemStarted.Connect([&](TTransferItems &, TTransferItem &item) {
        if (item.SourceFolder == "/two/")
            dateAsTheSecondStarts = QFileInfo(LocalPath("x.bin")).lastModified();
    });
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(dateAsTheSecondStarts, ServerDate().ToDateTime());
    EXPECT_EQ(ReadAll(LocalPath("x.bin")), ReadAll(Server->LocalPath("two/x.bin")));
    EXPECT_EQ(QFileInfo(LocalPath("x.bin")).lastModified(), ServerDate().ToDateTime());
}

TEST_P(TransferWindowsTest, SkipCancelsOneFileOfATreeAndTheRestArriveWithTheirDates)
{
    Server->PutFile("tree/a.bin", Pattern(200 * 1024, 1));
    Server->PutFile("tree/sub/b.bin", Pattern(300 * 1024, 2));
    Server->PutFile("tree/sub/c.bin", Pattern(100 * 1024, 3));
    TfrmTransfer &progress = Windows->Progress;
    progress.show();

    bool skipBeforeLogOn = true;
    QStringList captions;
    TScopedConnections watch;
    watch += Queue->OnItemStarted.Connect([&](TTransferItems &, TTransferItem &item) {
        if (!item.Engine()->LoggedIn()) {
            // Both buttons wait for the engine; a click now changes nothing.
            skipBeforeLogOn =
                Windows->Button("btnSkip")->isEnabled() || Windows->Button("btnCancel")->isEnabled();
            QTest::mouseClick(Windows->Button("btnSkip"), Qt::LeftButton);
            QTest::mouseClick(Windows->Button("btnCancel"), Qt::LeftButton);
        } else if (item.Name == "b.bin") {
            QTest::mouseClick(Windows->Button("btnSkip"), Qt::LeftButton);
        }
    });
    watch += Queue->OnItemProgress.Connect([&](TTransferItems &, TTransferItem &) {
        progress.UpdateDisplay(*progress.CurrentItem());
        captions << progress.windowTitle();
    });
    Download("/", "tree", 0, true);
    Download("/tree/", "a.bin", 200 * 1024);
    Download("/tree/", "sub", 0, true);
    TTransferItem &skipped = Download("/tree/sub/", "b.bin", 300 * 1024);
    Download("/tree/sub/", "c.bin", 100 * 1024);
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_FALSE(skipBeforeLogOn);
    EXPECT_EQ(skipped.Status(), tsCancelled);
    EXPECT_TRUE(Host.StatusTexts.contains("Cancelling file..."));
    EXPECT_EQ(Queue->CountOf(tsDone), 4);
    for (const QString file : {"tree/a.bin", "tree/sub/c.bin"}) {
        EXPECT_TRUE(Arrived(file)) << file.toStdString();
        EXPECT_EQ(QFileInfo(LocalPath(file)).lastModified(), ServerDate().ToDateTime())
            << file.toStdString() << " keeps the server's date, the last file of the run too";
    }
    EXPECT_EQ(Windows->RowText(3, TTransferListModel::colStatus), "Cancelled");
    EXPECT_EQ(Windows->RowText(4, TTransferListModel::colStatus), "Done");
    EXPECT_EQ(Windows->Rows().index(3, 0).data(TTransferListModel::StatusRole).toInt(), int(tsCancelled));
    ASSERT_FALSE(captions.isEmpty());
    EXPECT_TRUE(QRegularExpression(R"(^\d+% Transferred \(\d+(\.\d\d KB| Bytes)/sec\) - Ferrow$)")
                    .match(captions.last())
                    .hasMatch())
        << captions.last().toStdString();

    // The run is over: the window closed itself once and shows nothing.
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(Ended->count(), 1);
    EXPECT_EQ(Windows->Label("lblCurrentBytes"), "0 of 0 bytes copied");
    EXPECT_EQ(progress.windowTitle(), "");
    EXPECT_EQ(Host.StatusTexts.last(), "");

    // The log keeps the dialogue, each line in its colour.
    progress.show();
    EXPECT_EQ(progress.height(), TfrmTransfer::DetailsHiddenHeight);
    QTest::mouseClick(Windows->Button("btnToggleDetails"), Qt::LeftButton);
    EXPECT_EQ(progress.height(), TfrmTransfer::DetailsShownHeight);
    EXPECT_EQ(Windows->Button("btnToggleDetails")->text(), "<< &Details");
    const auto *log = progress.findChild<QPlainTextEdit *>("TransferLog");
    QColor retrColor;
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
        if (block.text().startsWith("RETR /tree/sub/c.bin"))
            retrColor = block.begin().fragment().charFormat().foreground().color();
    }
    EXPECT_EQ(retrColor, QColor(0, 128, 0)) << "commands in green";
    QTest::mouseClick(Windows->Button("btnToggleDetails"), Qt::LeftButton);
    EXPECT_EQ(progress.height(), TfrmTransfer::DetailsHiddenHeight);
    EXPECT_EQ(Windows->Button("btnToggleDetails")->text(), "&Details >>");
}

TEST_P(TransferWindowsTest, CancelStopsEveryPendingFileAndClosesTheWindowAtOnce)
{
    for (const char *name : {"a.bin", "b.bin", "c.bin", "d.bin"})
        Server->PutFile(name, Pattern(50 * 1024));
    TfrmTransfer &progress = Windows->Progress;
    progress.show();
    std::vector<TTransferStatus> atCancel;
    bool closedAtOnce = false;
    int endsAtCancel = -1;
    TScopedConnections watch;
    watch += Queue->OnItemStarted.Connect([&](TTransferItems &queue, TTransferItem &item) {
        if (!item.Engine()->LoggedIn() || endsAtCancel >= 0)
            return;
        QTest::mouseClick(Windows->Button("btnCancel"), Qt::LeftButton);
        for (int i = 0; i < queue.Count(); ++i)
            atCancel.push_back(queue.Items(i)->Status());
        closedAtOnce = !progress.isVisible();
        endsAtCancel = Ended->count();
    });
    for (const char *name : {"a.bin", "b.bin", "c.bin", "d.bin"})
        Download("/", name, 50 * 1024);
    ASSERT_TRUE(RunToIdle(*Queue));

    EXPECT_EQ(atCancel, (std::vector<TTransferStatus>{tsCancelled, tsCancelled, tsCancelled, tsCancelled}));
    EXPECT_TRUE(closedAtOnce);
    EXPECT_EQ(endsAtCancel, 1);
    EXPECT_EQ(Ended->count(), 1) << "the run's end is reported once";
    EXPECT_TRUE(Host.StatusTexts.contains("Cancelling all pending files..."));
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(Windows->RowText(row, TTransferListModel::colStatus), "Cancelled");
    for (const char *name : {"b.bin", "c.bin", "d.bin"})
        EXPECT_FALSE(QFileInfo::exists(LocalPath(name))) << name;
}

TEST_P(TransferWindowsTest, ReSubmitOfACancelledItemCompletes)
{
    Server->PutFile("first.bin", Pattern(100 * 1024, 1));
    Server->PutFile("later.bin", Pattern(5 * 1024, 2));
    TfrmTransferMngr &manager = Windows->Manager;
    manager.show();
    const TTransferItem &first = Download("/", "first.bin", 100 * 1024);
    TTransferItem &later = Download("/", "later.bin", 5 * 1024);
    Windows->Rows().AddPendingRows();
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colFile), "later.bin");
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colSize), "5120");
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colLocal), QString::fromStdString(Local));
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colHost), "/");
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colStatus), "Download Pending");

    manager.PreparePopup(1);
    EXPECT_TRUE(manager.CancelMenuItem()->isEnabled());
    EXPECT_FALSE(manager.ResubmitMenuItem()->isEnabled());
    manager.CancelMenuItem()->trigger();
    EXPECT_EQ(later.Status(), tsCancelled);
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colStatus), "Cancelled");

    // Hidden, the progress window hands its long caption to the taskbar one update late.
    QStringList captions;
    TScopedConnections watch;
    watch += Queue->OnItemProgress.Connect([&](TTransferItems &, TTransferItem &item) {
        Windows->Progress.UpdateDisplay(item);
        captions << Windows->Progress.windowTitle();
    });
    ASSERT_TRUE(RunToIdle(*Queue));
    ASSERT_GE(captions.size(), 2) << "first.bin " << int(first.Status()) << " \"" << first.FailureText() << "\"\n"
                                  << Server->ProtocolLogText().toStdString();
    const QRegularExpression longForm(
        R"(^\d+% Transferred \(file 1/1\), \d+:\d\d remaining at .+/sec - Ferrow$)");
    EXPECT_TRUE(longForm.match(captions.last()).hasMatch()) << captions.last().toStdString();
    EXPECT_TRUE(Host.Titles.contains(captions[captions.size() - 2]))
        << "the taskbar follows one update later";
    EXPECT_GT(Host.ActivityStarted, 0) << "every display update keeps the main window's animation going";
    EXPECT_FALSE(QFileInfo::exists(LocalPath("later.bin")));

    manager.PreparePopup(0);
    EXPECT_FALSE(manager.CancelMenuItem()->isEnabled()) << "done";
    EXPECT_FALSE(manager.ResubmitMenuItem()->isEnabled());
    manager.PreparePopup(1);
    EXPECT_FALSE(manager.CancelMenuItem()->isEnabled());
    ASSERT_TRUE(manager.ResubmitMenuItem()->isEnabled());
    manager.ResubmitMenuItem()->trigger();
    EXPECT_NE(later.Status(), tsCancelled);
    ASSERT_TRUE(RunToIdle(*Queue));
    EXPECT_EQ(later.Status(), tsDone);
    EXPECT_EQ(Windows->RowText(1, TTransferListModel::colStatus), "Done");
    EXPECT_TRUE(Arrived("later.bin"));
    EXPECT_EQ(Ended->count(), 2) << "each run ends once";
}

TEST_P(TransferWindowsTest, DraggingAPendingRowUpMakesItsFileArriveEarlier)
{
    for (const char *name : {"A.bin", "B.bin", "C.bin", "D.bin"})
        Server->PutFile(name, name);
    Windows->Manager.show();
    for (const char *name : {"A.bin", "B.bin", "C.bin", "D.bin"})
        Download("/", name, 5);
    // A is logging on; the others wait.
    ASSERT_TRUE(Windows->Drag(3, 1));
    const std::vector<std::string> order{"A.bin", "D.bin", "B.bin", "C.bin"};
    EXPECT_EQ(Windows->RowNames(), order);
    EXPECT_EQ(QueueNames(*Queue), order);
    ASSERT_TRUE(RunToIdle(*Queue));

    std::vector<std::string> retrieved;
    const QString log = QString::fromUtf8(Server->ProtocolLogText());
    // The command lines only, not pyftpdlib's reports of finished transfers.
    for (const auto &match : QRegularExpression(R"(RETR [^\r\n]*?([A-D]\.bin)[\r\n"])").globalMatch(log))
        retrieved.push_back(match.captured(1).toStdString());
    EXPECT_EQ(retrieved, order) << log.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, TransferWindowsTest,
                         ::testing::Values(TServerKind::Pyftpdlib, TServerKind::Vsftpd),
                         [](const auto &info) { return KindName(info.param); });

TEST(TransferManagerTest, RowsMoveWithTheirItemsAndOnlyThisListsRowsDrop)
{
    TestApp();
    TTransferItems queue;
    TWindows windows(queue);
    windows.Manager.show();
    TConnection nowhere;
    nowhere.Port = 1;
    for (const char *name : {"A", "B", "C", "D"}) {
        auto item = MakeItem(nowhere, tdUpload, "/local/", "/remote/", name, 5LL << 30);
        queue.Add(item);
    }
    EXPECT_EQ(windows.RowText(0, TTransferListModel::colSize), "5368709120");
    EXPECT_EQ(windows.RowText(0, TTransferListModel::colLocal), "/local/");
    EXPECT_EQ(windows.RowText(1, TTransferListModel::colStatus), "Upload Pending");

    ASSERT_TRUE(windows.Drag(0, 2));
    EXPECT_EQ(windows.RowNames(), (std::vector<std::string>{"B", "C", "A", "D"}));
    EXPECT_EQ(QueueNames(queue), windows.RowNames());
    ASSERT_TRUE(windows.Drag(3, 1));
    EXPECT_EQ(windows.RowNames(), (std::vector<std::string>{"B", "D", "C", "A"}));
    EXPECT_EQ(QueueNames(queue), windows.RowNames());
    ASSERT_TRUE(windows.Drag(2, 2));
    EXPECT_EQ(windows.RowNames(), (std::vector<std::string>{"B", "D", "C", "A"}));

    QMimeData text;
    text.setText("A");
    EXPECT_FALSE(windows.Drag(0, 2, &text));
    EXPECT_EQ(QueueNames(queue), windows.RowNames());
    EXPECT_EQ(windows.RowNames(), (std::vector<std::string>{"B", "D", "C", "A"}));

    // An item freed while it waits takes its row along; the pop-up on it does nothing.
    windows.Manager.PreparePopup(1);
    delete queue.Items(1);
    windows.Manager.CancelMenuItem()->trigger();
    EXPECT_EQ(windows.RowNames(), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(windows.RowText(2, TTransferListModel::colFile), "A");
    EXPECT_EQ(QueueNames(queue), windows.RowNames());
}
