#pragma once

#include <QMenu>

class QAction;
class TActionRegistry;

// Entries of the local list's pop-up, as it opens.
struct TLocalPopupState
{
    bool Paste = false;
    bool Properties = false;

    friend bool operator==(const TLocalPopupState &, const TLocalPopupState &) = default;
};

// Paste needs local files on the clipboard, Properties a selection.
TLocalPopupState LocalPopupFor(int selected, bool clipboardHoldsFiles);

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
