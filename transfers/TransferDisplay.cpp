#include "transfers/TransferDisplay.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString ProgramSuffix = QStringLiteral(" - Ferrow");

bool EngineLoggedOn(const TTransferItem &item)
{
    return item.Status() == tsInProgress && item.Engine() && item.Engine()->LoggedIn();
}

} // namespace

QString FormatMinSec(std::int64_t seconds)
{
    const std::int64_t s = std::max<std::int64_t>(seconds, 0);
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString RateText(std::int64_t bytesPerSecond)
{
    if (bytesPerSecond < 1024)
        return QStringLiteral("%1 Bytes").arg(bytesPerSecond);
    QString hundredths = QString::number(MulDiv(bytesPerSecond, 100, 1024));
    hundredths.insert(hundredths.size() - 2, QLatin1Char('.'));
    return hundredths + QStringLiteral(" KB");
}

QString BytesCopiedText(std::int64_t done, std::int64_t total)
{
    return QStringLiteral("%1 of %2 bytes copied").arg(done).arg(total);
}

TProgressFigures ProgressFigures(const TTransferItems &queue, const TTransferItem &item)
{
    TProgressFigures figures;
    figures.Name = item.Name;
    figures.Size = item.Size;
    figures.RestartOffset = item.RestartOffset;
    figures.BytesDone = item.BytesDone();
    figures.ElapsedTicks = item.ElapsedTicks();
    figures.LoggedOn = EngineLoggedOn(item);
    figures.RunBytesDone = queue.BytesDone();
    figures.RunBytesRemaining = queue.BytesRemaining();
    figures.FilesDone = queue.FilesDone();
    figures.Pending = queue.CountOf(tsPending);
    figures.RunElapsedTicks = queue.ElapsedTicks();
    return figures;
}

TProgressTexts ProgressTexts(const TProgressFigures &f)
{
    TProgressTexts texts;
    texts.FileName = DisplayText(f.Name);
    texts.CurrentBytes = BytesCopiedText(f.BytesDone + f.RestartOffset, f.Size);
    texts.CurrentPercent = TransferPercent(f.BytesDone, f.Size - f.RestartOffset);
    const std::int64_t fileSecs = std::int64_t(f.ElapsedTicks / 1000);
    texts.CurrentElapsed = FormatMinSec(fileSecs) + QStringLiteral(" elapsed");
    texts.CurrentRemaining =
        FormatMinSec(MulDiv(fileSecs, f.Size - f.BytesDone - f.RestartOffset, f.BytesDone))
        + QStringLiteral(" remaining");

    const std::int64_t runSecs = std::int64_t(f.RunElapsedTicks / 1000);
    const std::int64_t fileNumber = f.FilesDone + 1;
    const std::int64_t fileTotal = f.FilesDone + f.Pending + 1;
    texts.FileCount = QStringLiteral("File %1 of %2").arg(fileNumber).arg(fileTotal);
    texts.TotalBytes = BytesCopiedText(f.RunBytesDone, f.RunBytesDone + f.RunBytesRemaining);
    texts.TotalPercent = TransferPercent(f.RunBytesDone, f.RunBytesDone + f.RunBytesRemaining);
    texts.TotalElapsed = FormatMinSec(runSecs) + QStringLiteral(" elapsed");
    const QString runLeft = FormatMinSec(MulDiv(runSecs, f.RunBytesRemaining, f.RunBytesDone));
    texts.TotalRemaining = runLeft + QStringLiteral(" remaining");
    texts.Rate = RateText(runSecs >= 1 ? f.RunBytesDone / runSecs : 0);

    texts.ShownCaption =
        QStringLiteral("%1% Transferred (%2/sec)").arg(texts.TotalPercent).arg(texts.Rate) + ProgramSuffix;
    const QString runProgress = QStringLiteral("%1% Transferred (file %2/%3), %4 remaining at %5/sec")
                                    .arg(texts.TotalPercent)
                                    .arg(fileNumber)
                                    .arg(fileTotal)
                                    .arg(runLeft, texts.Rate);
    texts.HiddenCaption = runProgress + ProgramSuffix;
    if (f.LoggedOn)
        texts.StatusText = runProgress;
    return texts;
}

QString RowStatusText(const TTransferItem &item)
{
    return RowStatusText(item.Status(), item.Direction, EngineLoggedOn(item), item.BytesDone(), item.Size);
}

QString RowStatusText(TTransferStatus status, TTransferDirection direction, bool loggedOn,
                      std::int64_t bytesDone, std::int64_t size)
{
    if (status != tsInProgress || !loggedOn)
        return TransferStatusText(status, direction);
    // Of the whole size, not of what this attempt moves; an unknown size shows 0 %.
    const std::int64_t percent = size > 0 ? MulDiv(100, bytesDone, size) : 0;
    return QStringLiteral("%1 bytes copied, %2% done").arg(bytesDone).arg(percent);
}

const std::string &LocalFolderOf(const TTransferItem &item)
{
    return item.Direction == tdUpload ? item.SourceFolder : item.DestFolder;
}

const std::string &HostFolderOf(const TTransferItem &item)
{
    return item.Direction == tdUpload ? item.DestFolder : item.SourceFolder;
}

bool CanCancelTransfer(TTransferStatus status)
{
    return status == tsPending || status == tsInProgress;
}

bool CanResubmitTransfer(TTransferStatus status)
{
    return status == tsCancelled;
}

QString DownloadTarget(const TTransferItem &item)
{
    const std::string path = item.DestFolder + item.Name;
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

std::optional<TFileStamp> DownloadStamp(const TTransferItem &item, const TTransferSettings &settings)
{
    // Asked before the queue marks the item done: a failed or cancelled one has left
    // tsInProgress by then.
    if (!settings.PreserveTimeStamp || item.Direction != tdDownload || item.IsFolder
        || item.Status() != tsInProgress || item.Date.Value() == 0)
        return std::nullopt;
    const QDateTime date = item.Date.ToDateTime();
    if (!date.isValid())
        return std::nullopt;
    return TFileStamp{DownloadTarget(item), date};
}

bool ApplyFileStamp(const TFileStamp &stamp)
{
    if (!stamp.Date.isValid())
        return false;
    const qint64 ms = stamp.Date.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), long((ms - seconds * 1000) * 1000000)}};
    // One call by name, which creates nothing; a link put in the file's place gets the
    // date itself, and what it points to is left alone.
    return ::utimensat(AT_FDCWD, QFile::encodeName(stamp.Path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool StampDownloadedFile(const TTransferItem &item, const TTransferSettings &settings)
{
    const std::optional<TFileStamp> stamp = DownloadStamp(item, settings);
    return stamp && ApplyFileStamp(*stamp);
}
