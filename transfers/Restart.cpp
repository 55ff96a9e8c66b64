#include "transfers/Restart.h"

#include "transfers/TransferDecision.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmRestart::TfrmRestart(QWidget *parent) : TQuestionDialog(parent)
{
    lblPrompt = new QLabel(
        QStringLiteral("It appears as though a previous transfer was not successfully completed. Although not "
                       "all servers support this feature, would you like to try and resume the transfer where "
                       "it left off?"),
        this);
    lblPrompt->setWordWrap(true);
    cbDontShowAgain = new QCheckBox(QStringLiteral("Don't show this message again"), this);
    Contents()->addWidget(lblPrompt);
    Contents()->addWidget(cbDontShowAgain);

    btnYesToAll->setDefault(true);
    SetCancelButton(btnNo);
    setMinimumWidth(420);
}

void TfrmRestart::showEvent(QShowEvent *event)
{
    setWindowTitle(QStringLiteral("Confirm Restart of %1").arg(FileName));
    TQuestionDialog::showEvent(event);
}

void TfrmRestart::done(int result)
{
    if (result != mrNone && cbDontShowAgain->isChecked())
        emit DontShowAgain();
    TQuestionDialog::done(result);
}
