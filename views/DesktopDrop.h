#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

// Drag and drop with other programs, such as the desktop's file manager: what a drop of
// their files on the remote list uploads, and where a drag of remote entries to them
// may download.

enum class TDropRefusal {
    None,
    NotConnected,
    Busy,
    NotLocalFiles, // a URL that names no file of this computer (http:, ftp:, another host)
    NoFiles,       // none of the named files exists
};

// The message telling the user why a drop was refused; empty for None.
QString DropRefusalText(TDropRefusal refusal);

// Dropped files and folders of one local folder, by name, in drop order.
struct TDroppedFolder
{
    QString Folder;
    QStringList Names;
};

struct TUploadDrop
{
    TDropRefusal Refusal = TDropRefusal::None;
    // Grouped by the folder they are in, folders in the order they first appear.
    std::vector<TDroppedFolder> Folders;
    // Named by the drop but gone from the disk; the rest still goes.
    QStringList Missing;
    bool Accepted() const { return Refusal == TDropRefusal::None; }
};

// What a drop of `urls` from another program on a remote view uploads. One URL that is
// not a local file refuses the whole drop, so that the user never gets half of what
// was dragged without knowing why.
TUploadDrop UploadDropFor(const QList<QUrl> &urls, bool connected, bool busy);

// The folder a file manager named through the direct-save protocol: `uri` is the
// file:// URI of the file it expects (the property value it wrote). Error is set, and
// Folder empty, for anything but an existing folder of this computer.
struct TDirectSaveFolder
{
    QString Folder;
    QString Error;
};
TDirectSaveFolder DirectSaveFolder(const QByteArray &uri);

// The file name offered to a file manager for a drag of `names` (at least one).
QByteArray DirectSaveName(const QStringList &names);
