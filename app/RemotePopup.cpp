#include "app/RemotePopup.h"

TRemotePopup::TRemotePopup(QWidget *parent)
    : QMenu(parent)
{
    mnuOpen = addAction(tr("&Open"));
    mnuView = addAction(tr("&View"));
    mnuDownload = addAction(tr("&Download"));
    mnuDownloadNow = addAction(tr("Download &Now"));
    addSeparator();
    mnuRename = addAction(tr("Rena&me"));
    mnuDelete = addAction(tr("Dele&te"));
    addSeparator();
    mnuSendTo = addMenu(tr("&Send To"));
    mnuSendToHost = mnuSendTo->addAction(tr("Any &Host Folder... (Move)"));
    mnuSendToLocal = mnuSendTo->addAction(tr("Any &Local Folder... (Copy)"));
    mnuSendTo->addSeparator();
    mnuClipboardName = mnuSendTo->addAction(tr("Clipboard as &Name"));
    mnuClipboardURL = mnuSendTo->addAction(tr("Clipboard as &URL"));
    mnuNew = addMenu(tr("Ne&w"));
    mnuNewFolder = mnuNew->addAction(tr("&Folder"));
    addSeparator();
    mnuProperties = addAction(tr("P&roperties"));
}

void TRemotePopup::Apply(const TRemotePopupState &state)
{
    mnuOpen->setEnabled(state.Open);
    mnuView->setEnabled(state.View);
    mnuDownload->setEnabled(state.Download);
    mnuDownloadNow->setEnabled(state.DownloadNow);
    mnuRename->setEnabled(state.Rename);
    mnuDelete->setEnabled(state.Delete);
    mnuProperties->setEnabled(state.Delete);
    mnuSendTo->setEnabled(state.Delete);
    mnuNew->setEnabled(state.New);
    QAction *const entries[] = {mnuProperties, mnuView, mnuDownload, mnuOpen};
    FDefault = entries[state.DefaultEntry];
    setDefaultAction(FDefault);
}
