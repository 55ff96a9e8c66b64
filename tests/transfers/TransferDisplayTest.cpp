// What the progress window and the transfer manager show, from the numbers the queue
// reports; real runs are in TransferWindowsTest.

#include "transfers/TransferDisplay.h"

#include "tests/support/EventLoop.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr std::int64_t GiB = 1024LL * 1024 * 1024;

TProgressFigures Figures(std::int64_t size, std::int64_t offset, std::int64_t done, std::uint64_t elapsedMS)
{
    TProgressFigures figures;
    figures.Name = "file.bin";
    figures.Size = size;
    figures.RestartOffset = offset;
    figures.BytesDone = done;
    figures.ElapsedTicks = elapsedMS;
    figures.LoggedOn = true;
    figures.RunBytesDone = done;
    figures.RunBytesRemaining = size - offset - done;
    figures.RunElapsedTicks = elapsedMS;
    return figures;
}

} // namespace

TEST(TransferDisplayTest, TimesAndRatesReadAsTheUserExpects)
{
    EXPECT_EQ(FormatMinSec(-1), "0:00") << "MulDiv's -1 for nothing moved yet";
    EXPECT_EQ(FormatMinSec(65), "1:05");
    EXPECT_EQ(FormatMinSec(3725), "62:05") << "minutes are not limited to 59";
    EXPECT_EQ(RateText(0), "0 Bytes");
    EXPECT_EQ(RateText(1023), "1023 Bytes");
    EXPECT_EQ(RateText(1024), "1.00 KB");
    EXPECT_EQ(RateText(1536), "1.50 KB");
    EXPECT_EQ(RateText(10240), "10.00 KB");
    EXPECT_EQ(RateText(1048576), "1024.00 KB") << "there is no MB step";
}

TEST(TransferDisplayTest, ResumedFileCountsTheBytesAlreadyThere)
{
    // 1000 bytes, 400 there before, 300 more moved in 6 s.
    const TProgressTexts texts = ProgressTexts(Figures(1000, 400, 300, 6000));
    EXPECT_EQ(texts.CurrentBytes, "700 of 1000 bytes copied");
    EXPECT_EQ(texts.CurrentPercent, 50) << "300 of the 600 this attempt moves";
    EXPECT_EQ(texts.CurrentElapsed, "0:06 elapsed");
    EXPECT_EQ(texts.CurrentRemaining, "0:06 remaining");
    EXPECT_EQ(texts.TotalBytes, "300 of 600 bytes copied");
    EXPECT_EQ(texts.Rate, "50 Bytes");
}

TEST(TransferDisplayTest, NothingMovedAndTheFirstSecond)
{
    const TProgressTexts idle = ProgressTexts(Figures(5000, 0, 0, 7000));
    EXPECT_EQ(idle.CurrentRemaining, "0:00 remaining");
    EXPECT_EQ(idle.TotalRemaining, "0:00 remaining");

    const TProgressTexts early = ProgressTexts(Figures(1 << 20, 0, 5000, 999));
    EXPECT_EQ(early.Rate, "0 Bytes") << "no rate before a whole second";
    const TProgressTexts second = ProgressTexts(Figures(4 << 20, 0, 1 << 20, 1000));
    EXPECT_EQ(second.Rate, "1024.00 KB");
    EXPECT_EQ(second.ShownCaption, "25% Transferred (1024.00 KB/sec) - Ferrow");
}

TEST(TransferDisplayTest, FileCountAndTheHiddenWindowsLongCaption)
{
    TProgressFigures figures = Figures(3000, 0, 1000, 10000);
    figures.FilesDone = 1;
    figures.Pending = 1;
    figures.RunBytesDone = 4000; // the first file, 3000 bytes, is done
    figures.RunBytesRemaining = 2000 + 3000;
    const TProgressTexts texts = ProgressTexts(figures);
    EXPECT_EQ(texts.FileCount, "File 2 of 3");
    EXPECT_EQ(texts.TotalPercent, 44);
    EXPECT_EQ(texts.HiddenCaption, "44% Transferred (file 2/3), 0:13 remaining at 400 Bytes/sec - Ferrow");
    EXPECT_EQ(texts.StatusText, "44% Transferred (file 2/3), 0:13 remaining at 400 Bytes/sec");

    figures.LoggedOn = false;
    EXPECT_EQ(ProgressTexts(figures).StatusText, "") << "the status bar says it is logging on meanwhile";
}

TEST(TransferDisplayTest, FilesOverFourGibibytesShowTheirRealSize)
{
    const TProgressTexts texts = ProgressTexts(Figures(5 * GiB, 0, 5 * GiB / 2, 100000));
    EXPECT_EQ(texts.CurrentBytes, "2684354560 of 5368709120 bytes copied");
    EXPECT_EQ(texts.CurrentPercent, 50);
    EXPECT_EQ(texts.TotalPercent, 50);
    EXPECT_EQ(texts.CurrentRemaining, "1:40 remaining");
    EXPECT_EQ(texts.Rate, "26214.40 KB");
    EXPECT_EQ(RowStatusText(tsInProgress, tdDownload, true, 5 * GiB / 2, 5 * GiB),
              "2684354560 bytes copied, 50% done");
}

TEST(TransferDisplayTest, RowStatusAndPopupCommands)
{
    // The running text counts this attempt's bytes against the whole size.
    EXPECT_EQ(RowStatusText(tsInProgress, tdDownload, true, 300, 1000), "300 bytes copied, 30% done");
    EXPECT_EQ(RowStatusText(tsInProgress, tdDownload, true, 300, 0), "300 bytes copied, 0% done");
    EXPECT_EQ(RowStatusText(tsInProgress, tdUpload, false, 0, 1000), "") << "still logging on";
    EXPECT_EQ(RowStatusText(tsPending, tdUpload, true, 0, 1000), "Upload Pending");

    const TTransferStatus all[] = {tsPending, tsInProgress, tsDone, tsCancelled, tsFailed};
    std::string cancel, resubmit;
    for (TTransferStatus status : all) {
        cancel += CanCancelTransfer(status) ? '1' : '0';
        resubmit += CanResubmitTransfer(status) ? '1' : '0';
    }
    EXPECT_EQ(cancel, "11000");
    EXPECT_EQ(resubmit, "00010");
}

TEST(TransferDisplayTest, OnlyAWholeDownloadTakesTheServersDate)
{
    TestApp();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("f.bin");
    ASSERT_TRUE(WriteAll(path, "content"));
    const QDateTime before = QFileInfo(path).lastModified();

    TTransferItem item;
    item.DestFolder = folder.path().toStdString() + "/";
    item.Name = "f.bin";
    item.Date = TDateTime::FromDateAndTime(QDate(2019, 5, 6), QTime(7, 8));
    TTransferSettings settings;

    item.SetStatus(tsFailed);
    EXPECT_FALSE(StampDownloadedFile(item, settings)) << "a partial file must not look current";
    item.SetStatus(tsInProgress);
    settings.PreserveTimeStamp = false;
    EXPECT_FALSE(StampDownloadedFile(item, settings));
    item.Direction = tdUpload;
    settings.PreserveTimeStamp = true;
    EXPECT_FALSE(StampDownloadedFile(item, settings));
    EXPECT_EQ(QFileInfo(path).lastModified(), before);

    item.Direction = tdDownload;
    EXPECT_TRUE(StampDownloadedFile(item, settings));
    EXPECT_EQ(QFileInfo(path).lastModified(), item.Date.ToDateTime());
    EXPECT_EQ(ReadAll(path), "content") << "its bytes are left alone";

    item.Name = "missing.bin";
    EXPECT_FALSE(StampDownloadedFile(item, settings));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("missing.bin"))) << "nothing is created";

    // A link put in the downloaded file's place: what it points to keeps its date.
    const QString target = folder.filePath("elsewhere.txt");
    ASSERT_TRUE(WriteAll(target, "not ours"));
    const QDateTime targetDate = QFileInfo(target).lastModified();
    ASSERT_TRUE(QFile::link(target, folder.filePath("link.bin")));
    item.Name = "link.bin";
    StampDownloadedFile(item, settings);
    EXPECT_EQ(QFileInfo(target).lastModified(), targetDate);
}
