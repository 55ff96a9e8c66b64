#pragma once

#include <QByteArray>
#include <QMimeData>
#include <QPointer>

#include <cstdint>
#include <functional>

// The data of a drag of remote entries. Besides the remote list's own kind it offers
// file managers the X11 direct-save type: the source names a file on its drag window,
// the file manager writes back the file:// URI where it wants it and asks for the type,
// and the answer ("S" saved, "E" error) tells it how that went. The entries themselves
// go through the transfer queue.
class TRemoteDragData : public QMimeData
{
    Q_OBJECT

public:
    static constexpr const char *DirectSaveType = "XdndDirectSave0";
    // Takes the URI the file manager wrote and answers "S" or "E".
    using TDirectSave = std::function<QByteArray(const QByteArray &uri)>;

    // `dragOwner` is the widget whose drag will carry this data; `offeredName` the file
    // name suggested to the file manager.
    TRemoteDragData(const QObject *dragOwner, const QByteArray &offeredName, TDirectSave save);
    ~TRemoteDragData() override;

    const QByteArray &OfferedName() const { return FOfferedName; }
    // What a file manager that wrote `uri` is answered.
    QByteArray DirectSave(const QByteArray &uri) const;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    // Names the file on the drag's window once the drag runs (X11 only).
    void Announce();
    QByteArray ReadDestination() const;

    QPointer<const QObject> FDragOwner;
    const QByteArray FOfferedName;
    const TDirectSave FSave;
    // The drag window that carries the name; 0 until announced.
    std::uint32_t FWindow = 0;
};
