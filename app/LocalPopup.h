#pragma once

#include "app/CommandRules.h"

#include <QMenu>

class QAction;
class TActionRegistry;

// The local list's pop-up menu. Its View submenu shows the window's own style commands,
// so the current style is marked; the main window connects the other entries.
class TLocalPopup : public QMenu
{
    Q_OBJECT

public:
    TLocalPopup(const TActionRegistry &actions, QWidget *parent = nullptr);

    QMenu *mnuView = nullptr;
    QAction *mnuPaste = nullptr;
    QMenu *mnuNew = nullptr;
    QAction *mnuNewFolder = nullptr;
    QAction *mnuProperties = nullptr;

    void Apply(const TLocalPopupState &state);
};
