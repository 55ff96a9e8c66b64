#include "tools/screens/Screens.h"

#include "app/Main.h"
#include "app/RemotePopup.h"
#include "app/SidePanel.h"
#include "views/FileList.h"
#include "views/HostView.h"

#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

// Selects and focuses the demo server's root entry `caption`; false when it is missing.
bool FocusRemote(TScreenContext &c, const QString &caption)
{
    THostView *view = c.MainWindow().ActiveHostView();
    for (int row = 0; row < view->ItemCount(); ++row) {
        const QModelIndex item = view->ListView()->Item(row);
        if (view->GetItemName(item) != caption)
            continue;
        view->ListView()->ClearSelection();
        view->ListView()->SelectRow(row);
        view->ListView()->SetCurrentItem(item);
        c.Settle();
        return true;
    }
    c.Fail(QStringLiteral("the demo server's root lacks ") + caption);
    return false;
}

// The drop-down menu of the button showing `command`.
QMenu *ButtonMenu(TScreenContext &c, TCommand command, QToolButton **button)
{
    TfrmMain &window = c.MainWindow();
    for (QToolButton *candidate : window.findChildren<QToolButton *>()) {
        if (candidate->defaultAction() == window.Action(command) && candidate->menu()) {
            *button = candidate;
            return candidate->menu();
        }
    }
    c.Fail(QStringLiteral("no button with a menu for %1").arg(window.Action(command)->text()));
    return nullptr;
}

void SaveButtonMenu(TScreenContext &c, TCommand command, const QString &name)
{
    QToolButton *button = nullptr;
    if (QMenu *menu = ButtonMenu(c, command, &button))
        c.SavePopup(c.MainWindow(), *menu, button->mapTo(&c.MainWindow(), QPoint(0, button->height())), name);
}

} // namespace

static const TScreenScene PopupRemoteSendTo{
    "popup-remote-sendto", [](TScreenContext &c) {
        TfrmMain &window = c.MainWindow();
        if (!FocusRemote(c, QStringLiteral("readme.txt")))
            return;
        THostView *view = window.ActiveHostView();
        const QPoint at = view->mapTo(&window, QPoint(view->width() / 4, 40));
        // A right-click sets the entries' state; the picture then opens the pop-up again.
        emit view->ListView()->ContextMenuRequested(window.mapToGlobal(at));
        auto *popup = window.findChild<TRemotePopup *>();
        if (!popup) {
            c.Fail(QStringLiteral("the remote pop-up did not open"));
            return;
        }
        popup->hide();
        // The submenu opens where hovering its entry would open it, inside the window's area.
        QObject context;
        QObject::connect(popup, &QMenu::aboutToShow, &context, [popup] {
            QTimer::singleShot(100, popup, [popup] {
                QAction *entry = popup->mnuSendTo->menuAction();
                popup->setActiveAction(entry);
                popup->mnuSendTo->popup(popup->mapToGlobal(popup->actionGeometry(entry).topRight()));
            });
        });
        c.SavePopup(window, *popup, at, QStringLiteral("popup-remote-sendto"));
        popup->mnuSendTo->hide();
    }};

static const TScreenScene PopupViewStyle{"popup-view-style", [](TScreenContext &c) {
                                             SaveButtonMenu(c, SideCommands(vsLocal).ViewStyle,
                                                            QStringLiteral("popup-view-style"));
                                         }};

static const TScreenScene PopupEdit{"popup-edit", [](TScreenContext &c) {
                                        if (FocusRemote(c, QStringLiteral("readme.txt")))
                                            SaveButtonMenu(c, SideCommands(vsHost).Edit,
                                                           QStringLiteral("popup-edit"));
                                    }};
