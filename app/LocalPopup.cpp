#include "app/LocalPopup.h"

#include "app/Actions.h"

TLocalPopup::TLocalPopup(const TActionRegistry &actions, QWidget *parent)
    : QMenu(parent)
{
    using C = TCommand;
    mnuView = addMenu(tr("&View"));
    actions.Fill(mnuView, {C::LocalLargeIcons, C::LocalSmallIcons, C::LocalList, C::LocalDetails});
    addSeparator();
    mnuPaste = addAction(tr("&Paste"));
    addSeparator();
    mnuNew = addMenu(tr("Ne&w"));
    mnuNewFolder = mnuNew->addAction(tr("&Folder"));
    addSeparator();
    mnuProperties = addAction(tr("P&roperties"));
}

void TLocalPopup::Apply(const TLocalPopupState &state)
{
    mnuPaste->setEnabled(state.Paste);
    mnuProperties->setEnabled(state.Properties);
}
