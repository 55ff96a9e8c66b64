#pragma once

#include "app/CommandRules.h"

#include <QMenu>

class QAction;

// The remote list's pop-up menu. Which entries are enabled and which one is the default
// comes from RemotePopupFor; the main window connects the entries to its commands.
class TRemotePopup : public QMenu
{
    Q_OBJECT

public:
    explicit TRemotePopup(QWidget *parent = nullptr);

    QAction *mnuOpen = nullptr;
    QAction *mnuView = nullptr;
    QAction *mnuDownload = nullptr;
    QAction *mnuDownloadNow = nullptr;
    QAction *mnuRename = nullptr;
    QAction *mnuDelete = nullptr;
    QMenu *mnuSendTo = nullptr;
    QAction *mnuSendToHost = nullptr;
    QAction *mnuSendToLocal = nullptr;
    QAction *mnuClipboardName = nullptr;
    QAction *mnuClipboardURL = nullptr;
    QMenu *mnuNew = nullptr;
    QAction *mnuNewFolder = nullptr;
    QAction *mnuProperties = nullptr;

    void Apply(const TRemotePopupState &state);
    // The entry a double-click on a remote file performs ("HostDblClk").
    QAction *DefaultEntry() const { return FDefault; }

private:
    QAction *FDefault = nullptr;
};
