#pragma once

// What the progress window and the transfer manager show, computed from the queue alone,
// so that every text and number can be checked without a window.

#include "transfers/Transfer.h"

#include <QDateTime>
#include <QString>

#include <optional>

#include <cstdint>

// "m:ss"; negative counts as 0, minutes are not limited to 59 (3725 gives "62:05").
QString FormatMinSec(std::int64_t seconds);
// "512 Bytes", "1.50 KB"; there is no larger unit.
QString RateText(std::int64_t bytesPerSecond);
// "700 of 1000 bytes copied".
QString BytesCopiedText(std::int64_t done, std::int64_t total);

// The numbers the progress window shows, taken from the queue and its current item.
struct TProgressFigures
{
    std::string Name;
    std::int64_t Size = 0;
    std::int64_t RestartOffset = 0;
    std::int64_t BytesDone = 0; // of this attempt, without RestartOffset
    std::uint64_t ElapsedTicks = 0;
    // The item runs on an engine that has logged on.
    bool LoggedOn = false;
    std::int64_t RunBytesDone = 0;
    std::int64_t RunBytesRemaining = 0;
    std::int64_t FilesDone = 0;
    std::int64_t Pending = 0;
    std::uint64_t RunElapsedTicks = 0;
};

TProgressFigures ProgressFigures(const TTransferItems &queue, const TTransferItem &item);

// Everything the progress window shows for one item of a run.
struct TProgressTexts
{
    QString FileName;
    QString CurrentBytes;
    int CurrentPercent = 0;
    QString CurrentElapsed;
    QString CurrentRemaining;
    QString FileCount;
    QString TotalBytes;
    int TotalPercent = 0;
    QString TotalElapsed;
    QString TotalRemaining;
    QString Rate;
    // The caption while the window is shown, and while it is hidden (when the taskbar
    // carries the run's progress instead).
    QString ShownCaption;
    QString HiddenCaption;
    // The main window's status bar; empty until the item's engine has logged on.
    QString StatusText;
};

TProgressTexts ProgressTexts(const TProgressFigures &figures);

// The transfer manager's Status column: the status's text, or the bytes moved while the
// item runs on a logged-on engine.
QString RowStatusText(const TTransferItem &item);
QString RowStatusText(TTransferStatus status, TTransferDirection direction, bool loggedOn,
                      std::int64_t bytesDone, std::int64_t size);
// The transfer manager's Local Directory and Host Directory of an item.
const std::string &LocalFolderOf(const TTransferItem &item);
const std::string &HostFolderOf(const TTransferItem &item);

// The transfer manager's pop-up commands.
bool CanCancelTransfer(TTransferStatus status);
bool CanResubmitTransfer(TTransferStatus status);

// The date a downloaded file takes: the one its server listed, and only for a file that
// arrived whole, so that a partial one never looks as new as the server's copy.
struct TFileStamp
{
    QString Path;
    QDateTime Date;
};
// The local file a download writes.
QString DownloadTarget(const TTransferItem &item);
std::optional<TFileStamp> DownloadStamp(const TTransferItem &item, const TTransferSettings &settings);
// False when nothing was set (the file is gone); never creates or cuts a file.
bool ApplyFileStamp(const TFileStamp &stamp);
bool StampDownloadedFile(const TTransferItem &item, const TTransferSettings &settings);
