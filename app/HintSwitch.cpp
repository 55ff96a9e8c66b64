#include "app/HintSwitch.h"

#include <QCoreApplication>
#include <QEvent>

THintSwitch::THintSwitch(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

THintSwitch::~THintSwitch()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool THintSwitch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !FShown)
        return true;
    return QObject::eventFilter(watched, event);
}
