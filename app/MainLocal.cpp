#include "app/Main.h"

#include "app/LocalPopup.h"
#include "views/FileList.h"
#include "views/LocalFiles.h"
#include "views/LoclView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

namespace {

bool ClipboardHoldsFiles()
{
    return !ClipboardFiles(QGuiApplication::clipboard()->mimeData()).Paths.isEmpty();
}

} // namespace

void TfrmMain::LocalNewFolderClick()
{
    TLocalView *view = ActiveLocalView();
    if (!view)
        return;
    // The new folder's name is edited in place, so the list takes the keys.
    view->ListView()->CurrentView()->setFocus();
    view->CreateFolder(QString(), true);
}

void TfrmMain::LocalRenameClick()
{
    TLocalView *view = ActiveLocalView();
    if (!view || !FLocalCommands.Rename || view->SelectedCount() != 1)
        return;
    // The selected entry is renamed, wherever the list's focus mark stands.
    view->ListView()->SetCurrentItem(view->SelectedItems().first());
    view->ListView()->CurrentView()->setFocus();
    view->BeginRename();
}

void TfrmMain::LocalDeleteClick()
{
    if (TLocalView *view = ActiveLocalView(); view && FLocalCommands.Delete)
        view->DeleteSelected(true);
}

void TfrmMain::LocalCutClick()
{
    if (TLocalView *view = ActiveLocalView(); view && FLocalCommands.Delete)
        view->CutSelection();
}

void TfrmMain::LocalCopyClick()
{
    if (TLocalView *view = ActiveLocalView(); view && FLocalCommands.Delete)
        view->CopySelection();
}

void TfrmMain::LocalPasteClick()
{
    if (TLocalView *view = ActiveLocalView())
        view->PasteSelection();
}

void TfrmMain::LocalPropertiesClick()
{
    if (TLocalView *view = ActiveLocalView(); view && FLocalCommands.Properties)
        view->ShowProperties();
}

void TfrmMain::CreateLocalCommands()
{
    UpdateLocalPaste();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmMain::UpdateLocalPaste);
}

void TfrmMain::UpdateLocalPaste()
{
    FActions->SetEnabled(TCommand::LocalPaste, ClipboardHoldsFiles());
}

TLocalPopup &TfrmMain::LocalPopup()
{
    if (!popLocal) {
        popLocal = new TLocalPopup(*FActions, this);
        connect(popLocal->mnuPaste, &QAction::triggered, this, &TfrmMain::LocalPasteClick);
        connect(popLocal->mnuNewFolder, &QAction::triggered, this, &TfrmMain::LocalNewFolderClick);
        connect(popLocal->mnuProperties, &QAction::triggered, this, [this] {
            if (TLocalView *view = ActiveLocalView())
                view->ShowProperties();
        });
    }
    const TLocalView *view = ActiveLocalView();
    popLocal->Apply(LocalPopupFor(view ? view->SelectedCount() : 0, ClipboardHoldsFiles()));
    return *popLocal;
}

void TfrmMain::ShowLocalPopup(const QPoint &globalPos)
{
    LocalPopup().popup(globalPos);
}
