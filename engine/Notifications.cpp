#include "engine/Notifications.h"

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

void TNotificationQueue::Sync()
{
    const std::lock_guard lock(FMutex);
}

bool TNotifier::event(QEvent *Event)
{
    FQueue->Sync(); // before reading the event the worker allocated
    if (Event->type() != NotifyEventType())
        return QObject::event(Event);
    while (FDeliver) {
        std::optional<TNotification> note = FQueue->Pop();
        if (!note)
            break;
        // Copied: a handler may delete the engine, which detaches this notifier.
        const std::function<void(TNotification &)> deliver = FDeliver;
        deliver(*note);
    }
    return true;
}
