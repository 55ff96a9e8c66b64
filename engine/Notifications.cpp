#include "engine/Notifications.h"

#include <QCoreApplication>

namespace {

class TWakeEvent final : public QEvent
{
public:
    explicit TWakeEvent(std::shared_ptr<TNotificationLink> Link)
        : QEvent(NotifyEventType())
        , Link(std::move(Link))
    {}
    const std::shared_ptr<TNotificationLink> Link;
};

} // namespace

QEvent::Type NotifyEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void TNotificationQueue::Push(TNotification Note)
{
    const std::lock_guard lock(FMutex);
    FNotes.push_back(std::move(Note));
}

std::optional<TNotification> TNotificationQueue::Pop()
{
    const std::lock_guard lock(FMutex);
    if (FNotes.empty())
        return std::nullopt;
    TNotification note = std::move(FNotes.front());
    FNotes.pop_front();
    return note;
}

bool TNotificationQueue::Empty() const
{
    const std::lock_guard lock(FMutex);
    return FNotes.empty();
}

TNotifier &TNotifier::ForThisThread()
{
    thread_local TNotifier notifier;
    return notifier;
}

void TNotifier::Wake(const std::shared_ptr<TNotificationLink> &Link)
{
    // The notes travel under the queue's lock; the event only wakes the owner.
    auto wake = std::make_unique<TWakeEvent>(Link);
    {
        const std::lock_guard lock(FWakeMutex);
    }
    QCoreApplication::postEvent(this, wake.release());
}

bool TNotifier::event(QEvent *Event)
{
    {
        const std::lock_guard lock(FWakeMutex); // before reading the event the worker made
    }
    if (Event->type() != NotifyEventType())
        return QObject::event(Event);
    // The event holds the link, so it outlives an engine freed by its own handler.
    const std::shared_ptr<TNotificationLink> link = static_cast<TWakeEvent *>(Event)->Link;
    while (link->Engine && !link->Held) {
        std::optional<TNotification> note = link->Queue.Pop();
        if (!note)
            break;
        link->Engine->Deliver(*note);
    }
    return true;
}
