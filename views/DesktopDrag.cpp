#include "views/DesktopDrag.h"

#include "engine/Trace.h"

#include <QDrag>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// The longest URI read back from a file manager.
constexpr std::uint32_t MaxUriLength = 4096;

xcb_connection_t *X11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <typename T>
using TReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t *connection, const char *name)
{
    const TReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(qstrlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

TRemoteDragData::TRemoteDragData(const QObject *dragOwner, const QByteArray &offeredName, TDirectSave save)
    : FDragOwner(dragOwner)
    , FOfferedName(offeredName)
    , FSave(std::move(save))
{
    setData(QString::fromLatin1(DirectSaveType), QByteArray());
    // The drag's window owns the drag selection only once the drag has begun.
    if (X11Connection())
        QTimer::singleShot(0, this, [this] { Announce(); });
}

TRemoteDragData::~TRemoteDragData()
{
    xcb_connection_t *connection = X11Connection();
    if (!connection || !FWindow)
        return;
    // The window serves later drags, which offer no direct save.
    xcb_delete_property(connection, FWindow, Atom(connection, DirectSaveType));
    xcb_flush(connection);
}

void TRemoteDragData::Announce()
{
    xcb_connection_t *connection = X11Connection();
    if (!connection || !FDragOwner)
        return;
    // Only the drag that carries this data may name a file: the drag selection's owner
    // is otherwise not ours to write on.
    bool dragging = false;
    for (const QDrag *drag : FDragOwner->findChildren<QDrag *>())
        dragging = dragging || drag->mimeData() == this;
    if (!dragging)
        return;
    const TReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, Atom(connection, "XdndSelection")), nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return;
    FWindow = owner->owner;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, FWindow, Atom(connection, DirectSaveType),
                        Atom(connection, "text/plain"), 8, std::uint32_t(FOfferedName.size()),
                        FOfferedName.constData());
    xcb_flush(connection);
}

QByteArray TRemoteDragData::ReadDestination() const
{
    xcb_connection_t *connection = X11Connection();
    if (!connection || !FWindow)
        return QByteArray();
    const TReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, FWindow, Atom(connection, DirectSaveType),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, MaxUriLength / 4),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 8)
        return QByteArray();
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QByteArray TRemoteDragData::DirectSave(const QByteArray &uri) const
{
    return FSave ? FSave(uri) : QByteArrayLiteral("E");
}

QVariant TRemoteDragData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (mimeType != QLatin1String(DirectSaveType))
        return QMimeData::retrieveData(mimeType, type);
    const QByteArray uri = ReadDestination();
    TraceFmt("Direct save asked for \"%s\"", uri.constData());
    // Without a URI the file manager did not follow the protocol; it gets no data.
    return uri.isEmpty() ? QByteArrayLiteral("E") : DirectSave(uri);
}
